#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tonvara::testing {

// A minimal application on the bus, on its own thread and connection: it can own a D-Bus
// activatable application name whose Activate call makes it take its MPRIS names, and it
// answers the MPRIS root properties DesktopEntry and Identity.
class FakeMprisApplication {
 public:
  struct Options {
    std::string busAddress;
    // Owned at once; Activate on it takes the MPRIS names.
    std::optional<std::string> applicationName;
    // Taken at once when there is no application name.
    std::vector<std::string> mprisNames;
    std::string desktopEntry;
  };

  explicit FakeMprisApplication(Options options);
  ~FakeMprisApplication();
  FakeMprisApplication(const FakeMprisApplication&) = delete;
  FakeMprisApplication& operator=(const FakeMprisApplication&) = delete;

  bool isReady() const { return ready_.load(); }
  int activations() const { return activations_.load(); }

 private:
  void run();
  void takeMprisNames();
  static int onMessage(sd_bus_message* message, void* userdata, sd_bus_error* error);
  int handle(sd_bus_message* message);

  const Options options_;
  sd_bus* bus_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> ready_{false};
  std::atomic<int> activations_{0};
  std::thread thread_;
};

}  // namespace tonvara::testing
