#include "mpris/PlayerDirectory.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <system_error>
#include <utility>

#include "mpris/DesktopEntry.h"

namespace tonvara::mpris {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kReconnectInterval{500};
constexpr milliseconds kQueryRetryInterval{100};
constexpr int kQueryAttempts = 3;
// Without a pidfd a child's end is noticed by polling.
constexpr milliseconds kChildPollInterval{50};
// A launch with no process (D-Bus activation) stops being followed after this.
constexpr std::chrono::seconds kLaunchFollowLimit{60};

constexpr const char* kNameOwnerChangedMatch =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0namespace='org.mpris.MediaPlayer2'";

bool isPlayerName(std::string_view name) {
  return name.size() > kMprisNamePrefix.size() &&
         name.substr(0, kMprisNamePrefix.size()) == kMprisNamePrefix;
}

// A descriptor that becomes readable when the process ends; -1 where the kernel has none.
// (Called through syscall(): glibc 2.36's header lacks C linkage for C++.)
int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

struct MessageDeleter {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

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

PlayerDirectory::PlayerDirectory(Options options) : options_(std::move(options)) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { run(); });
}

PlayerDirectory::~PlayerDirectory() {
  stopping_.store(true);
  wake();
  if (thread_.joinable()) {
    thread_.join();
  }
  // Children still running are left to a waiter each, so that none becomes a zombie.
  for (auto& child : children_) {
    if (child.pidfd >= 0) {
      close(child.pidfd);
    }
    try {
      std::thread([pid = child.pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    } catch (const std::system_error&) {
      // No thread to spare: the process is left to become a zombie when it ends.
    }
  }
  if (wakeFd_ >= 0) {
    close(wakeFd_);
  }
}

std::vector<PlayerDirectory::Player> PlayerDirectory::players(const std::string& entryName) const {
  std::lock_guard lock(mutex_);
  const auto found = playersByEntry_.find(entryName);
  return found == playersByEntry_.end() ? std::vector<Player>{} : found->second;
}

void PlayerDirectory::watchLaunch(const std::string& entryName, std::optional<pid_t> pid,
                                  std::shared_ptr<ApplicationHandle> launch) {
  {
    std::lock_guard lock(mutex_);
    if (pid) {
      const int pidfd = openPidfd(*pid);
      children_.push_back({*pid, pidfd, launch});
    }
    const auto found = playersByEntry_.find(entryName);
    if (found != playersByEntry_.end() && !found->second.empty()) {
      launch->markFinishedLaunching();
    } else {
      pendingLaunches_.push_back({entryName, std::move(launch), Clock::now()});
    }
  }
  wake();
}

void PlayerDirectory::wake() {
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
  }
}

void PlayerDirectory::run() {
  pthread_setname_np(pthread_self(), "tonvara-mpris");
  while (!stopping_.load()) {
    if (!bus_ && Clock::now() >= nextConnect_ && !connect()) {
      nextConnect_ = Clock::now() + kReconnectInterval;
    }
    if (bus_) {
      if (processMessages()) {
        queryDueEntries();
      } else {
        disconnect();
      }
    }
    if (changed_) {
      publish();
    }
    reapChildren();
    if (appeared_) {
      appeared_ = false;
      if (options_.onPlayerAppeared) {
        options_.onPlayerAppeared();
      }
    }
    waitForWork();
  }
  disconnect();
}

bool PlayerDirectory::processMessages() {
  int r = 0;
  while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
  }
  releaseFinishedQueries();
  return r >= 0 && sd_bus_is_open(bus_.get()) > 0;
}

bool PlayerDirectory::connect() {
  bus_ = openBus(options_.busAddress, options_.callTimeout);
  if (!bus_) {
    return false;
  }
  // Subscribe before listing, so that no change between the two is missed.
  if (sd_bus_add_match(bus_.get(), &matchSlot_, kNameOwnerChangedMatch, &onNameOwnerChanged, this) <
      0) {
    bus_.reset();
    return false;
  }
  seed();
  return true;
}

void PlayerDirectory::disconnect() {
  releaseFinishedQueries();
  for (const auto& [slot, query] : queries_) {
    sd_bus_slot_unref(slot);
  }
  queries_.clear();
  if (matchSlot_ != nullptr) {
    sd_bus_slot_unref(matchSlot_);
    matchSlot_ = nullptr;
  }
  bus_.reset();
  if (!names_.empty()) {
    names_.clear();
    changed_ = true;
  }
}

void PlayerDirectory::seed() {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* raw = nullptr;
  const int r = sd_bus_call_method(bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "ListNames", &error, &raw, "");
  std::unique_ptr<sd_bus_message, MessageDeleter> reply(raw);
  sd_bus_error_free(&error);
  if (r < 0) {
    return;
  }
  std::vector<std::string> players;
  if (sd_bus_message_enter_container(raw, 'a', "s") > 0) {
    const char* name = nullptr;
    while (sd_bus_message_read_basic(raw, 's', &name) > 0) {
      if (isPlayerName(name)) {
        players.emplace_back(name);
      }
    }
  }
  for (const auto& name : players) {
    sd_bus_error ownerError = SD_BUS_ERROR_NULL;
    sd_bus_message* ownerReply = nullptr;
    const int found = sd_bus_call_method(
        bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetNameOwner", &ownerError, &ownerReply, "s", name.c_str());
    std::unique_ptr<sd_bus_message, MessageDeleter> ownedReply(ownerReply);
    sd_bus_error_free(&ownerError);
    const char* owner = nullptr;
    if (found >= 0 && sd_bus_message_read(ownerReply, "s", &owner) > 0) {
      nameOwnerChanged(name, owner);
    }
  }
}

int PlayerDirectory::onNameOwnerChanged(sd_bus_message* message, void* userdata,
                                        sd_bus_error* /*error*/) {
  const char* name = nullptr;
  const char* oldOwner = nullptr;
  const char* newOwner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) >= 0 && isPlayerName(name)) {
    static_cast<PlayerDirectory*>(userdata)->nameOwnerChanged(name, newOwner);
  }
  return 0;
}

void PlayerDirectory::nameOwnerChanged(const std::string& name, const std::string& newOwner) {
  changed_ = true;
  if (newOwner.empty()) {
    names_.erase(name);
    return;
  }
  // Until DesktopEntry is read the bus name stands in for it; it usually agrees.
  NameRecord record;
  record.owner = newOwner;
  record.entryName = entryNameFromBusName(name);
  record.nextQuery = Clock::now();
  record.generation = ++nextGeneration_;
  names_[name] = std::move(record);
  appeared_ = true;
}

void PlayerDirectory::queryDueEntries() {
  // Asked without waiting, so that a hung player cannot hold up the picture of the others.
  const auto now = Clock::now();
  for (auto& [name, record] : names_) {
    if (record.entryConfirmed || record.queryInFlight || record.queryAttempts >= kQueryAttempts ||
        record.nextQuery > now) {
      continue;
    }
    ++record.queryAttempts;
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_method_async(bus_.get(), &slot, record.owner.c_str(), kMprisPath,
                                 "org.freedesktop.DBus.Properties", "Get", &onDesktopEntryReply,
                                 this, "ss", kMprisRootInterface, "DesktopEntry") < 0) {
      record.nextQuery = now + kQueryRetryInterval;
      continue;
    }
    record.queryInFlight = true;
    queries_[slot] = Query{name, record.generation};
  }
}

int PlayerDirectory::onDesktopEntryReply(sd_bus_message* reply, void* userdata,
                                         sd_bus_error* /*error*/) {
  auto* self = static_cast<PlayerDirectory*>(userdata);
  self->desktopEntryReplied(sd_bus_get_current_slot(sd_bus_message_get_bus(reply)), reply);
  return 0;
}

void PlayerDirectory::desktopEntryReplied(sd_bus_slot* slot, sd_bus_message* reply) {
  const auto query = queries_.find(slot);
  if (query == queries_.end()) {
    return;
  }
  // The slot is released after dispatching, not inside its own callback.
  finishedQueries_.push_back(slot);
  const auto record = names_.find(query->second.name);
  const bool current =
      record != names_.end() && record->second.generation == query->second.generation;
  queries_.erase(query);
  if (!current) {
    return;
  }
  auto& name = record->second;
  name.queryInFlight = false;
  const sd_bus_error* error = sd_bus_message_get_error(reply);
  const char* entry = nullptr;
  if (error == nullptr && sd_bus_message_read(reply, "v", "s", &entry) >= 0) {
    name.entryConfirmed = true;
    if (entry != nullptr && *entry != '\0' && normalizedEntryName(entry) != name.entryName) {
      name.entryName = normalizedEntryName(entry);
      changed_ = true;
    }
    return;
  }
  const bool definitive =
      error != nullptr && (sd_bus_error_has_name(error, SD_BUS_ERROR_ACCESS_DENIED) ||
                           sd_bus_error_has_name(error, SD_BUS_ERROR_UNKNOWN_PROPERTY) ||
                           sd_bus_error_has_name(error, SD_BUS_ERROR_INVALID_ARGS));
  if (definitive) {
    // The bus name's suggestion stays.
    name.entryConfirmed = true;
  } else {
    name.nextQuery = Clock::now() + kQueryRetryInterval;
  }
}

void PlayerDirectory::releaseFinishedQueries() {
  for (sd_bus_slot* slot : finishedQueries_) {
    sd_bus_slot_unref(slot);
  }
  finishedQueries_.clear();
}

void PlayerDirectory::publish() {
  changed_ = false;
  // Owners in the order they were first seen; each owner once per entry name.
  std::vector<std::pair<const NameRecord*, const OwnerRecord*>> ordered;
  std::map<std::string, bool> liveOwners;
  for (const auto& [name, record] : names_) {
    auto& owner = owners_[record.owner];
    if (!owner.handle) {
      owner.handle = std::make_shared<ApplicationHandle>(true);
      owner.sequence = nextSequence_++;
    }
    liveOwners[record.owner] = true;
    ordered.emplace_back(&record, &owner);
  }
  std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
    return a.second->sequence < b.second->sequence;
  });
  std::unordered_map<std::string, std::vector<Player>> byEntry;
  for (const auto& [record, owner] : ordered) {
    auto& list = byEntry[record->entryName];
    const bool listed = std::any_of(list.begin(), list.end(), [&](const Player& player) {
      return player.owner == record->owner;
    });
    if (!listed) {
      list.push_back({record->owner, owner->handle});
    }
  }
  for (auto it = owners_.begin(); it != owners_.end();) {
    if (liveOwners.count(it->first) == 0) {
      it->second.handle->markTerminated();
      it = owners_.erase(it);
    } else {
      ++it;
    }
  }

  std::lock_guard lock(mutex_);
  playersByEntry_ = std::move(byEntry);
  const auto now = Clock::now();
  std::erase_if(pendingLaunches_, [&](const PendingLaunch& pending) {
    const auto found = playersByEntry_.find(pending.entryName);
    if (found != playersByEntry_.end() && !found->second.empty()) {
      pending.launch->markFinishedLaunching();
      return true;
    }
    return now - pending.started > kLaunchFollowLimit;
  });
}

void PlayerDirectory::reapChildren() {
  std::lock_guard lock(mutex_);
  std::erase_if(children_, [this](Child& child) {
    int status = 0;
    const pid_t reaped = waitpid(child.pid, &status, WNOHANG);
    if (reaped == 0 || (reaped < 0 && errno == EINTR)) {
      return false;
    }
    child.launch->markTerminated();
    std::erase_if(pendingLaunches_,
                  [&](const PendingLaunch& pending) { return pending.launch == child.launch; });
    if (child.pidfd >= 0) {
      close(child.pidfd);
    }
    return true;
  });
}

void PlayerDirectory::waitForWork() {
  std::vector<pollfd> fds;
  fds.push_back({wakeFd_, POLLIN, 0});
  if (bus_) {
    fds.push_back(
        {sd_bus_get_fd(bus_.get()), static_cast<short>(sd_bus_get_events(bus_.get())), 0});
  }
  auto deadline = Clock::now() + std::chrono::seconds(5);
  if (!bus_) {
    deadline = std::min(deadline, nextConnect_);
  } else {
    std::uint64_t busTimeout = 0;
    if (sd_bus_get_timeout(bus_.get(), &busTimeout) >= 0 && busTimeout != UINT64_MAX) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const auto nowUsec = static_cast<std::uint64_t>(now.tv_sec) * 1000000U +
                           static_cast<std::uint64_t>(now.tv_nsec) / 1000U;
      const auto left = busTimeout > nowUsec ? busTimeout - nowUsec : 0;
      deadline = std::min(deadline, Clock::now() + std::chrono::microseconds(left));
    }
    for (const auto& [name, record] : names_) {
      if (!record.entryConfirmed && !record.queryInFlight &&
          record.queryAttempts < kQueryAttempts) {
        deadline = std::min(deadline, record.nextQuery);
      }
    }
  }
  {
    std::lock_guard lock(mutex_);
    for (const auto& child : children_) {
      if (child.pidfd >= 0) {
        fds.push_back({child.pidfd, POLLIN, 0});
      } else {
        deadline = std::min(deadline, Clock::now() + kChildPollInterval);
      }
    }
    if (!pendingLaunches_.empty()) {
      deadline = std::min(deadline, Clock::now() + std::chrono::seconds(1));
    }
  }
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  const int timeout = static_cast<int>(std::max<milliseconds::rep>(0, left.count() + 1));
  if (poll(fds.data(), fds.size(), timeout) > 0 && (fds[0].revents & POLLIN) != 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
  }
}

}  // namespace tonvara::mpris
