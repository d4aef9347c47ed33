#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
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
  terminated,  // the handle terminates after `slowChecks` readiness reads
  neverReady,  // the handle neither finishes nor terminates
};

// A scriptable stand-in for the application services: running instances, launching, the
// scripting object (which records every command), the player state and the Automation status.
class FakeApplicationPlatform final : public ApplicationPlatform {
 public:
  void setRunning(bool running);
  void setInstalled(bool installed);
  void setLaunchOutcome(LaunchOutcome outcome, int slowChecks = 3);
  // Whether a scripting object can be made at all, and whether it answers to commands.
  void setScriptable(bool scriptable);
  void setRespondsToCommands(bool responds);
  // The player reports playing once this many commands have been sent (negative: never).
  void setPlayingAfterCommands(int commands);
  void setAutomationStatus(std::int32_t status);
  // Runs inside each player-state query, e.g. to read a virtual clock.
  void setOnPlayerStateQuery(std::function<void()> hook);

  std::vector<std::string> commands() const;
  int launches() const;
  int runningQueries() const;
  int playerStateQueries() const;
  int automationChecks() const;
  std::vector<bool> automationPrompts() const;

  RunningApplications runningApplications(std::string_view bundleID) override;
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  void openApplication(const std::string& url, bool activates, OpenCompletion completion) override;
  std::unique_ptr<ScriptableApplication> scriptableApplication(std::string_view bundleID) override;
  std::optional<bool> isPlayerPlaying(std::string_view bundleID) override;
  std::int32_t determinePermissionToAutomate(std::string_view bundleID,
                                             bool askUserIfNeeded) override;

  // The bundle identifier every call named; empty until the first call.
  std::string lastBundleID() const;

 private:
  class Instance;
  class Scriptable;
  void record(std::string_view bundleID);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<RunningApplication>> running_;
  bool installed_ = true;
  LaunchOutcome outcome_ = LaunchOutcome::finished;
  int slowChecks_ = 3;
  bool scriptable_ = true;
  bool responds_ = true;
  int playingAfter_ = 1;
  std::int32_t automationStatus_ = kAutomationGranted;
  std::function<void()> onPlayerStateQuery_;
  std::vector<std::string> commands_;
  int launches_ = 0;
  int playerStateQueries_ = 0;
  int automationChecks_ = 0;
  std::vector<bool> prompts_;
  std::string lastBundleID_;
  std::atomic<int> runningQueries_{0};
};

}  // namespace tonvara::testing
