#include "FakeApplicationPlatform.h"

#include <functional>

namespace tonvara::testing {

namespace {

// Its launch state moves on each time it is read, as a real launch does over time.
class Instance final : public RunningApplication {
 public:
  Instance(LaunchOutcome outcome, int reads) : outcome_(outcome), reads_(reads) {}
  bool isFinishedLaunching() const override {
    return settled() && outcome_ != LaunchOutcome::terminated;
  }
  bool isTerminated() const override { return settled() && outcome_ == LaunchOutcome::terminated; }

 private:
  bool settled() const { return outcome_ != LaunchOutcome::neverReady && reads_-- <= 0; }
  const LaunchOutcome outcome_;
  mutable std::atomic<int> reads_;
};

class Scriptable final : public ScriptableApplication {
 public:
  explicit Scriptable(std::function<void(std::string_view)> perform)
      : perform_(std::move(perform)) {}
  bool respondsToSelector(std::string_view /*selector*/) override { return true; }
  void performSelector(std::string_view selector) override { perform_(selector); }

 private:
  std::function<void(std::string_view)> perform_;
};

}  // namespace

std::shared_ptr<RunningApplication> FakeApplicationPlatform::instance(LaunchOutcome outcome,
                                                                      int reads) {
  return std::make_shared<Instance>(outcome, reads);
}

void FakeApplicationPlatform::openApplication(const std::string& /*url*/, bool /*activates*/,
                                              OpenCompletion completion) {
  ++launches_;
  const LaunchOutcome outcome = outcome_;
  if (outcome == LaunchOutcome::openError) {
    completion(nullptr, "cannot open");
    return;
  }
  auto handle = instance(outcome, outcome == LaunchOutcome::finished ? 0 : slowChecks_.load());
  if (outcome != LaunchOutcome::terminated) {
    std::lock_guard lock(mutex_);
    running_.push_back(handle);
  }
  completion(handle, std::nullopt);
}

std::unique_ptr<ScriptableApplication> FakeApplicationPlatform::scriptableApplication(
    std::string_view bundleID) {
  record(bundleID);
  if (!scriptable_) {
    return nullptr;
  }
  return std::make_unique<Scriptable>([this](std::string_view selector) {
    std::lock_guard lock(mutex_);
    commands_.emplace_back(selector);
  });
}

}  // namespace tonvara::testing
