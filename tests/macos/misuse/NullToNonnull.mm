// expect: null passed to a callee that requires a non-null argument
#include <CoreFoundation/CoreFoundation.h>
void drop() { CFRelease(nullptr); }
