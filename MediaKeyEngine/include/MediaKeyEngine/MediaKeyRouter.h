#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "MediaKeyEngine/EngineSettings.h"
#include "MediaKeyEngine/MediaKey.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngine/MusicController.h"

namespace tonvara {

// The engine's front door: decides each media key-down and keeps the tap installed as the
// settings require.
class MediaKeyRouter {
 public:
  // Told of every decided key; `taken` is true when the key was swallowed. Runs on the tap
  // thread.
  using OnEvent = std::function<void(MediaKey key, bool taken)>;

  // Builds the platform's tap and music controller. Does not install the tap.
  explicit MediaKeyRouter(EngineSettings settings);
  MediaKeyRouter(EngineSettings settings, std::unique_ptr<MediaKeyTap> tap,
                 std::shared_ptr<MusicController> music);
  // Removes the tap first, so no decision runs on a router being destroyed.
  ~MediaKeyRouter();

  MediaKeyRouter(const MediaKeyRouter&) = delete;
  MediaKeyRouter& operator=(const MediaKeyRouter&) = delete;

  EngineSettings settings() const;
  OnEvent onEvent() const;
  void setOnEvent(OnEvent observer);

  void update(EngineSettings settings);
  bool activate();
  void refreshAutomationStatus();
  void deactivateTap();

  bool isTapInstalled() const;
  bool isMusicRunning() const;
  bool isAutomationDenied() const;
  MusicController::AutomationAccess automationStatus() const;

 private:
  bool handle(MediaKey key);

  std::unique_ptr<MediaKeyTap> tap_;  // reset only by the destructor
  const std::shared_ptr<MusicController> music_;

  mutable std::mutex stateLock_;
  EngineSettings settings_;
  bool automationDenied_ = false;
  std::shared_ptr<const OnEvent> onEvent_;
};

}  // namespace tonvara
