#pragma once

#include <sys/types.h>

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
#include <unordered_map>
#include <vector>

#include "mpris/ApplicationHandle.h"
#include "mpris/Bus.h"

namespace tonvara::mpris {

// Keeps a local picture of the MPRIS players on the bus, so that "is it running?" costs no
// bus round trip. A thread of its own holds its own connection: it subscribes to name
// changes, then lists the players present, reads each one's DesktopEntry, and follows every
// change after that. It also follows launches: a launch has finished when a player of its
// entry appears, and has terminated when its process ends first; started processes are reaped.
class PlayerDirectory {
 public:
  struct Player {
    std::string owner;  // unique bus name; one per connection, however many names it owns
    std::shared_ptr<ApplicationHandle> handle;
  };

  struct Options {
    std::optional<std::string> busAddress;
    std::chrono::microseconds callTimeout{std::chrono::seconds(1)};
    // Called on the directory's thread whenever a player appears.
    std::function<void()> onPlayerAppeared;
  };

  explicit PlayerDirectory(Options options);
  ~PlayerDirectory();

  PlayerDirectory(const PlayerDirectory&) = delete;
  PlayerDirectory& operator=(const PlayerDirectory&) = delete;

  // The players whose desktop entry is `entryName` (without ".desktop"), first seen first.
  std::vector<Player> players(const std::string& entryName) const;
  // Follows a launch of `entryName`; `pid`, when given, is a child process to reap.
  void watchLaunch(const std::string& entryName, std::optional<pid_t> pid,
                   std::shared_ptr<ApplicationHandle> launch);

 private:
  using Clock = std::chrono::steady_clock;

  struct NameRecord {
    std::string owner;
    std::string entryName;  // from the bus name until DesktopEntry has been read
    bool entryConfirmed = false;
    bool queryInFlight = false;
    int queryAttempts = 0;
    Clock::time_point nextQuery{};
    std::uint64_t generation = 0;
  };
  // A DesktopEntry read on its way; its reply only counts for the record it was sent for.
  struct Query {
    std::string name;
    std::uint64_t generation = 0;
  };
  struct OwnerRecord {
    std::shared_ptr<ApplicationHandle> handle;
    std::uint64_t sequence = 0;
  };
  struct PendingLaunch {
    std::string entryName;
    std::shared_ptr<ApplicationHandle> launch;
    Clock::time_point started;
  };
  struct Child {
    pid_t pid = -1;
    int pidfd = -1;
    std::shared_ptr<ApplicationHandle> launch;
  };

  void run();
  bool connect();
  bool processMessages();
  void disconnect();
  void seed();
  void queryDueEntries();
  static int onDesktopEntryReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);
  void desktopEntryReplied(sd_bus_slot* slot, sd_bus_message* reply);
  void releaseFinishedQueries();
  void publish();
  void reapChildren();
  void waitForWork();
  void wake();
  static int onNameOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
  void nameOwnerChanged(const std::string& name, const std::string& newOwner);

  const Options options_;
  std::atomic<bool> stopping_{false};
  int wakeFd_ = -1;

  // The directory thread's own state.
  BusPtr bus_;
  sd_bus_slot* matchSlot_ = nullptr;
  Clock::time_point nextConnect_{};
  std::map<std::string, NameRecord> names_;
  std::uint64_t nextGeneration_ = 0;
  std::map<sd_bus_slot*, Query> queries_;
  std::vector<sd_bus_slot*> finishedQueries_;
  std::map<std::string, OwnerRecord> owners_;
  std::uint64_t nextSequence_ = 0;
  bool changed_ = false;
  bool appeared_ = false;

  // Shared with callers.
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::vector<Player>> playersByEntry_;
  std::vector<PendingLaunch> pendingLaunches_;
  std::vector<Child> children_;

  std::thread thread_;
};

// The entry name a player's bus name suggests: "org.mpris.MediaPlayer2.vlc.instance42" → "vlc".
std::string entryNameFromBusName(const std::string& busName);

}  // namespace tonvara::mpris
