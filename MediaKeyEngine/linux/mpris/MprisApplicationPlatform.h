#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "mpris/Bus.h"
#include "mpris/DesktopApps.h"
#include "mpris/MusicApplicationChoice.h"
#include "mpris/PlayerDirectory.h"

namespace tonvara::mpris {

// The music application on a Linux desktop: "com.apple.Music" stands for the player the user
// chose, or else the desktop's default application for audio, and its running instances are the
// MPRIS players on the session bus that name its desktop entry. Desktop entries are found
// through the XDG directories of the environment.
class MprisApplicationPlatform final : public ApplicationPlatform, public MusicApplicationChoice {
 public:
  struct Options {
    // Nothing: the session bus of the environment.
    std::optional<std::string> busAddress;
    std::chrono::milliseconds callTimeout{1000};
    std::string audioMimeType = "audio/mpeg";
  };

  explicit MprisApplicationPlatform(Options options);
  ~MprisApplicationPlatform() override;

  MprisApplicationPlatform(const MprisApplicationPlatform&) = delete;
  MprisApplicationPlatform& operator=(const MprisApplicationPlatform&) = delete;

  // From the local picture of the bus; no round trip.
  RunningApplications runningApplications(std::string_view bundleID) override;
  // The path of the application's desktop entry.
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  // `url` is a desktop entry's path. A D-Bus activatable entry is activated; otherwise (or
  // when activation is not set up) its Exec command runs without a shell. Completes on the
  // calling thread: with a finished handle when a player of the entry is running, a handle
  // that follows the launch when one was started, or an error.
  void openApplication(const std::string& url, bool activates, OpenCompletion completion) override;
  std::unique_ptr<ScriptableApplication> scriptableApplication(std::string_view bundleID) override;
  std::optional<bool> isPlayerPlaying(std::string_view bundleID) override;
  // Never prompts: a call the player answers is a grant, a bus policy refusal a denial. Without
  // `askUserIfNeeded` it never waits: it answers from the last check the directory's thread
  // made, and asks for a fresh one.
  std::int32_t determinePermissionToAutomate(std::string_view bundleID,
                                             bool askUserIfNeeded) override;

  std::vector<PlayerEntry> pickablePlayers() override;
  void chooseMusicApplication(const std::string& desktopId) override;
  PlayerEntry musicApplication() override;
  void onPlayersChanged(std::function<void()> handler) override;

 private:
  // Looks the music application up again (reads desktop entries) and follows it.
  std::optional<DesktopApp> resolveMusicApplication();
  std::string musicEntryName() const;
  // The first player of the application, by its unique bus name.
  std::optional<std::string> firstPlayer(std::string_view bundleID) const;
  std::optional<std::string> launch(const LaunchableEntry& entry, const std::string& path,
                                    const std::shared_ptr<ApplicationHandle>& handle);

  const Options options_;
  const std::shared_ptr<BusConnections> connections_;
  mutable std::mutex mutex_;
  std::string chosenId_;
  std::string defaultEntryName_;
  std::string musicEntryName_;
  std::function<void()> onPlayersChanged_;
  // Last: its thread calls back into the members above, so it stops first.
  std::unique_ptr<PlayerDirectory> directory_;
};

}  // namespace tonvara::mpris
