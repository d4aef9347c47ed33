#include "ThreadName.h"

#import <Foundation/Foundation.h>

namespace tonvara::detail {

// NSThread names the current thread's pthread as well, which debuggers and Instruments show.
void setCurrentThreadName(std::string_view name) {
  @autoreleasepool {
    NSThread.currentThread.name = [[NSString alloc] initWithBytes:name.data()
                                                           length:name.size()
                                                         encoding:NSUTF8StringEncoding];
  }
}

}  // namespace tonvara::detail
