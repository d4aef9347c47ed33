#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>

#include "MacStrings.h"
#include "MacSystem.h"

namespace tonvara::mac {

void promptForAccessibility() {
  @autoreleasepool {
    // The answer is read later through AXIsProcessTrusted; this call only shows the prompt.
    NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
    AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
  }
}

bool openAddress(const std::string& address) {
  @autoreleasepool {
    NSURL* url = [NSURL URLWithString:toNSString(address)];
    return url != nil && [NSWorkspace.sharedWorkspace openURL:url];
  }
}

void observeDidBecomeActive(std::function<void()> handler) {
  auto shared = std::make_shared<std::function<void()>>(std::move(handler));
  // The center keeps the observation for the life of the process; it is never removed.
  [NSNotificationCenter.defaultCenter addObserverForName:NSApplicationDidBecomeActiveNotification
                                                  object:nil
                                                   queue:NSOperationQueue.mainQueue
                                              usingBlock:^(NSNotification* /*notification*/) {
                                                (*shared)();
                                              }];
}

struct SystemActivity::Token {
  id<NSObject> activity;
};

SystemActivity::SystemActivity(const std::string& reason)
    : token_(std::make_unique<Token>(Token{[NSProcessInfo.processInfo
          beginActivityWithOptions:NSActivityUserInitiatedAllowingIdleSystemSleep
                            reason:toNSString(reason)]})) {}

SystemActivity::~SystemActivity() { [NSProcessInfo.processInfo endActivity:token_->activity]; }

}  // namespace tonvara::mac
