#include "MediaKeyEngine/MediaKeyRouter.h"

#include <utility>

namespace tonvara {

MediaKeyRouter::MediaKeyRouter(EngineSettings settings)
    : MediaKeyRouter(settings, std::make_unique<MediaKeyTap>(), MusicController::create()) {}

MediaKeyRouter::MediaKeyRouter(EngineSettings settings, std::unique_ptr<MediaKeyTap> tap,
                               std::shared_ptr<MusicController> music)
    : tap_(std::move(tap)), music_(std::move(music)), settings_(settings) {
  // The tap is stopped and its thread joined in the destructor before any field goes away,
  // so the decision never runs on a router that no longer exists.
  tap_->setOnKeyDown([this](MediaKey key) { return handle(key); });
}

MediaKeyRouter::~MediaKeyRouter() {
  // Destroying the tap removes it and waits out its thread while every field is still alive.
  tap_.reset();
}

EngineSettings MediaKeyRouter::settings() const {
  std::lock_guard lock(stateLock_);
  return settings_;
}

MediaKeyRouter::OnEvent MediaKeyRouter::onEvent() const {
  std::lock_guard lock(stateLock_);
  return onEvent_ ? *onEvent_ : OnEvent{};
}

void MediaKeyRouter::setOnEvent(OnEvent observer) {
  auto shared = observer ? std::make_shared<const OnEvent>(std::move(observer)) : nullptr;
  std::lock_guard lock(stateLock_);
  onEvent_ = std::move(shared);
}

void MediaKeyRouter::update(EngineSettings settings) {
  {
    std::lock_guard lock(stateLock_);
    settings_ = settings;
  }
  activate();
}

bool MediaKeyRouter::activate() {
  bool enabled = false;
  {
    std::lock_guard lock(stateLock_);
    enabled = settings_.enabled;
  }
  if (!enabled) {
    tap_->stop();
    return true;
  }
  refreshAutomationStatus();
  return tap_->start();
}

void MediaKeyRouter::refreshAutomationStatus() {
  const auto access = music_->automationAccess();
  if (access == MusicController::AutomationAccess::undetermined) {
    return;
  }
  std::lock_guard lock(stateLock_);
  automationDenied_ = access == MusicController::AutomationAccess::denied;
}

void MediaKeyRouter::deactivateTap() { tap_->stop(); }

bool MediaKeyRouter::isTapInstalled() const { return tap_->isInstalled(); }

bool MediaKeyRouter::isMusicRunning() const { return music_->isRunning(); }

bool MediaKeyRouter::isAutomationDenied() const {
  std::lock_guard lock(stateLock_);
  return automationDenied_;
}

MusicController::AutomationAccess MediaKeyRouter::automationStatus() const {
  return music_->automationAccess();
}

bool MediaKeyRouter::handle(MediaKey key) {
  bool enabled = false;
  WhenNotRunning whenNotRunning = WhenNotRunning::launchMusic;
  bool automationDenied = false;
  std::shared_ptr<const OnEvent> onEvent;
  {
    std::lock_guard lock(stateLock_);
    enabled = settings_.enabled;
    whenNotRunning = settings_.whenNotRunning;
    automationDenied = automationDenied_;
    onEvent = onEvent_;
  }
  const auto answer = [&](bool taken) {
    if (onEvent) {
      (*onEvent)(key, taken);
    }
    return taken;
  };

  if (!enabled || automationDenied) {
    return answer(false);
  }
  if (music_->isRunning()) {
    music_->perform(key, false);
    return answer(true);
  }
  if (whenNotRunning == WhenNotRunning::passThrough) {
    return answer(false);
  }
  music_->perform(key, true);
  return answer(true);
}

}  // namespace tonvara
