#pragma once

#include "MediaKeyEngine/ApplicationPlatform.h"

namespace tonvara::mac {

// NSRunningApplication, NSWorkspace, the scripting bridge and Apple Event
// permissions, one to one.
class MacApplicationPlatform final : public ApplicationPlatform {
 public:
  RunningApplications runningApplications(std::string_view bundleID) override;
  std::optional<std::string> urlForApplication(std::string_view bundleID) override;
  void openApplication(const std::string& url, bool activates, OpenCompletion completion) override;
  std::unique_ptr<ScriptableApplication> scriptableApplication(std::string_view bundleID) override;
  std::optional<bool> isPlayerPlaying(std::string_view bundleID) override;
  std::int32_t determinePermissionToAutomate(std::string_view bundleID,
                                             bool askUserIfNeeded) override;
};

}  // namespace tonvara::mac
