#include "MediaKeyEngine/MediaKeyTap.h"

#include <algorithm>
#include <semaphore>
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
  joinRetiredThreads(true);
}

MediaKeyTap::OnKeyDown MediaKeyTap::onKeyDown() const {
  const auto current = currentOnKeyDown();
  return current ? *current : OnKeyDown{};
}

void MediaKeyTap::setOnKeyDown(OnKeyDown callback) {
  auto shared = callback ? std::make_shared<const OnKeyDown>(std::move(callback)) : nullptr;
#if defined(__cpp_lib_atomic_shared_ptr)
  onKeyDown_.store(std::move(shared));
#else
  std::lock_guard state(stateLock_);
  onKeyDown_ = std::move(shared);
#endif
}

std::shared_ptr<const MediaKeyTap::OnKeyDown> MediaKeyTap::currentOnKeyDown() const {
#if defined(__cpp_lib_atomic_shared_ptr)
  return onKeyDown_.load();
#else
  std::lock_guard state(stateLock_);
  return onKeyDown_;
#endif
}

bool MediaKeyTap::start() {
  std::lock_guard lifecycle(lifecycleLock_);
  {
    std::lock_guard state(stateLock_);
    if (tap_) {
      return true;
    }
  }
  // Only threads that have already ended: an earlier thread may still be inside a callback.
  joinRetiredThreads(false);

  auto port = platform_->createEventTap(
      EventTapLocation::hidEventTap, EventTapPlacement::headInsertEventTap,
      EventTapOptions::defaultTap, kSystemDefinedEventMask, &MediaKeyTap::callBack, this);
  if (!port) {
    return false;
  }
  auto source = platform_->createRunLoopSource(port);
  if (!source) {
    return false;
  }
  {
    std::lock_guard state(stateLock_);
    tap_ = port;
    runLoopSource_ = source;
  }

  // Shared with the thread, which may still be signalling when this call has returned.
  auto started = std::make_shared<std::binary_semaphore>(0);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([this, source, port, started, finished] {
    runTapThread(source, port, *started);
    finished->store(true, std::memory_order_release);
  });
  {
    std::lock_guard state(stateLock_);
    tapThread_ = TapThread{std::move(thread), std::move(finished)};
  }
  started->acquire();
  return true;
}

void MediaKeyTap::runTapThread(const std::shared_ptr<RunLoopSource>& source,
                               const std::shared_ptr<EventTapPort>& port,
                               std::binary_semaphore& started) {
  detail::setCurrentThreadName(kThreadName);
  auto runLoop = platform_->currentRunLoop();
  {
    std::lock_guard state(stateLock_);
    tapRunLoop_ = runLoop;
  }
  runLoop->addSource(source);
  platform_->enableTap(*port, true);
  started.release();
  runLoop->run();
}

void MediaKeyTap::stop() {
  std::lock_guard lifecycle(lifecycleLock_);
  std::shared_ptr<EventTapPort> port;
  std::shared_ptr<RunLoop> runLoop;
  std::shared_ptr<RunLoopSource> source;
  TapThread thread;
  {
    std::lock_guard state(stateLock_);
    port = std::exchange(tap_, nullptr);
    runLoop = std::exchange(tapRunLoop_, nullptr);
    source = std::exchange(runLoopSource_, nullptr);
    thread = std::exchange(tapThread_, TapThread{});
  }
  if (port) {
    platform_->enableTap(*port, false);
  }
  if (runLoop && source) {
    runLoop->removeSource(source);
    runLoop->stop();
  }
  if (thread.thread.joinable()) {
    retiredThreads_.push_back(std::move(thread));
  }
}

bool MediaKeyTap::isInstalled() const {
  std::lock_guard state(stateLock_);
  return tap_ != nullptr;
}

void MediaKeyTap::joinRetiredThreads(bool all) {
  const auto joined = [all](TapThread& retired) {
    if (!all && !retired.finished->load(std::memory_order_acquire)) {
      return false;
    }
    // Destroyed from inside its own callback: that thread ends by itself once it returns.
    if (retired.thread.get_id() == std::this_thread::get_id()) {
      retired.thread.detach();
    } else {
      retired.thread.join();
    }
    return true;
  };
  retiredThreads_.erase(std::remove_if(retiredThreads_.begin(), retiredThreads_.end(), joined),
                        retiredThreads_.end());
}

EventRef MediaKeyTap::callBack(std::uint32_t type, EventRef event, void* userInfo) {
  // Most events are decided here, before the full handler saves any register: everything
  // below the system-defined type passes.
  if (type < kSystemDefinedEventType) [[likely]] {
    return event;
  }
  return callBackSlowPath(type, event, userInfo);
}

// Takes the callback's arguments in the same order, so the fast path above moves nothing.
[[gnu::noinline]] EventRef MediaKeyTap::callBackSlowPath(std::uint32_t type, EventRef event,
                                                         void* userInfo) {
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
  const auto onKeyDown = currentOnKeyDown();
  if (!onKeyDown) {
    return event;
  }
  return (*onKeyDown)(*key) ? nullptr : event;
}

}  // namespace tonvara
