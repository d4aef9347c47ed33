#include "ThreadName.h"

#import <Foundation/Foundation.h>

#include <string>

namespace tonvara::detail {

// NSThread names the current thread's pthread as well, which debuggers and crash reports show.
void setCurrentThreadName(std::string_view name) {
  @autoreleasepool {
    NSThread.currentThread.name = [NSString stringWithUTF8String:std::string(name).c_str()];
  }
}

}  // namespace tonvara::detail
