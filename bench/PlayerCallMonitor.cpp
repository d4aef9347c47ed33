#include "PlayerCallMonitor.h"

#include <cstdlib>
#include <stdexcept>

namespace tonvara::bench {

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";

}  // namespace

PlayerCallMonitor::PlayerCallMonitor() {
  if (sd_bus_new(&bus_) < 0) {
    throw std::runtime_error("sd_bus_new failed");
  }
  sd_bus_message* request = nullptr;
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  const std::string calls = std::string("type='method_call',interface='") + kPlayerInterface + "'";
  const std::string reads =
      std::string("type='method_call',interface='") + kPropertiesInterface + "',member='Get'";
  const bool monitoring =
      sd_bus_set_monitor(bus_, 1) >= 0 && sd_bus_set_bus_client(bus_, 1) >= 0 &&
      sd_bus_set_address(bus_, std::getenv("DBUS_SESSION_BUS_ADDRESS")) >= 0 &&
      sd_bus_start(bus_) >= 0 &&
      sd_bus_message_new_method_call(bus_, &request, "org.freedesktop.DBus",
                                     "/org/freedesktop/DBus", "org.freedesktop.DBus.Monitoring",
                                     "BecomeMonitor") >= 0 &&
      sd_bus_message_append(request, "asu", 2, calls.c_str(), reads.c_str(), 0U) >= 0 &&
      sd_bus_call(bus_, request, 0, &error, nullptr) >= 0;
  sd_bus_message_unref(request);
  const std::string reason = error.message != nullptr ? error.message : "";
  sd_bus_error_free(&error);
  if (!monitoring) {
    sd_bus_close_unref(bus_);
    throw std::runtime_error("cannot monitor the session bus: " + reason);
  }
  thread_ = std::thread([this] { run(); });
}

PlayerCallMonitor::~PlayerCallMonitor() {
  stopping_ = true;
  thread_.join();
  sd_bus_close_unref(bus_);
}

void PlayerCallMonitor::run() {
  while (!stopping_) {
    sd_bus_message* message = nullptr;
    const int r = sd_bus_process(bus_, &message);
    if (r < 0) {
      return;
    }
    if (message != nullptr) {
      const auto seen = Clock::now();
      if (sd_bus_message_is_method_call(message, kPlayerInterface, nullptr) > 0 ||
          sd_bus_message_is_method_call(message, kPropertiesInterface, "Get") > 0) {
        {
          std::lock_guard lock(mutex_);
          calls_.push_back({seen, sd_bus_message_get_member(message)});
        }
        arrived_.notify_all();
      }
      sd_bus_message_unref(message);
    }
    if (r == 0) {
      sd_bus_wait(bus_, 50'000);  // a bounded wait, so a stop is noticed
    }
  }
}

std::vector<PlayerCallMonitor::Call> PlayerCallMonitor::waitFor(const std::string& member,
                                                                std::chrono::milliseconds timeout) {
  std::vector<Call> seen;
  std::unique_lock lock(mutex_);
  const auto deadline = Clock::now() + timeout;
  while (true) {
    while (!calls_.empty()) {
      seen.push_back(std::move(calls_.front()));
      calls_.pop_front();
      if (seen.back().member == member) {
        return seen;
      }
    }
    if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout && calls_.empty()) {
      return seen;
    }
  }
}

void PlayerCallMonitor::forget() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

}  // namespace tonvara::bench
