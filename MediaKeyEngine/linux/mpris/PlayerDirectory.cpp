#include "mpris/PlayerDirectory.h"

#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <system_error>
#include <utility>

namespace tonvara::mpris {

namespace {

using std::chrono::microseconds;

constexpr microseconds kReconnectInterval{500'000};
// A launch stops being followed after this, when neither a player nor its end was seen.
constexpr std::chrono::seconds kLaunchFollowLimit{60};

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

// Waits for a child no event loop follows, on a thread of its own, so that it never stays a
// zombie.
void reapInBackground(pid_t pid, std::shared_ptr<ApplicationHandle> launch) {
  try {
    std::thread([pid, launch = std::move(launch)] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      launch->markTerminated();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the process is left to become a zombie when it ends.
  }
}

std::uint64_t usec(microseconds duration) {
  return static_cast<std::uint64_t>(std::max<microseconds::rep>(0, duration.count()));
}

}  // namespace

PlayerDirectory::PlayerDirectory(Options options)
    : options_(std::move(options)), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  thread_ = std::thread([this] { run(); });
}

PlayerDirectory::~PlayerDirectory() {
  stopping_.store(true);
  wake();
  if (thread_.joinable()) {
    thread_.join();
  }
  if (wakeFd_ >= 0) {
    close(wakeFd_);
  }
}

std::vector<Player> PlayerDirectory::players(const std::string& entryName) const {
  std::lock_guard lock(mutex_);
  const auto found = playersByEntry_.find(entryName);
  return found == playersByEntry_.end() ? std::vector<Player>{} : found->second;
}

std::vector<std::string> PlayerDirectory::entryNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, players] : playersByEntry_) {
    if (!players.empty()) {
      names.push_back(name);
    }
  }
  return names;
}

void PlayerDirectory::requestPlayersChanged() {
  {
    std::lock_guard lock(mutex_);
    playersChangedRequested_ = true;
  }
  wake();
}

void PlayerDirectory::watchLaunch(const std::string& entryName, std::optional<pid_t> pid,
                                  std::shared_ptr<ApplicationHandle> launch) {
  {
    std::lock_guard lock(mutex_);
    if (pid) {
      newChildren_.push_back({*pid, openPidfd(*pid), launch});
    }
    const auto found = playersByEntry_.find(entryName);
    if (found != playersByEntry_.end() && !found->second.empty()) {
      launch->markFinishedLaunching();
    } else {
      pendingLaunches_.push_back({entryName, std::move(launch), std::chrono::steady_clock::now()});
    }
  }
  wake();
}

void PlayerDirectory::requestAccessCheck(const std::string& owner) {
  {
    std::lock_guard lock(mutex_);
    accessRequest_ = owner;
  }
  wake();
}

std::optional<std::int32_t> PlayerDirectory::accessStatus(const std::string& owner) const {
  std::lock_guard lock(mutex_);
  const auto found = accessByOwner_.find(owner);
  return found == accessByOwner_.end() ? std::nullopt : std::optional(found->second);
}

void PlayerDirectory::storeAccessStatus(const std::string& owner, std::int32_t status) {
  std::lock_guard lock(mutex_);
  accessByOwner_[owner] = status;
}

void PlayerDirectory::wake() const {
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
  }
}

void PlayerDirectory::run() {
  pthread_setname_np(pthread_self(), "tonvara-mpris");
  // sd-event watches children through pidfds, and wants SIGCHLD blocked on its thread.
  sigset_t child;
  sigemptyset(&child);
  sigaddset(&child, SIGCHLD);
  pthread_sigmask(SIG_BLOCK, &child, nullptr);
  if (sd_event_new(&event_) >= 0 &&
      sd_event_add_io(event_, nullptr, wakeFd_, EPOLLIN, &onWake, this) >= 0 &&
      sd_event_add_post(event_, nullptr, &onPost, this) >= 0) {
    connect();
    sd_event_loop(event_);
  }
  roster_.reset();
  sd_bus_slot_unref(filterSlot_);
  bus_.reset();
  // Children still running are left to a waiter each.
  std::lock_guard lock(mutex_);
  for (auto& [source, child] : watched_) {
    sd_event_source_disable_unref(source);
    reapInBackground(child.pid, child.launch);
  }
  for (auto& child : newChildren_) {
    close(child.pidfd);
    reapInBackground(child.pid, child.launch);
  }
  for (auto* source : {reconnectTimer_, expiryTimer_}) {
    sd_event_source_disable_unref(source);
  }
  event_ = sd_event_unref(event_);
}

void PlayerDirectory::connect() {
  bus_ = openBus(options_.busAddress, options_.callTimeout);
  if (bus_ && sd_bus_attach_event(bus_.get(), event_, SD_EVENT_PRIORITY_NORMAL) >= 0 &&
      sd_bus_add_filter(bus_.get(), &filterSlot_, &onBusMessage, this) >= 0) {
    roster_ = std::make_unique<PlayerRoster>(bus_.get(), event_,
                                             [this](const std::string& owner, std::int32_t status) {
                                               storeAccessStatus(owner, status);
                                             });
    if (roster_->start()) {
      settle();
      return;
    }
  }
  disconnect();
  reconnectIn(kReconnectInterval);
}

void PlayerDirectory::disconnect() {
  if (roster_) {
    roster_->clear();
    publish();
    roster_.reset();
  }
  filterSlot_ = sd_bus_slot_unref(filterSlot_);
  if (bus_) {
    sd_bus_detach_event(bus_.get());
    bus_.reset();
  }
}

void PlayerDirectory::armTimer(sd_event_source*& timer, microseconds delay,
                               sd_event_time_handler_t handler) {
  if (timer == nullptr) {
    sd_event_add_time_relative(event_, &timer, CLOCK_MONOTONIC, usec(delay), 0, handler, this);
  } else {
    sd_event_source_set_time_relative(timer, usec(delay));
    sd_event_source_set_enabled(timer, SD_EVENT_ONESHOT);
  }
}

void PlayerDirectory::reconnectIn(microseconds delay) {
  armTimer(reconnectTimer_, delay, &onReconnect);
}

int PlayerDirectory::onReconnect(sd_event_source* /*source*/, std::uint64_t /*usec*/,
                                 void* userdata) {
  auto* self = static_cast<PlayerDirectory*>(userdata);
  self->disconnect();
  self->connect();
  return 0;
}

int PlayerDirectory::onBusMessage(sd_bus_message* message, void* userdata,
                                  sd_bus_error* /*error*/) {
  if (sd_bus_message_is_signal(message, "org.freedesktop.DBus.Local", "Disconnected") > 0) {
    // Not from inside the connection's own dispatch: on the next loop pass.
    static_cast<PlayerDirectory*>(userdata)->reconnectIn(microseconds(0));
  }
  return 0;
}

int PlayerDirectory::onWake(sd_event_source* /*source*/, int fd, std::uint32_t /*events*/,
                            void* userdata) {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto got = read(fd, &count, sizeof count);
  auto* self = static_cast<PlayerDirectory*>(userdata);
  if (self->stopping_.load()) {
    return sd_event_exit(self->event_, 0);
  }
  self->takeRequests();
  return 0;
}

void PlayerDirectory::takeRequests() {
  std::vector<Child> children;
  std::optional<std::string> access;
  bool playersChanged = false;
  {
    std::lock_guard lock(mutex_);
    children.swap(newChildren_);
    access.swap(accessRequest_);
    std::swap(playersChanged, playersChangedRequested_);
  }
  if (playersChanged && options_.onPlayersChanged) {
    options_.onPlayersChanged(*this);
  }
  for (auto& child : children) {
    watchChild(std::move(child));
  }
  if (access && roster_) {
    roster_->checkAccess(*access);
  }
  armLaunchExpiry();
}

void PlayerDirectory::watchChild(Child child) {
  sd_event_source* source = nullptr;
  if (child.pidfd >= 0 &&
      sd_event_add_child_pidfd(event_, &source, child.pidfd, WEXITED, &onChild, this) >= 0) {
    sd_event_source_set_child_pidfd_own(source, 1);
    watched_[source] = std::move(child);
    return;
  }
  if (child.pidfd >= 0) {
    close(child.pidfd);
  }
  reapInBackground(child.pid, std::move(child.launch));
}

int PlayerDirectory::onChild(sd_event_source* source, const siginfo_t* /*info*/, void* userdata) {
  auto* self = static_cast<PlayerDirectory*>(userdata);
  const auto found = self->watched_.find(source);
  if (found == self->watched_.end()) {
    return 0;
  }
  // The launch is over: a process that ends before its player appears was never up.
  const auto launch = found->second.launch;
  launch->markTerminated();
  {
    std::lock_guard lock(self->mutex_);
    std::erase_if(self->pendingLaunches_,
                  [&](const PendingLaunch& pending) { return pending.launch == launch; });
  }
  // sd-event reaps the child once this returns; the source is freed after that.
  self->endedChildren_.push_back(source);
  self->watched_.erase(found);
  return 0;
}

void PlayerDirectory::armLaunchExpiry() {
  std::optional<std::chrono::steady_clock::time_point> first;
  {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(pendingLaunches_, [&](const PendingLaunch& pending) {
      return now - pending.started >= kLaunchFollowLimit;
    });
    for (const auto& pending : pendingLaunches_) {
      first = first ? std::min(*first, pending.started) : pending.started;
    }
  }
  if (!first) {
    return;
  }
  const auto delay = std::chrono::duration_cast<microseconds>(*first + kLaunchFollowLimit -
                                                              std::chrono::steady_clock::now());
  armTimer(expiryTimer_, delay, &onLaunchExpired);
}

int PlayerDirectory::onLaunchExpired(sd_event_source* /*source*/, std::uint64_t /*usec*/,
                                     void* userdata) {
  static_cast<PlayerDirectory*>(userdata)->armLaunchExpiry();
  return 0;
}

int PlayerDirectory::onPost(sd_event_source* /*source*/, void* userdata) {
  static_cast<PlayerDirectory*>(userdata)->settle();
  return 0;
}

void PlayerDirectory::settle() {
  for (auto* source : endedChildren_) {
    sd_event_source_unref(source);
  }
  endedChildren_.clear();
  if (roster_ && roster_->takeChanged()) {
    publish();
    if (options_.onPlayersChanged) {
      options_.onPlayersChanged(*this);
    }
  }
}

void PlayerDirectory::publish() {
  auto byEntry = roster_->players();
  std::lock_guard lock(mutex_);
  playersByEntry_ = std::move(byEntry);
  std::erase_if(pendingLaunches_, [&](const PendingLaunch& pending) {
    const auto found = playersByEntry_.find(pending.entryName);
    if (found == playersByEntry_.end() || found->second.empty()) {
      return false;
    }
    pending.launch->markFinishedLaunching();
    return true;
  });
  std::erase_if(accessByOwner_, [&](const auto& answer) {
    return std::none_of(playersByEntry_.begin(), playersByEntry_.end(), [&](const auto& entry) {
      return std::any_of(entry.second.begin(), entry.second.end(),
                         [&](const Player& player) { return player.owner == answer.first; });
    });
  });
}

}  // namespace tonvara::mpris
