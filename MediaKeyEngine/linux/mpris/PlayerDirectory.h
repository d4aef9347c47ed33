#pragma once

#include <sys/types.h>
#include <systemd/sd-event.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mpris/ApplicationHandle.h"
#include "mpris/Bus.h"
#include "mpris/PlayerRoster.h"

namespace tonvara::mpris {

// Keeps a local picture of the MPRIS players on the bus, so that "is it running?" and "may it be
// driven?" cost no bus round trip. A thread of its own sleeps in an event loop (sd-event) until
// the bus, a child process or a caller has something for it. It follows launches: a launch has
// finished when a player of its entry appears, and has terminated when its process ends first;
// started processes are reaped.
class PlayerDirectory {
 public:
  struct Options {
    std::optional<std::string> busAddress;
    std::chrono::microseconds callTimeout{std::chrono::seconds(1)};
    // Called on the directory's thread whenever players come, go or name their entry.
    std::function<void(PlayerDirectory&)> onPlayersChanged;
  };

  explicit PlayerDirectory(Options options);
  ~PlayerDirectory();

  PlayerDirectory(const PlayerDirectory&) = delete;
  PlayerDirectory& operator=(const PlayerDirectory&) = delete;

  // The players whose desktop entry is `entryName` (without ".desktop"), first seen first.
  std::vector<Player> players(const std::string& entryName) const;
  // The desktop entries the players on the bus name.
  std::vector<std::string> entryNames() const;
  // Calls onPlayersChanged on the directory's thread soon, as if the players had changed.
  void requestPlayersChanged();
  // Follows a launch of `entryName`; `pid`, when given, is a child process to reap.
  void watchLaunch(const std::string& entryName, std::optional<pid_t> pid,
                   std::shared_ptr<ApplicationHandle> launch);
  // Asks the player `owner`, later and on the directory's thread, whether it takes calls; one
  // such question is on its way at a time.
  void requestAccessCheck(const std::string& owner);
  // The last answer `owner` gave (see PlayerRoster::AccessAnswer), if any.
  std::optional<std::int32_t> accessStatus(const std::string& owner) const;
  void storeAccessStatus(const std::string& owner, std::int32_t status);

 private:
  struct PendingLaunch {
    std::string entryName;
    std::shared_ptr<ApplicationHandle> launch;
    std::chrono::steady_clock::time_point started;
  };
  struct Child {
    pid_t pid = -1;
    int pidfd = -1;
    std::shared_ptr<ApplicationHandle> launch;
  };

  void run();
  void connect();
  void disconnect();
  // Makes `timer` (once made, kept) call `handler` once, `delay` from now.
  void armTimer(sd_event_source*& timer, std::chrono::microseconds delay,
                sd_event_time_handler_t handler);
  void reconnectIn(std::chrono::microseconds delay);
  void takeRequests();
  void watchChild(Child child);
  void armLaunchExpiry();
  void settle();
  void publish();
  static int onWake(sd_event_source* source, int fd, std::uint32_t events, void* userdata);
  static int onPost(sd_event_source* source, void* userdata);
  static int onReconnect(sd_event_source* source, std::uint64_t usec, void* userdata);
  static int onLaunchExpired(sd_event_source* source, std::uint64_t usec, void* userdata);
  static int onChild(sd_event_source* source, const siginfo_t* info, void* userdata);
  static int onBusMessage(sd_bus_message* message, void* userdata, sd_bus_error* error);
  void wake() const;

  const Options options_;
  std::atomic<bool> stopping_{false};
  int wakeFd_ = -1;

  // The directory thread's own state.
  sd_event* event_ = nullptr;
  BusPtr bus_;
  sd_bus_slot* filterSlot_ = nullptr;
  sd_event_source* reconnectTimer_ = nullptr;
  sd_event_source* expiryTimer_ = nullptr;
  std::unique_ptr<PlayerRoster> roster_;
  std::map<sd_event_source*, Child> watched_;
  std::vector<sd_event_source*> endedChildren_;

  // Shared with callers.
  mutable std::mutex mutex_;
  PlayersByEntry playersByEntry_;
  std::vector<PendingLaunch> pendingLaunches_;
  std::vector<Child> newChildren_;
  std::optional<std::string> accessRequest_;
  bool playersChangedRequested_ = false;
  std::map<std::string, std::int32_t> accessByOwner_;

  std::thread thread_;
};

}  // namespace tonvara::mpris
