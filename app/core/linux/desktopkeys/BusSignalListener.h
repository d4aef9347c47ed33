#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tonvara::desktopkeys {

// Receives the session bus signals a match rule selects, on a thread of its own: a channel's
// keys must arrive whether or not any event loop runs. Stopped and joined when destroyed.
class BusSignalListener {
 public:
  using OnSignal = std::function<void(sd_bus_message*)>;
  using OnBus = std::function<bool(sd_bus*)>;

  // Nothing when the bus cannot be reached or `first` fails. The match is in place once this
  // returns. `first` runs on the listening connection before any signal is handled, `last` after
  // the last: a daemon that sends its signals only to the connection that asked gets this one.
  static std::unique_ptr<BusSignalListener> start(const std::string& rule, OnSignal onSignal,
                                                  const OnBus& first = {}, OnBus last = {}) {
    auto listener = std::unique_ptr<BusSignalListener>(new BusSignalListener(std::move(onSignal)));
    if (listener->stop_ < 0 || sd_bus_open_user(&listener->bus_) < 0 ||
        sd_bus_add_match(listener->bus_, nullptr, rule.c_str(), &BusSignalListener::dispatch,
                         listener.get()) < 0 ||
        (first && !first(listener->bus_))) {
      return nullptr;
    }
    listener->last_ = std::move(last);
    listener->thread_ = std::thread([raw = listener.get()] { raw->run(); });
    return listener;
  }
  ~BusSignalListener() {
    if (thread_.joinable()) {
      const std::uint64_t one = 1;
      [[maybe_unused]] const auto written = write(stop_, &one, sizeof one);
      thread_.join();
    }
    if (last_) {
      last_(bus_);
    }
    sd_bus_flush_close_unref(bus_);
    if (stop_ >= 0) {
      close(stop_);
    }
  }
  BusSignalListener(const BusSignalListener&) = delete;
  BusSignalListener& operator=(const BusSignalListener&) = delete;

 private:
  explicit BusSignalListener(OnSignal onSignal)
      : onSignal_(std::move(onSignal)), stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  static int dispatch(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
    static_cast<BusSignalListener*>(self)->onSignal_(message);
    return 0;
  }
  void run() {
    for (;;) {
      const int processed = sd_bus_process(bus_, nullptr);
      if (processed < 0) {
        return;  // the bus went away: no more keys come this way
      }
      if (processed > 0) {
        continue;
      }
      pollfd descriptors[] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                              {stop_, POLLIN, 0}};
      if (poll(descriptors, 2, -1) < 0 || descriptors[1].revents != 0) {
        return;
      }
    }
  }

  OnSignal onSignal_;
  OnBus last_;
  int stop_;
  sd_bus* bus_ = nullptr;
  std::thread thread_;
};

}  // namespace tonvara::desktopkeys
