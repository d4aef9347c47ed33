#include "MacApplicationPlatform.h"

#import <AppKit/AppKit.h>
#import <Carbon/Carbon.h>
#import <ScriptingBridge/ScriptingBridge.h>
#include <objc/message.h>

namespace tonvara::mac {

namespace {

// The player's `player state` value while it plays ('kPSP' in its scripting dictionary).
constexpr FourCharCode kPlayerStatePlaying = 0x6B505350;

NSString* toNSString(std::string_view text) {
  return [[NSString alloc] initWithBytes:text.data()
                                  length:text.size()
                                encoding:NSUTF8StringEncoding];
}

class MacRunningApplication final : public RunningApplication {
 public:
  explicit MacRunningApplication(NSRunningApplication* application) : application_(application) {}
  bool isFinishedLaunching() const override { return application_.finishedLaunching; }
  bool isTerminated() const override { return application_.terminated; }

 private:
  NSRunningApplication* application_;
};

class MacScriptableApplication final : public ScriptableApplication {
 public:
  explicit MacScriptableApplication(SBApplication* application) : application_(application) {}
  bool respondsToSelector(std::string_view selector) override {
    return [application_ respondsToSelector:NSSelectorFromString(toNSString(selector))];
  }
  void performSelector(std::string_view selector) override {
    // Commands return nothing worth reading; a typed objc_msgSend avoids ARC's unknown-selector
    // ownership guess.
    const SEL command = NSSelectorFromString(toNSString(selector));
    reinterpret_cast<void (*)(id, SEL)>(objc_msgSend)(application_, command);
  }

 private:
  SBApplication* application_;
};

}  // namespace

ApplicationPlatform::RunningApplications MacApplicationPlatform::runningApplications(
    std::string_view bundleID) {
  @autoreleasepool {
    RunningApplications result;
    for (NSRunningApplication* application in
         [NSRunningApplication runningApplicationsWithBundleIdentifier:toNSString(bundleID)]) {
      result.push_back(std::make_shared<MacRunningApplication>(application));
    }
    return result;
  }
}

std::optional<std::string> MacApplicationPlatform::urlForApplication(std::string_view bundleID) {
  @autoreleasepool {
    NSURL* url =
        [[NSWorkspace sharedWorkspace] URLForApplicationWithBundleIdentifier:toNSString(bundleID)];
    const char* text = url.absoluteString.UTF8String;
    if (text == nullptr) {
      return std::nullopt;
    }
    return std::string(text);
  }
}

void MacApplicationPlatform::openApplication(const std::string& url, bool activates,
                                             OpenCompletion completion) {
  @autoreleasepool {
    NSWorkspaceOpenConfiguration* configuration = [NSWorkspaceOpenConfiguration configuration];
    configuration.activates = activates;
    NSURL* location = [NSURL URLWithString:toNSString(url)];
    if (location == nil) {
      completion(nullptr, "not a location");
      return;
    }
    auto shared = std::make_shared<OpenCompletion>(std::move(completion));
    [[NSWorkspace sharedWorkspace]
        openApplicationAtURL:location
               configuration:configuration
           completionHandler:^(NSRunningApplication* application, NSError* error) {
             if (error != nil || application == nil) {
               const char* reason = error.localizedDescription.UTF8String;
               (*shared)(nullptr, std::string(reason != nullptr ? reason : "no application"));
               return;
             }
             (*shared)(std::make_shared<MacRunningApplication>(application), std::nullopt);
           }];
  }
}

std::unique_ptr<ScriptableApplication> MacApplicationPlatform::scriptableApplication(
    std::string_view bundleID) {
  @autoreleasepool {
    SBApplication* application =
        [SBApplication applicationWithBundleIdentifier:toNSString(bundleID)];
    if (application == nil) {
      return nullptr;
    }
    return std::make_unique<MacScriptableApplication>(application);
  }
}

std::optional<bool> MacApplicationPlatform::isPlayerPlaying(std::string_view bundleID) {
  @autoreleasepool {
    // Through the scripting object, which sends nothing unless the player runs: a script's
    // `tell` would relaunch a player that quit, and NSAppleScript belongs to the main thread.
    SBApplication* application =
        [SBApplication applicationWithBundleIdentifier:toNSString(bundleID)];
    const SEL query = NSSelectorFromString(@"playerState");
    if (application == nil || ![application isRunning] || ![application respondsToSelector:query]) {
      return std::nullopt;
    }
    const auto state =
        reinterpret_cast<FourCharCode (*)(id, SEL)>(objc_msgSend)(application, query);
    return state == kPlayerStatePlaying;
  }
}

std::int32_t MacApplicationPlatform::determinePermissionToAutomate(std::string_view bundleID,
                                                                   bool askUserIfNeeded) {
  @autoreleasepool {
    NSAppleEventDescriptor* target =
        [NSAppleEventDescriptor descriptorWithBundleIdentifier:toNSString(bundleID)];
    const AEDesc* address = target.aeDesc;
    if (address == nullptr) {
      return kAutomationProcessNotFound;
    }
    return AEDeterminePermissionToAutomateTarget(address, typeWildCard, typeWildCard,
                                                 askUserIfNeeded);
  }
}

}  // namespace tonvara::mac
