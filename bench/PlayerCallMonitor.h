#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tonvara::bench {

// Watches the session bus as a monitor (org.freedesktop.DBus.Monitoring.BecomeMonitor) and
// notes when each MPRIS player method call, and each property read, passes through the bus on
// its way to the player. Every path measured is observed the same way.
class PlayerCallMonitor {
 public:
  using Clock = std::chrono::steady_clock;

  struct Call {
    Clock::time_point seen;
    std::string member;
  };

  // Throws when the bus cannot be reached or refuses a monitor.
  PlayerCallMonitor();
  ~PlayerCallMonitor();

  PlayerCallMonitor(const PlayerCallMonitor&) = delete;
  PlayerCallMonitor& operator=(const PlayerCallMonitor&) = delete;

  // The calls seen since the last forget(), up to and including the next one of `member`;
  // its last element is not that call when none came within `timeout`.
  std::vector<Call> waitFor(const std::string& member, std::chrono::milliseconds timeout);
  // Drops every call seen so far.
  void forget();

 private:
  void run();

  sd_bus* bus_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Call> calls_;
  std::thread thread_;
};

}  // namespace tonvara::bench
