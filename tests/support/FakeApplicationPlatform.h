#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "MediaKeyEngine/ApplicationPlatform.h"

namespace tonvara::testing {

// How opening the application turns out: finished at once; an error; finished, or terminated
// unfinished, after `slowChecks` readiness reads; or never settled.
enum class LaunchOutcome { finished, openError, slow, terminated, neverReady };

// Instances, launches, recorded commands, player state and Automation status, set by the test.
class FakeApplicationPlatform final : public ApplicationPlatform {
 public:
  void setRunning(bool running);
  void setInstalled(bool installed) { installed_ = installed; }
  void setLaunchOutcome(LaunchOutcome outcome, int slowChecks = 3) {
    outcome_ = outcome;
    slowChecks_ = slowChecks;
  }
  void setPlayingAfterCommands(int sent) { playingAfter_ = sent; }  // playing from then; -1 never
  void setAutomationStatus(std::int32_t status) { automationStatus_ = status; }

  std::vector<std::string> commands() const { return locked(commands_); }
  int launches() const { return launches_; }
  int runningQueries() const { return runningQueries_; }
  int automationChecks() const { return static_cast<int>(automationPrompts().size()); }
  std::vector<bool> automationPrompts() const { return locked(prompts_); }
  std::string lastBundleID() const { return locked(lastBundleID_); }  // as the last call named it

  RunningApplications runningApplications(std::string_view bundleID) override {
    ++runningQueries_;
    const auto lock = record(bundleID);
    return running_;
  }
  std::optional<std::string> urlForApplication(std::string_view bundleID) override {
    record(bundleID);
    return installed_ ? std::optional<std::string>("fake:///Music.app") : std::nullopt;
  }
  void openApplication(const std::string& url, bool activates, OpenCompletion completion) override;
  std::unique_ptr<ScriptableApplication> scriptableApplication(std::string_view bundleID) override;
  std::optional<bool> isPlayerPlaying(std::string_view bundleID) override {
    const auto lock = record(bundleID);
    return playingAfter_ >= 0 && static_cast<int>(commands_.size()) >= playingAfter_;
  }
  std::int32_t determinePermissionToAutomate(std::string_view bundleID, bool prompt) override {
    const auto lock = record(bundleID);
    prompts_.push_back(prompt);
    return automationStatus_;
  }

 private:
  std::unique_lock<std::mutex> record(std::string_view bundleID) {
    std::unique_lock lock(mutex_);
    lastBundleID_ = bundleID;
    return lock;
  }
  template <typename T>
  T locked(const T& field) const {
    std::lock_guard lock(mutex_);
    return field;
  }

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<RunningApplication>> running_;
  std::vector<std::string> commands_;
  std::vector<bool> prompts_;
  std::string lastBundleID_;
  std::atomic<LaunchOutcome> outcome_{LaunchOutcome::finished};
  std::atomic<bool> installed_{true};
  std::atomic<int> slowChecks_{3}, playingAfter_{1}, launches_{0}, runningQueries_{0};
  std::atomic<std::int32_t> automationStatus_{kAutomationGranted};
};

}  // namespace tonvara::testing
