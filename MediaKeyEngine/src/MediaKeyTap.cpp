#include "MediaKeyEngine/MediaKeyTap.h"

#include <utility>

#include "MediaKeyEngine/PlatformDefaults.h"
#include "ThreadName.h"

namespace tonvara {

namespace {

constexpr std::int16_t kAuxControlButtonsSubtype = 8;
constexpr std::int64_t kKeyDownState = 0x0A;

}  // namespace

MediaKeyTap::MediaKeyTap() : MediaKeyTap(platform::defaultEventTapPlatform()) {}

MediaKeyTap::MediaKeyTap(std::shared_ptr<EventTapPlatform> platform)
    : platform_(std::move(platform)) {}

MediaKeyTap::~MediaKeyTap() {
  stop();
  std::lock_guard lifecycle(lifecycleLock_);
  joinRetiredThreads();
}

MediaKeyTap::OnKeyDown MediaKeyTap::onKeyDown() const {
  std::lock_guard state(stateLock_);
  return onKeyDown_ ? *onKeyDown_ : OnKeyDown{};
}

void MediaKeyTap::setOnKeyDown(OnKeyDown callback) {
  auto shared = callback ? std::make_shared<const OnKeyDown>(std::move(callback)) : nullptr;
  std::lock_guard state(stateLock_);
  onKeyDown_ = std::move(shared);
}

bool MediaKeyTap::start() {
  std::lock_guard lifecycle(lifecycleLock_);
  {
    std::lock_guard state(stateLock_);
    if (tap_) {
      return true;
    }
  }
  // Threads of earlier installations were told to stop; reap them so none pile up.
  joinRetiredThreads();

  auto port = platform_->createEventTap(
      EventTapLocation::hidEventTap, EventTapPlacement::headInsertEventTap,
      EventTapOptions::defaultTap, kSystemDefinedEventMask, &MediaKeyTap::callBack, this);
  if (!port) {
    return false;
  }
  auto source = platform_->createRunLoopSource(port);
  {
    std::lock_guard state(stateLock_);
    tap_ = port;
    runLoopSource_ = source;
  }

  std::counting_semaphore<> started(0);
  std::thread thread([this, source, port, &started] { runTapThread(source, port, started); });
  {
    std::lock_guard state(stateLock_);
    tapThread_ = std::move(thread);
  }
  started.acquire();
  return true;
}

void MediaKeyTap::runTapThread(const std::shared_ptr<RunLoopSource>& source,
                               const std::shared_ptr<EventTapPort>& port,
                               std::counting_semaphore<>& started) {
  detail::setCurrentThreadName(kThreadName);
  auto runLoop = platform_->currentRunLoop();
  {
    std::lock_guard state(stateLock_);
    tapRunLoop_ = runLoop;
  }
  runLoop->addSource(source);
  platform_->enableTap(*port, true);
  started.release();
  // `started` belongs to start(), which may have returned by now: not touched again.
  runLoop->run();
}

void MediaKeyTap::stop() {
  std::lock_guard lifecycle(lifecycleLock_);
  std::shared_ptr<EventTapPort> port;
  std::shared_ptr<RunLoop> runLoop;
  std::shared_ptr<RunLoopSource> source;
  std::thread thread;
  {
    std::lock_guard state(stateLock_);
    port = std::exchange(tap_, nullptr);
    runLoop = std::exchange(tapRunLoop_, nullptr);
    source = std::exchange(runLoopSource_, nullptr);
    thread = std::exchange(tapThread_, std::thread{});
  }
  if (port) {
    platform_->enableTap(*port, false);
  }
  if (runLoop && source) {
    runLoop->removeSource(source);
    runLoop->stop();
  }
  if (thread.joinable()) {
    retiredThreads_.push_back(std::move(thread));
  }
}

bool MediaKeyTap::isInstalled() const {
  std::lock_guard state(stateLock_);
  return tap_ != nullptr;
}

void MediaKeyTap::joinRetiredThreads() {
  for (auto& thread : retiredThreads_) {
    // Destroyed from inside its own callback: that thread ends by itself once it returns.
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else {
      thread.join();
    }
  }
  retiredThreads_.clear();
}

EventRef MediaKeyTap::callBack(std::uint32_t type, EventRef event, void* userInfo) {
  if (userInfo == nullptr) {
    return event;
  }
  return static_cast<MediaKeyTap*>(userInfo)->handleEvent(type, event);
}

EventRef MediaKeyTap::handleEvent(std::uint32_t type, EventRef event) {
  if (type == kEventTapDisabledByTimeout || type == kEventTapDisabledByUserInput) {
    std::lock_guard state(stateLock_);
    if (tap_ && platform_->isProcessTrusted()) {
      platform_->enableTap(*tap_, true);
    }
    return event;
  }
  if (type != kSystemDefinedEventType) {
    return event;
  }
  const auto fields = platform_->systemDefinedFields(event);
  if (!fields || fields->subtype != kAuxControlButtonsSubtype) {
    return event;
  }
  if (((fields->data1 >> 8) & 0xFF) != kKeyDownState) {
    return event;
  }
  const auto keyCode = static_cast<std::uint32_t>(fields->data1) >> 16U;
  const auto key = mediaKeyFromKeyCode(keyCode);
  if (!key) {
    return event;
  }
  std::shared_ptr<const OnKeyDown> onKeyDown;
  {
    std::lock_guard state(stateLock_);
    onKeyDown = onKeyDown_;
  }
  if (!onKeyDown) {
    return event;
  }
  return (*onKeyDown)(*key) ? nullptr : event;
}

}  // namespace tonvara
