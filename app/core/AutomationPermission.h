#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tonvara {

class PlatformServices;

// Makes sure the music application runs, then asks the system for permission to automate it.
namespace AutomationPermission {

inline constexpr int kLaunchWaitChecks = 30;
inline constexpr std::chrono::milliseconds kLaunchWaitInterval{100};

// On the background queue: launches the application without bringing it to the front when
// it is installed but not running, waits for it to appear (at most kLaunchWaitChecks checks
// kLaunchWaitInterval apart), then asks for consent. `completion` runs exactly once, on the
// main thread, whatever happened.
void requestLaunchingMusicIfNeeded(std::shared_ptr<PlatformServices> services, std::string bundleID,
                                   std::function<void()> completion);

}  // namespace AutomationPermission

}  // namespace tonvara
