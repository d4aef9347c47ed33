#include "FakeApplicationPlatform.h"

#include <functional>

namespace tonvara::testing {

namespace {

// Its launch state moves on each time it is read, as a real launch does over time.
struct Instance final : RunningApplication {
  Instance(LaunchOutcome outcome, int reads) : outcome(outcome), reads(reads) {}
  bool settled() const { return outcome != LaunchOutcome::neverReady && reads-- <= 0; }
  bool isFinishedLaunching() const override {
    return settled() && outcome != LaunchOutcome::terminated;
  }
  bool isTerminated() const override { return settled() && outcome == LaunchOutcome::terminated; }
  const LaunchOutcome outcome;
  mutable std::atomic<int> reads;
};

struct Scriptable final : ScriptableApplication {
  explicit Scriptable(std::function<void(std::string_view)> perform)
      : perform(std::move(perform)) {}
  bool respondsToSelector(std::string_view /*selector*/) override { return true; }
  void performSelector(std::string_view selector) override { perform(selector); }
  const std::function<void(std::string_view)> perform;
};

}  // namespace

void FakeApplicationPlatform::setRunning(bool running) {
  std::lock_guard lock(mutex_);
  running_.assign(running ? 1 : 0, std::make_shared<Instance>(LaunchOutcome::finished, 0));
}

void FakeApplicationPlatform::openApplication(const std::string& /*url*/, bool /*activates*/,
                                              OpenCompletion completion) {
  ++launches_;
  const LaunchOutcome outcome = outcome_;
  if (outcome == LaunchOutcome::openError) {
    return completion(nullptr, "cannot open");
  }
  auto handle = std::make_shared<Instance>(
      outcome, outcome == LaunchOutcome::finished ? 0 : slowChecks_.load());
  if (outcome != LaunchOutcome::terminated) {
    std::lock_guard lock(mutex_);
    running_.push_back(handle);
  }
  completion(handle, std::nullopt);
}

std::unique_ptr<ScriptableApplication> FakeApplicationPlatform::scriptableApplication(
    std::string_view bundleID) {
  record(bundleID);
  return std::make_unique<Scriptable>([this](std::string_view selector) {
    std::lock_guard lock(mutex_);
    commands_.emplace_back(selector);
  });
}

}  // namespace tonvara::testing
