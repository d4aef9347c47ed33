#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mpris/ApplicationHandle.h"

namespace tonvara::mpris {

struct Player {
  std::string owner;  // unique bus name; one per connection, however many names it owns
  std::shared_ptr<ApplicationHandle> handle;
};
// Players by the desktop entry they name, first seen first.
using PlayersByEntry = std::unordered_map<std::string, std::vector<Player>>;

// The MPRIS players on one bus connection: which names exist, who owns them and which desktop
// entry each one names. It subscribes to name changes, lists the players present, and reads
// each one's DesktopEntry without waiting, so that a hung player cannot hold up the others.
// Everything runs on the thread of the connection's event loop.
class PlayerRoster {
 public:
  // Called with a player's unique name and its answer to a command-like call: 0 it answered,
  // -1743 the bus refused it, -600 anything else.
  using AccessAnswer = std::function<void(const std::string& owner, std::int32_t status)>;

  PlayerRoster(sd_bus* bus, sd_event* event, AccessAnswer onAccess);
  ~PlayerRoster();
  PlayerRoster(const PlayerRoster&) = delete;
  PlayerRoster& operator=(const PlayerRoster&) = delete;

  // Subscribes, then lists; false when the bus does not answer.
  bool start();
  // Whether the picture changed since last asked.
  bool takeChanged();
  // The current picture; handles of owners gone since the last call are marked terminated.
  PlayersByEntry players();
  // Forgets every player, as when the bus is lost.
  void clear();
  // Asks `owner` for its Identity; while one such call is on its way, further ones are dropped.
  void checkAccess(const std::string& owner);

 private:
  struct NameRecord {
    std::string owner;
    std::string entryName;  // from the bus name until DesktopEntry has been read
    bool entryConfirmed = false;
    bool queryInFlight = false;
    int queryAttempts = 0;
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

  void seed();
  void nameOwnerChanged(const std::string& name, const std::string& newOwner);
  void query(const std::string& name, NameRecord& record);
  void queryLater();
  void desktopEntryReplied(sd_bus_slot* slot, sd_bus_message* reply);
  void accessReplied(sd_bus_message* reply);
  static int onNameOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int onDesktopEntry(sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int onAccess(sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int onRetry(sd_event_source* source, std::uint64_t usec, void* userdata);

  sd_bus* const bus_;
  sd_event* const event_;
  const AccessAnswer onAccess_;
  sd_bus_slot* matchSlot_ = nullptr;
  sd_bus_slot* accessSlot_ = nullptr;
  std::string accessOwner_;
  sd_event_source* retryTimer_ = nullptr;
  std::map<std::string, NameRecord> names_;
  std::map<sd_bus_slot*, Query> queries_;
  std::map<std::string, OwnerRecord> owners_;
  std::uint64_t nextGeneration_ = 0;
  std::uint64_t nextSequence_ = 0;
  bool changed_ = false;
};

// The entry name a player's bus name suggests: "org.mpris.MediaPlayer2.vlc.instance42" → "vlc".
std::string entryNameFromBusName(const std::string& busName);

}  // namespace tonvara::mpris
