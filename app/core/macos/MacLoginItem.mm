#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>
#include <os/log.h>

#include "MacSystem.h"

namespace tonvara::mac {

int loginItemStatus() {
  @autoreleasepool {
    return static_cast<int>(SMAppService.mainAppService.status);
  }
}

std::optional<std::string> setLoginItemEnabled(bool enabled) {
  @autoreleasepool {
    SMAppService* service = SMAppService.mainAppService;
    NSError* error = nil;
    const BOOL done = enabled ? [service registerAndReturnError:&error]
                              : [service unregisterAndReturnError:&error];
    if (done) {
      return std::nullopt;
    }
    const char* text = error.localizedDescription.UTF8String;
    const std::string description = text != nullptr ? text : "unknown error";
    os_log_error(OS_LOG_DEFAULT, "LoginItem error: %{public}s", description.c_str());
    return description;
  }
}

}  // namespace tonvara::mac
