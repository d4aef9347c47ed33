#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>
#include <version>

#include "MediaKeyEngine/EventTapPlatform.h"
#include "MediaKeyEngine/MediaKey.h"

namespace tonvara {

// Intercepts media key-downs system-wide on a dedicated thread and asks `onKeyDown` whether
// to swallow each one. Everything else passes through untouched.
class MediaKeyTap {
 public:
  using OnKeyDown = std::function<bool(MediaKey)>;

  static constexpr const char* kThreadName = "com.tonvara.MediaKeyTap";

  // Uses the platform's event-tap services.
  MediaKeyTap();
  explicit MediaKeyTap(std::shared_ptr<EventTapPlatform> platform);
  // Removes the tap and waits until its thread can no longer run the callback.
  ~MediaKeyTap();

  MediaKeyTap(const MediaKeyTap&) = delete;
  MediaKeyTap& operator=(const MediaKeyTap&) = delete;

  OnKeyDown onKeyDown() const;
  void setOnKeyDown(OnKeyDown callback);

  // Installs the tap; true when it is installed afterwards. Blocks until the tap thread has
  // enabled it.
  bool start();
  // Removes the tap if installed. Does not wait for the tap thread.
  void stop();
  bool isInstalled() const;

 private:
  // One tap thread and whether its body has returned, so it can be joined without waiting.
  struct TapThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  static EventRef callBack(std::uint32_t type, EventRef event, void* userInfo);
  static EventRef callBackSlowPath(std::uint32_t type, EventRef event, void* userInfo);
  EventRef handleEvent(std::uint32_t type, EventRef event);
  std::shared_ptr<const OnKeyDown> currentOnKeyDown() const;
  void runTapThread(const std::shared_ptr<RunLoopSource>& source,
                    const std::shared_ptr<EventTapPort>& port, std::binary_semaphore& started);
  // Joins the retired threads that have ended; with `all`, waits for every one of them.
  void joinRetiredThreads(bool all);

  const std::shared_ptr<EventTapPlatform> platform_;

  std::mutex lifecycleLock_;
  mutable std::mutex stateLock_;
#if defined(__cpp_lib_atomic_shared_ptr)
  // Read for every key without taking stateLock_.
  std::atomic<std::shared_ptr<const OnKeyDown>> onKeyDown_;
#else
  std::shared_ptr<const OnKeyDown> onKeyDown_;  // guarded by stateLock_
#endif
  std::shared_ptr<EventTapPort> tap_;
  std::shared_ptr<RunLoopSource> runLoopSource_;
  TapThread tapThread_;
  std::shared_ptr<RunLoop> tapRunLoop_;

  // Threads told to stop but not yet joined; guarded by lifecycleLock_. A callback may still
  // be running on one of them, so only the destructor waits for them.
  std::vector<TapThread> retiredThreads_;
};

}  // namespace tonvara
