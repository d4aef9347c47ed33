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

// Launches the application in the background when it is installed but not running, waits on
// the background queue for it to appear (at most kLaunchWaitChecks checks kLaunchWaitInterval
// apart), then asks for consent there. `completion` runs exactly once, on the main thread,
// whatever happened.
void requestLaunchingMusicIfNeeded(std::shared_ptr<PlatformServices> services, std::string bundleID,
                                   std::function<void()> completion);

}  // namespace AutomationPermission

}  // namespace tonvara
