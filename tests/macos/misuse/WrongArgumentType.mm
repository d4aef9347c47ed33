// expect: cannot convert argument of incomplete type 'CFMachPortRef'
#include <CoreFoundation/CoreFoundation.h>
void add(CFMachPortRef port) { CFRunLoopAddSource(CFRunLoopGetCurrent(), port, kCFRunLoopCommonModes); }
