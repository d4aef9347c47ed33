// expect: casts away qualifiers
#include <CoreFoundation/CoreFoundation.h>
CFRunLoopRef keep(CFRunLoopRef loop) { return static_cast<CFRunLoopRef>(CFRetain(loop)); }
