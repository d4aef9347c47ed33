#include "FakeApplicationPlatform.h"

namespace tonvara::testing {

// A handle whose launch state moves on each time it is read, as a real launch would over time.
class FakeApplicationPlatform::Instance final : public RunningApplication {
 public:
  Instance(LaunchOutcome outcome, int reads) : outcome_(outcome), remaining_(reads) {}
  bool isFinishedLaunching() const override {
    return settled() && outcome_ != LaunchOutcome::terminated;
  }
  bool isTerminated() const override { return settled() && outcome_ == LaunchOutcome::terminated; }

 private:
  bool settled() const {
    return outcome_ != LaunchOutcome::neverReady && remaining_.fetch_sub(1) <= 0;
  }
  const LaunchOutcome outcome_;
  mutable std::atomic<int> remaining_;
};

class FakeApplicationPlatform::Scriptable final : public ScriptableApplication {
 public:
  explicit Scriptable(FakeApplicationPlatform& owner) : owner_(owner) {}
  bool respondsToSelector(std::string_view /*selector*/) override { return true; }
  void performSelector(std::string_view selector) override {
    std::lock_guard lock(owner_.mutex_);
    owner_.commands_.emplace_back(selector);
  }

 private:
  FakeApplicationPlatform& owner_;
};

void FakeApplicationPlatform::setRunning(bool running) {
  std::lock_guard lock(mutex_);
  running_.clear();
  if (running) {
    running_.push_back(std::make_shared<Instance>(LaunchOutcome::finished, 0));
  }
}

void FakeApplicationPlatform::setLaunchOutcome(LaunchOutcome outcome, int slowChecks) {
  std::lock_guard lock(mutex_);
  outcome_ = outcome;
  slowChecks_ = slowChecks;
}

std::vector<std::string> FakeApplicationPlatform::commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

int FakeApplicationPlatform::automationChecks() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(prompts_.size());
}

std::vector<bool> FakeApplicationPlatform::automationPrompts() const {
  std::lock_guard lock(mutex_);
  return prompts_;
}

std::string FakeApplicationPlatform::lastBundleID() const {
  std::lock_guard lock(mutex_);
  return lastBundleID_;
}

void FakeApplicationPlatform::record(std::string_view bundleID) {
  std::lock_guard lock(mutex_);
  lastBundleID_ = bundleID;
}

ApplicationPlatform::RunningApplications FakeApplicationPlatform::runningApplications(
    std::string_view bundleID) {
  ++runningQueries_;
  record(bundleID);
  std::lock_guard lock(mutex_);
  return running_;
}

std::optional<std::string> FakeApplicationPlatform::urlForApplication(std::string_view bundleID) {
  record(bundleID);
  return installed_ ? std::optional<std::string>("fake:///Music.app") : std::nullopt;
}

void FakeApplicationPlatform::openApplication(const std::string& /*url*/, bool /*activates*/,
                                              OpenCompletion completion) {
  ++launches_;
  std::shared_ptr<RunningApplication> handle;
  {
    std::lock_guard lock(mutex_);
    if (outcome_ != LaunchOutcome::openError) {
      handle = std::make_shared<Instance>(outcome_,
                                          outcome_ == LaunchOutcome::finished ? 0 : slowChecks_);
      if (outcome_ == LaunchOutcome::finished) {  // others are not listed before they are up
        running_.push_back(handle);
      }
    }
  }
  completion(handle, handle ? std::nullopt : std::optional<std::string>("cannot open"));
}

std::unique_ptr<ScriptableApplication> FakeApplicationPlatform::scriptableApplication(
    std::string_view bundleID) {
  record(bundleID);
  return scriptable_ ? std::make_unique<Scriptable>(*this) : nullptr;
}

std::optional<bool> FakeApplicationPlatform::isPlayerPlaying(std::string_view bundleID) {
  record(bundleID);
  std::lock_guard lock(mutex_);
  return playingAfter_ >= 0 && static_cast<int>(commands_.size()) >= playingAfter_;
}

std::int32_t FakeApplicationPlatform::determinePermissionToAutomate(std::string_view bundleID,
                                                                    bool askUserIfNeeded) {
  record(bundleID);
  std::lock_guard lock(mutex_);
  prompts_.push_back(askUserIfNeeded);
  return automationStatus_;
}

}  // namespace tonvara::testing
