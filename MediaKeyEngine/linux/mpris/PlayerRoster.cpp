#include "mpris/PlayerRoster.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>
#include <utility>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "mpris/Bus.h"
#include "mpris/DesktopApps.h"

namespace tonvara::mpris {

namespace {

constexpr std::chrono::microseconds kQueryRetryInterval{100'000};
constexpr int kQueryAttempts = 3;

constexpr const char* kNameOwnerChangedMatch =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0namespace='org.mpris.MediaPlayer2'";

bool isPlayerName(std::string_view name) {
  return name.size() > kMprisNamePrefix.size() &&
         name.substr(0, kMprisNamePrefix.size()) == kMprisNamePrefix;
}

struct MessageDeleter {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

// A call to the bus itself, answered at once by the daemon.
MessagePtr callBus(sd_bus* bus, const char* member, const char* signature, const char* argument) {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  sd_bus_message* reply = nullptr;
  const int r =
      argument != nullptr
          ? sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", member, &error, &reply, signature, argument)
          : sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", member, &error, &reply, "");
  sd_bus_error_free(&error);
  return MessagePtr(r >= 0 ? reply : nullptr);
}

}  // namespace

std::string entryNameFromBusName(const std::string& busName) {
  std::string name = busName.substr(std::min(busName.size(), kMprisNamePrefix.size()));
  constexpr std::string_view kInstance = ".instance";
  const auto dot = name.rfind(kInstance);
  if (dot != std::string::npos) {
    const auto digits = std::string_view(name).substr(dot + kInstance.size());
    if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
          return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
      name.erase(dot);
    }
  }
  return name;
}

PlayerRoster::PlayerRoster(sd_bus* bus, sd_event* event, AccessAnswer onAccess)
    : bus_(bus), event_(event), onAccess_(std::move(onAccess)) {}

PlayerRoster::~PlayerRoster() {
  for (const auto& [slot, query] : queries_) {
    sd_bus_slot_unref(slot);
  }
  sd_bus_slot_unref(accessSlot_);
  sd_bus_slot_unref(matchSlot_);
  sd_event_source_disable_unref(retryTimer_);
}

bool PlayerRoster::start() {
  // Subscribe before listing, so that no change between the two is missed.
  if (sd_bus_add_match(bus_, &matchSlot_, kNameOwnerChangedMatch, &onNameOwnerChanged, this) < 0) {
    return false;
  }
  seed();
  return true;
}

void PlayerRoster::seed() {
  const auto names = callBus(bus_, "ListNames", "", nullptr);
  std::vector<std::string> players;
  if (names && sd_bus_message_enter_container(names.get(), 'a', "s") > 0) {
    const char* name = nullptr;
    while (sd_bus_message_read_basic(names.get(), 's', &name) > 0) {
      if (isPlayerName(name)) {
        players.emplace_back(name);
      }
    }
  }
  for (const auto& name : players) {
    const auto reply = callBus(bus_, "GetNameOwner", "s", name.c_str());
    const char* owner = nullptr;
    if (reply && sd_bus_message_read(reply.get(), "s", &owner) > 0) {
      nameOwnerChanged(name, owner);
    }
  }
}

bool PlayerRoster::takeChanged() { return std::exchange(changed_, false); }

void PlayerRoster::clear() {
  names_.clear();
  changed_ = true;
}

int PlayerRoster::onNameOwnerChanged(sd_bus_message* message, void* userdata,
                                     sd_bus_error* /*error*/) {
  const char* name = nullptr;
  const char* oldOwner = nullptr;
  const char* newOwner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) >= 0 && isPlayerName(name)) {
    static_cast<PlayerRoster*>(userdata)->nameOwnerChanged(name, newOwner);
  }
  return 0;
}

void PlayerRoster::nameOwnerChanged(const std::string& name, const std::string& newOwner) {
  changed_ = true;
  if (newOwner.empty()) {
    names_.erase(name);
    return;
  }
  // Until DesktopEntry is read the bus name stands in for it; it usually agrees.
  auto& record = names_[name] = NameRecord{};
  record.owner = newOwner;
  record.entryName = entryNameFromBusName(name);
  record.generation = ++nextGeneration_;
  query(name, record);
}

void PlayerRoster::query(const std::string& name, NameRecord& record) {
  ++record.queryAttempts;
  sd_bus_slot* slot = nullptr;
  if (sd_bus_call_method_async(bus_, &slot, record.owner.c_str(), kMprisPath,
                               "org.freedesktop.DBus.Properties", "Get", &onDesktopEntry, this,
                               "ss", kMprisRootInterface, "DesktopEntry") < 0) {
    queryLater();
    return;
  }
  record.queryInFlight = true;
  queries_[slot] = Query{name, record.generation};
}

void PlayerRoster::queryLater() {
  if (retryTimer_ == nullptr) {
    sd_event_add_time_relative(event_, &retryTimer_, CLOCK_MONOTONIC,
                               static_cast<std::uint64_t>(kQueryRetryInterval.count()), 0, &onRetry,
                               this);
  } else {
    sd_event_source_set_time_relative(retryTimer_,
                                      static_cast<std::uint64_t>(kQueryRetryInterval.count()));
    sd_event_source_set_enabled(retryTimer_, SD_EVENT_ONESHOT);
  }
}

int PlayerRoster::onRetry(sd_event_source* /*source*/, std::uint64_t /*usec*/, void* userdata) {
  auto* self = static_cast<PlayerRoster*>(userdata);
  for (auto& [name, record] : self->names_) {
    if (!record.entryConfirmed && !record.queryInFlight && record.queryAttempts < kQueryAttempts) {
      self->query(name, record);
    }
  }
  return 0;
}

int PlayerRoster::onDesktopEntry(sd_bus_message* reply, void* userdata, sd_bus_error* /*error*/) {
  static_cast<PlayerRoster*>(userdata)->desktopEntryReplied(
      sd_bus_get_current_slot(sd_bus_message_get_bus(reply)), reply);
  return 0;
}

void PlayerRoster::desktopEntryReplied(sd_bus_slot* slot, sd_bus_message* reply) {
  const auto query = queries_.find(slot);
  if (query == queries_.end()) {
    return;
  }
  const Query sent = query->second;
  queries_.erase(query);
  // sd-bus holds its own reference while the callback runs.
  sd_bus_slot_unref(slot);
  const auto record = names_.find(sent.name);
  if (record == names_.end() || record->second.generation != sent.generation) {
    return;
  }
  auto& name = record->second;
  name.queryInFlight = false;
  const sd_bus_error* error = sd_bus_message_get_error(reply);
  const char* entry = nullptr;
  if (error == nullptr && sd_bus_message_read(reply, "v", "s", &entry) >= 0) {
    name.entryConfirmed = true;
    if (entry != nullptr && *entry != '\0' && entryNameFromId(entry) != name.entryName) {
      name.entryName = entryNameFromId(entry);
      changed_ = true;
    }
    return;
  }
  const bool definitive =
      error != nullptr && (sd_bus_error_has_name(error, SD_BUS_ERROR_ACCESS_DENIED) != 0 ||
                           sd_bus_error_has_name(error, SD_BUS_ERROR_UNKNOWN_PROPERTY) != 0 ||
                           sd_bus_error_has_name(error, SD_BUS_ERROR_INVALID_ARGS) != 0);
  if (definitive) {
    name.entryConfirmed = true;  // the bus name's suggestion stays
  } else if (name.queryAttempts < kQueryAttempts) {
    queryLater();
  }
}

void PlayerRoster::checkAccess(const std::string& owner) {
  if (accessSlot_ != nullptr) {
    return;
  }
  if (sd_bus_call_method_async(bus_, &accessSlot_, owner.c_str(), kMprisPath,
                               "org.freedesktop.DBus.Properties", "Get", &onAccess, this, "ss",
                               kMprisRootInterface, "Identity") >= 0) {
    accessOwner_ = owner;
  }
}

int PlayerRoster::onAccess(sd_bus_message* reply, void* userdata, sd_bus_error* /*error*/) {
  static_cast<PlayerRoster*>(userdata)->accessReplied(reply);
  return 0;
}

void PlayerRoster::accessReplied(sd_bus_message* reply) {
  accessSlot_ = sd_bus_slot_unref(accessSlot_);
  const sd_bus_error* error = sd_bus_message_get_error(reply);
  std::int32_t status = kAutomationGranted;
  if (error != nullptr) {
    // Only the bus's own refusal is a denial; a player's error reply is not.
    status = sd_bus_error_has_name(error, SD_BUS_ERROR_ACCESS_DENIED) != 0
                 ? kAutomationNotPermitted
                 : kAutomationProcessNotFound;
  }
  onAccess_(accessOwner_, status);
}

PlayersByEntry PlayerRoster::players() {
  // Owners in the order they were first seen; each owner once per entry name.
  std::vector<std::pair<const NameRecord*, const OwnerRecord*>> ordered;
  std::set<std::string> liveOwners;
  for (const auto& [name, record] : names_) {
    auto& owner = owners_[record.owner];
    if (!owner.handle) {
      owner.handle = std::make_shared<ApplicationHandle>(true);
      owner.sequence = nextSequence_++;
    }
    liveOwners.insert(record.owner);
    ordered.emplace_back(&record, &owner);
  }
  std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
    return a.second->sequence < b.second->sequence;
  });
  PlayersByEntry byEntry;
  for (const auto& [recordRef, ownerRef] : ordered) {
    const auto* record = recordRef;  // clang 14 cannot capture a structured binding
    const auto* owner = ownerRef;
    auto& list = byEntry[record->entryName];
    const bool listed = std::any_of(list.begin(), list.end(), [&](const Player& player) {
      return player.owner == record->owner;
    });
    if (!listed) {
      list.push_back({record->owner, owner->handle});
    }
  }
  std::erase_if(owners_, [&](const auto& entry) {
    if (liveOwners.count(entry.first) != 0) {
      return false;
    }
    entry.second.handle->markTerminated();
    return true;
  });
  return byEntry;
}

}  // namespace tonvara::mpris
