#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "MediaKeyEngine/ApplicationPlatform.h"

namespace tonvara::testing {

// How an attempt to open the application turns out.
enum class LaunchOutcome {
  finished,    // the handle reports finished launching at once
  openError,   // the platform reports an error and no handle
  slow,        // the handle finishes after `slowChecks` readiness reads
  terminated,  // the handle terminates, never having finished, after `slowChecks` reads
  neverReady,  // the handle neither finishes nor terminates
};

// A stand-in for the application services: running instances, launching, a scripting object
// that records every command, the player state and the Automation status.
class FakeApplicationPlatform final : public ApplicationPlatform {
 public:
  void setRunning(bool running);
  void setInstalled(bool installed) { installed_ = installed; }
  void setLaunchOutcome(LaunchOutcome outcome, int slowChecks = 3);
  void setScriptable(bool scriptable) { scriptable_ = scriptable; }
  // The player reports playing once this many commands have been sent (negative: never).
  void setPlayingAfterCommands(int commands) { playingAfter_ = commands; }
  void setAutomationStatus(std::int32_t status) { automationStatus_ = status; }

  std::vector<std::string> commands() const;
  int launches() const { return launches_; }
  int runningQueries() const { return runningQueries_; }
  int automationChecks() const;
  std::vector<bool> automationPrompts() const;
  // The bundle identifier the last call named.
  std::string lastBundleID() const;

  RunningApplications runningApplications(std::string_view bundleID) override;
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  void openApplication(const std::string& url, bool activates, OpenCompletion completion) override;
  std::unique_ptr<ScriptableApplication> scriptableApplication(std::string_view bundleID) override;
  std::optional<bool> isPlayerPlaying(std::string_view bundleID) override;
  std::int32_t determinePermissionToAutomate(std::string_view bundleID,
                                             bool askUserIfNeeded) override;

 private:
  class Instance;
  class Scriptable;
  void record(std::string_view bundleID);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<RunningApplication>> running_;
  std::vector<std::string> commands_;
  std::vector<bool> prompts_;
  std::string lastBundleID_;
  LaunchOutcome outcome_ = LaunchOutcome::finished;
  int slowChecks_ = 3;
  std::atomic<bool> installed_{true}, scriptable_{true};
  std::atomic<int> playingAfter_{1}, launches_{0}, runningQueries_{0};
  std::atomic<std::int32_t> automationStatus_{kAutomationGranted};
};

}  // namespace tonvara::testing
