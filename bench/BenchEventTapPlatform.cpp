#include "BenchEventTapPlatform.h"

#include <condition_variable>

namespace tonvara::bench {

namespace {

// The tap thread only needs somewhere to wait until the tap is removed.
class ParkingRunLoop final : public RunLoop {
 public:
  void addSource(const std::shared_ptr<RunLoopSource>& /*source*/) override {}
  void removeSource(const std::shared_ptr<RunLoopSource>& /*source*/) override {}
  void run() override {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stopped_; });
  }
  void stop() override {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
};

}  // namespace

std::optional<BenchEventTapPlatform::InstalledCallBack> BenchEventTapPlatform::installedCallBack()
    const {
  std::lock_guard lock(mutex_);
  return installed_;
}

std::shared_ptr<EventTapPort> BenchEventTapPlatform::createEventTap(
    EventTapLocation /*location*/, EventTapPlacement /*placement*/, EventTapOptions /*options*/,
    EventMask /*mask*/, EventTapCallBack callback, void* userInfo) {
  std::lock_guard lock(mutex_);
  installed_ = InstalledCallBack{callback, userInfo};
  return std::make_shared<EventTapPort>();
}

std::shared_ptr<RunLoopSource> BenchEventTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& /*port*/) {
  return std::make_shared<RunLoopSource>();
}

std::shared_ptr<RunLoop> BenchEventTapPlatform::currentRunLoop() {
  return std::make_shared<ParkingRunLoop>();
}

void BenchEventTapPlatform::enableTap(EventTapPort& /*port*/, bool /*enable*/) {}

bool BenchEventTapPlatform::isProcessTrusted() { return true; }

std::optional<SystemDefinedEventFields> BenchEventTapPlatform::systemDefinedFields(EventRef event) {
  return static_cast<const BenchEvent*>(event)->fields;
}

}  // namespace tonvara::bench
