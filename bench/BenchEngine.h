#pragma once

#include <cstdint>
#include <memory>

#include "BenchEventTapPlatform.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "MediaKeyEngine/MusicController.h"
#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara::bench {

// data1 of a media-key event: key code, then key state (0x0A down, 0x0B up), then flags.
constexpr std::int64_t mediaKeyData1(std::int64_t keyCode, bool down) {
  return (keyCode << 16) | ((down ? 0x0A : 0x0B) << 8);
}

inline constexpr std::int64_t kPlayPauseKeyCode = 16;
inline constexpr std::uint32_t kKeyDownEventType = 10;  // an ordinary key event, not type 14

// A router with interception on and keys passed while Music is not running, the real
// "com.tonvara.music" queue and an installed tap whose callback the caller invokes directly, on
// its own thread.
class BenchEngine {
 public:
  enum class MusicState { running, notRunning };

  // `sendCommand` runs on the Music queue for every taken key.
  BenchEngine(MusicState musicState, MusicController::SendCommand sendCommand);

  BenchEngine(const BenchEngine&) = delete;
  BenchEngine& operator=(const BenchEngine&) = delete;

  // Calls the installed tap's callback as the system would.
  EventRef deliver(std::uint32_t type, EventRef event) const {
    return callBack_.callBack(type, event, callBack_.userInfo);
  }
  const BenchEventTapPlatform::InstalledCallBack& callBack() const { return callBack_; }
  // Waits until every job queued so far has run.
  void drainMusicQueue() const;
  SerialWorkQueue& musicQueue() const { return *musicQueue_; }

 private:
  std::shared_ptr<BenchEventTapPlatform> platform_;
  std::shared_ptr<DispatchQueue> musicQueue_;
  std::unique_ptr<MediaKeyRouter> router_;
  BenchEventTapPlatform::InstalledCallBack callBack_;
};

}  // namespace tonvara::bench
