#include "FakeApplicationPlatform.h"

namespace tonvara::testing {

// A handle whose launch state moves on each time it is read, as a real launch would over time.
class FakeApplicationPlatform::Instance final : public RunningApplication {
 public:
  Instance(LaunchOutcome outcome, int checksUntilSettled)
      : outcome_(outcome), remaining_(checksUntilSettled) {}

  bool isFinishedLaunching() const override {
    return settled() && outcome_ != LaunchOutcome::terminated;
  }
  bool isTerminated() const override { return settled() && outcome_ == LaunchOutcome::terminated; }

 private:
  bool settled() const {
    if (outcome_ == LaunchOutcome::neverReady) {
      return false;
    }
    return remaining_.fetch_sub(1) <= 0;
  }

  const LaunchOutcome outcome_;
  mutable std::atomic<int> remaining_;
};

class FakeApplicationPlatform::Scriptable final : public ScriptableApplication {
 public:
  Scriptable(FakeApplicationPlatform& owner, bool responds) : owner_(owner), responds_(responds) {}
  bool respondsToSelector(std::string_view /*selector*/) override { return responds_; }
  void performSelector(std::string_view selector) override {
    std::lock_guard lock(owner_.mutex_);
    owner_.commands_.emplace_back(selector);
  }

 private:
  FakeApplicationPlatform& owner_;
  const bool responds_;
};

void FakeApplicationPlatform::setRunning(bool running) {
  std::lock_guard lock(mutex_);
  running_.clear();
  if (running) {
    running_.push_back(std::make_shared<Instance>(LaunchOutcome::finished, 0));
  }
}

void FakeApplicationPlatform::setInstalled(bool installed) {
  std::lock_guard lock(mutex_);
  installed_ = installed;
}

void FakeApplicationPlatform::setLaunchOutcome(LaunchOutcome outcome, int slowChecks) {
  std::lock_guard lock(mutex_);
  outcome_ = outcome;
  slowChecks_ = slowChecks;
}

void FakeApplicationPlatform::setScriptable(bool scriptable) {
  std::lock_guard lock(mutex_);
  scriptable_ = scriptable;
}

void FakeApplicationPlatform::setRespondsToCommands(bool responds) {
  std::lock_guard lock(mutex_);
  responds_ = responds;
}

void FakeApplicationPlatform::setPlayingAfterCommands(int commands) {
  std::lock_guard lock(mutex_);
  playingAfter_ = commands;
}

void FakeApplicationPlatform::setAutomationStatus(std::int32_t status) {
  std::lock_guard lock(mutex_);
  automationStatus_ = status;
}

void FakeApplicationPlatform::setOnPlayerStateQuery(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  onPlayerStateQuery_ = std::move(hook);
}

std::vector<std::string> FakeApplicationPlatform::commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

int FakeApplicationPlatform::launches() const {
  std::lock_guard lock(mutex_);
  return launches_;
}

int FakeApplicationPlatform::runningQueries() const { return runningQueries_; }

int FakeApplicationPlatform::playerStateQueries() const {
  std::lock_guard lock(mutex_);
  return playerStateQueries_;
}

int FakeApplicationPlatform::automationChecks() const {
  std::lock_guard lock(mutex_);
  return automationChecks_;
}

std::vector<bool> FakeApplicationPlatform::automationPrompts() const {
  std::lock_guard lock(mutex_);
  return prompts_;
}

std::string FakeApplicationPlatform::lastBundleID() const {
  std::lock_guard lock(mutex_);
  return lastBundleID_;
}

void FakeApplicationPlatform::record(std::string_view bundleID) { lastBundleID_ = bundleID; }

ApplicationPlatform::RunningApplications FakeApplicationPlatform::runningApplications(
    std::string_view bundleID) {
  ++runningQueries_;
  std::lock_guard lock(mutex_);
  record(bundleID);
  return running_;
}

std::optional<std::string> FakeApplicationPlatform::urlForApplication(std::string_view bundleID) {
  std::lock_guard lock(mutex_);
  record(bundleID);
  if (!installed_) {
    return std::nullopt;
  }
  return "fake:///Applications/Music.app";
}

void FakeApplicationPlatform::openApplication(const std::string& /*url*/, bool /*activates*/,
                                              OpenCompletion completion) {
  std::shared_ptr<RunningApplication> handle;
  {
    std::lock_guard lock(mutex_);
    ++launches_;
    if (outcome_ != LaunchOutcome::openError) {
      const int checks = outcome_ == LaunchOutcome::finished ? 0 : slowChecks_;
      handle = std::make_shared<Instance>(outcome_, checks);
      if (outcome_ != LaunchOutcome::terminated) {
        running_.push_back(handle);
      }
    }
  }
  if (handle) {
    completion(handle, std::nullopt);
  } else {
    completion(nullptr, "the application could not be opened");
  }
}

std::unique_ptr<ScriptableApplication> FakeApplicationPlatform::scriptableApplication(
    std::string_view bundleID) {
  std::lock_guard lock(mutex_);
  record(bundleID);
  if (!scriptable_) {
    return nullptr;
  }
  return std::make_unique<Scriptable>(*this, responds_);
}

std::optional<bool> FakeApplicationPlatform::isPlayerPlaying(std::string_view bundleID) {
  std::function<void()> hook;
  bool playing = false;
  {
    std::lock_guard lock(mutex_);
    record(bundleID);
    ++playerStateQueries_;
    hook = onPlayerStateQuery_;
    playing = playingAfter_ >= 0 && static_cast<int>(commands_.size()) >= playingAfter_;
  }
  if (hook) {
    hook();
  }
  return playing;
}

std::int32_t FakeApplicationPlatform::determinePermissionToAutomate(std::string_view bundleID,
                                                                    bool askUserIfNeeded) {
  std::lock_guard lock(mutex_);
  record(bundleID);
  ++automationChecks_;
  prompts_.push_back(askUserIfNeeded);
  return automationStatus_;
}

}  // namespace tonvara::testing
