#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DbusSession.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "MprisTestSupport.h"
#include "Mpv.h"
#include "TestWindow.h"
#include "XServer.h"
#include "XTestKeyboard.h"
#include "mpris/MprisApplicationPlatform.h"

namespace tonvara::testing {

// The X11 platform, counting the trust checks the tap makes when told it was switched off.
class ObservedTapPlatform final : public EventTapPlatform {
 public:
  explicit ObservedTapPlatform(std::shared_ptr<EventTapPlatform> inner)
      : inner_(std::move(inner)) {}

  std::atomic<int> trustChecks{0};
  std::atomic<int> lastTrust{-1};

  std::shared_ptr<EventTapPort> createEventTap(EventTapLocation location,
                                               EventTapPlacement placement, EventTapOptions options,
                                               EventMask mask, EventTapCallBack callback,
                                               void* userInfo) override;
  std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& port) override;
  std::shared_ptr<RunLoop> currentRunLoop() override;
  void enableTap(EventTapPort& port, bool enable) override;
  bool isProcessTrusted() override;
  std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) override;

 private:
  std::shared_ptr<EventTapPlatform> inner_;
};

// Every key the router decided, as its observer heard them.
class Decisions {
 public:
  MediaKeyRouter::OnEvent observer();
  std::vector<std::pair<MediaKey, bool>> all() const;
  std::size_t count() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<MediaKey, bool>> decisions_;
};

// The whole engine against real programs: a private X server with a focused window and an XTest
// keyboard, a private session bus, and a desktop whose default audio application is mpv (an
// entry "mpv.desktop" playing a tone). The router is the real one, on the X11 tap and the MPRIS
// platform. Every program started here, or by the engine, is stopped by its process id when
// the test ends, whether it passed or not.
class EndToEndTest : public ::testing::Test {
 protected:
  static constexpr std::chrono::seconds kPatience{10};

  void SetUp() override;
  void TearDown() override;

  // Writes data/applications/mpv.desktop with this body and makes it the audio default.
  void installMusicEntry(const std::string& desktopEntryBody);
  // The Exec line of mpv playing `files` (the tone when empty), paused when asked.
  std::string mpvExecLine(bool paused, const std::vector<std::string>& files = {}) const;
  // mpv started by the test on the private bus, playing `files` (the tone when empty).
  std::unique_ptr<Mpv> startPlayer(const std::vector<std::string>& options,
                                   const std::vector<std::string>& files = {});
  // A second file to make a two-track playlist.
  std::string secondTrack();

  // Builds the router on the real platforms (the tap not yet installed).
  void buildRouter(EngineSettings settings);
  // Destroys the router; false when that did not finish within a few seconds.
  bool destroyRouter();
  // Waits until the router sees the music application running (or not).
  bool waitForMusicRunning(bool running);

  // Types a marker key and waits until the window has it: every key typed before has then been
  // decided and delivered. Returns what the window received before the marker, and forgets it.
  std::vector<ReceivedKey> settle();
  std::optional<std::string> playbackStatus() const;
  bool waitForStatus(const std::string& status);
  // The title of the player's current track.
  std::optional<std::string> currentTitle() const;
  bool waitForTitle(const std::string& title);

  std::unique_ptr<TemporaryDirectory> directory_;
  std::unique_ptr<DbusSession> bus_;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<XTestKeyboard> keyboard_;
  std::unique_ptr<TestWindow> window_;
  std::string tone_;
  XdgDirs xdg_;

  std::shared_ptr<ObservedTapPlatform> tapPlatform_;
  std::shared_ptr<mpris::MprisApplicationPlatform> musicPlatform_;
  std::unique_ptr<MediaKeyRouter> router_;
  Decisions decisions_;
};

// Sends SIGKILL to every child process of this test still alive and reaps it.
void killRemainingChildren();
std::optional<pid_t> parentOf(pid_t pid);
// Live threads of this process named as the tap's thread.
int tapThreads();

}  // namespace tonvara::testing
