#include "mpris/MprisApplicationPlatform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <set>
#include <utility>

#include "MediaKeyEngine/MusicController.h"
#include "mpris/MprisPlayerObject.h"

namespace tonvara::mpris {

namespace {

struct MessageDeleter {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

// The object path of a D-Bus activatable application: "org.example.App" → "/org/example/App".
std::string applicationObjectPath(const std::string& busName) {
  std::string path = "/" + busName;
  for (auto& c : path) {
    if (c == '.') {
      c = '/';
    } else if (c == '-') {
      c = '_';
    }
  }
  return path;
}

// org.freedesktop.Application.Activate; a reply that is merely late still counts as started.
CallResult activate(sd_bus* bus, const std::string& busName) {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  sd_bus_message* reply = nullptr;
  const std::string path = applicationObjectPath(busName);
  const int r =
      sd_bus_call_method(bus, busName.c_str(), path.c_str(), "org.freedesktop.Application",
                         "Activate", &error, &reply, "a{sv}", 0);
  std::unique_ptr<sd_bus_message, MessageDeleter> owned(reply);
  CallResult result{r, error.name != nullptr ? error.name : ""};
  sd_bus_error_free(&error);
  if (r == -ETIMEDOUT || result.errorName == SD_BUS_ERROR_NO_REPLY) {
    result.code = 0;
  }
  return result;
}

}  // namespace

MprisApplicationPlatform::MprisApplicationPlatform(Options options)
    : options_(std::move(options)),
      connections_(std::make_shared<BusConnections>(options_.busAddress, options_.callTimeout)) {
  resolveMusicApplication();
  directory_ = std::make_unique<PlayerDirectory>(PlayerDirectory::Options{
      options_.busAddress, options_.callTimeout, [this](PlayerDirectory& directory) {
        // The default or the chosen application may have changed (or gone) since it was last
        // looked up, and a new first player is asked whether it takes calls.
        resolveMusicApplication();
        if (const auto name = musicEntryName(); !name.empty()) {
          if (const auto players = directory.players(name); !players.empty()) {
            directory.requestAccessCheck(players.front().owner);
          }
        }
        std::function<void()> handler;
        {
          std::lock_guard lock(mutex_);
          handler = onPlayersChanged_;
        }
        if (handler) {
          handler();
        }
      }});
}

MprisApplicationPlatform::~MprisApplicationPlatform() { directory_.reset(); }

std::optional<DesktopApp> MprisApplicationPlatform::resolveMusicApplication() {
  std::string chosen;
  {
    std::lock_guard lock(mutex_);
    chosen = chosenId_;
  }
  auto fallback = defaultApplicationFor(options_.audioMimeType);
  const std::string fallbackName = fallback ? fallback->entryName : std::string();
  auto app = chosen.empty() ? std::nullopt : installedApplication(chosen);
  if (!app) {
    app = std::move(fallback);  // a chosen player that is no longer installed
  }
  std::lock_guard lock(mutex_);
  defaultEntryName_ = fallbackName;
  // A choice made meanwhile stands: its own lookup is on its way.
  if (chosenId_ == chosen) {
    musicEntryName_ = app ? app->entryName : std::string();
  }
  return app;
}

std::string MprisApplicationPlatform::musicEntryName() const {
  std::lock_guard lock(mutex_);
  return musicEntryName_;
}

ApplicationPlatform::RunningApplications MprisApplicationPlatform::runningApplications(
    std::string_view bundleID) {
  if (bundleID != MusicController::bundleID) {
    return {};
  }
  const auto name = musicEntryName();
  RunningApplications result;
  if (name.empty()) {
    return result;
  }
  for (auto& player : directory_->players(name)) {
    result.push_back(std::move(player.handle));
  }
  return result;
}

std::optional<std::string> MprisApplicationPlatform::urlForApplication(std::string_view bundleID) {
  if (bundleID != MusicController::bundleID) {
    return std::nullopt;
  }
  auto app = resolveMusicApplication();
  return app ? std::optional(std::move(app->path)) : std::nullopt;
}

void MprisApplicationPlatform::openApplication(const std::string& url, bool activates,
                                               OpenCompletion completion) {
  const auto entry = readLaunchableEntry(url);
  if (!entry) {
    completion(nullptr, "not a launchable application: " + url);
    return;
  }
  const auto running = directory_->players(entry->entryName);
  if (!running.empty()) {
    if (activates) {
      if (sd_bus* bus = connections_->forCurrentThread()) {
        callMethod(bus, running.front().owner, kMprisPath, kMprisRootInterface, "Raise");
      }
    }
    completion(running.front().handle, std::nullopt);
    return;
  }
  auto handle = std::make_shared<ApplicationHandle>();
  if (auto error = launch(*entry, url, handle)) {
    completion(nullptr, std::move(error));
    return;
  }
  completion(handle, std::nullopt);
}

std::optional<std::string> MprisApplicationPlatform::launch(
    const LaunchableEntry& entry, const std::string& path,
    const std::shared_ptr<ApplicationHandle>& handle) {
  if (entry.dbusActivatable) {
    sd_bus* bus = connections_->forCurrentThread();
    const auto result = bus != nullptr ? activate(bus, entry.entryName) : CallResult{-ENOTCONN, ""};
    if (result.ok()) {
      directory_->watchLaunch(entry.entryName, std::nullopt, handle);
      return std::nullopt;
    }
    // Exec remains the way in where activation is not set up; GIO refuses an entry without one.
  }
  const auto spawned = spawnEntry(path, options_.busAddress);
  if (spawned.pid < 0) {
    return spawned.error;
  }
  directory_->watchLaunch(entry.entryName, spawned.pid, handle);
  return std::nullopt;
}

std::optional<std::string> MprisApplicationPlatform::firstPlayer(std::string_view bundleID) const {
  if (bundleID != MusicController::bundleID) {
    return std::nullopt;
  }
  const auto name = musicEntryName();
  if (name.empty()) {
    return std::nullopt;
  }
  auto players = directory_->players(name);
  if (players.empty()) {
    return std::nullopt;
  }
  return std::move(players.front().owner);
}

std::unique_ptr<ScriptableApplication> MprisApplicationPlatform::scriptableApplication(
    std::string_view bundleID) {
  auto owner = firstPlayer(bundleID);
  if (!owner) {
    return nullptr;
  }
  return std::make_unique<MprisPlayerObject>(connections_, std::move(*owner));
}

std::optional<bool> MprisApplicationPlatform::isPlayerPlaying(std::string_view bundleID) {
  const auto owner = firstPlayer(bundleID);
  sd_bus* bus = owner ? connections_->forCurrentThread() : nullptr;
  if (bus == nullptr) {
    return std::nullopt;
  }
  std::string status;
  if (!getStringProperty(bus, *owner, kMprisPath, kMprisPlayerInterface, "PlaybackStatus", status)
           .ok()) {
    return std::nullopt;
  }
  return status == "Playing";
}

std::int32_t MprisApplicationPlatform::determinePermissionToAutomate(std::string_view bundleID,
                                                                     bool askUserIfNeeded) {
  const auto owner = firstPlayer(bundleID);
  if (!owner) {
    return kAutomationProcessNotFound;
  }
  if (!askUserIfNeeded) {
    // Called on the main thread: a hung player must not hold it.
    directory_->requestAccessCheck(*owner);
    return directory_->accessStatus(*owner).value_or(kAutomationProcessNotFound);
  }
  sd_bus* bus = connections_->forCurrentThread();
  if (bus == nullptr) {
    return kAutomationProcessNotFound;
  }
  std::string identity;
  const auto result =
      getStringProperty(bus, *owner, kMprisPath, kMprisRootInterface, "Identity", identity);
  const std::int32_t status = result.ok()             ? kAutomationGranted
                              : result.accessDenied() ? kAutomationNotPermitted
                                                      : kAutomationProcessNotFound;
  directory_->storeAccessStatus(*owner, status);
  return status;
}

std::vector<PlayerEntry> MprisApplicationPlatform::pickablePlayers() {
  std::vector<PlayerEntry> entries;
  std::set<std::string> seen;
  const auto add = [&](const DesktopApp& app) {
    if (seen.insert(app.id).second) {
      entries.push_back({app.id, app.name});
    }
  };
  for (const auto& app : installedPlayers()) {
    add(app);
  }
  if (const auto fallback = defaultApplicationFor(options_.audioMimeType)) {
    add(*fallback);  // many players (VLC among them) are filed under AudioVideo, not Audio
  }
  // Many players declare no categories; those running on the bus are offered too. A player
  // without an installed entry is left out: there would be nothing to start or to store.
  std::vector<std::string> ids;
  for (const auto& name : directory_->entryNames()) {
    ids.push_back(name + ".desktop");
  }
  {
    std::lock_guard lock(mutex_);
    ids.push_back(chosenId_);  // still offered once its player has quit
  }
  for (const auto& id : ids) {
    if (auto app = installedApplication(id)) {
      add(*app);
    }
  }
  const auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
  };
  std::sort(entries.begin(), entries.end(), [&](const PlayerEntry& a, const PlayerEntry& b) {
    return std::pair(lower(a.name), a.id) < std::pair(lower(b.name), b.id);
  });
  return entries;
}

void MprisApplicationPlatform::chooseMusicApplication(const std::string& desktopId) {
  {
    std::lock_guard lock(mutex_);
    chosenId_ = desktopId;
    // Taken as installed until the directory's thread has looked, so that the next key
    // already goes to it.
    musicEntryName_ = desktopId.empty() ? defaultEntryName_ : entryNameFromId(desktopId);
  }
  directory_->requestPlayersChanged();
}

void MprisApplicationPlatform::onPlayersChanged(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  onPlayersChanged_ = std::move(handler);
}

PlayerEntry MprisApplicationPlatform::musicApplication() {
  const auto app = resolveMusicApplication();
  return app ? PlayerEntry{app->id, app->name} : PlayerEntry{};
}

}  // namespace tonvara::mpris
