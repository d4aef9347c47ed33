#include "SystemMotion.h"

#import <AppKit/AppKit.h>

namespace tonvara::ui::mac {

bool systemPrefersReducedMotion() {
  @autoreleasepool {
    return NSWorkspace.sharedWorkspace.accessibilityDisplayShouldReduceMotion;
  }
}

}  // namespace tonvara::ui::mac
