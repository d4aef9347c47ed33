// CoreFoundation (CFBase, CFRunLoop, CFMachPort, CFNumber) from Apple's docs; none of these
// calls is nullability-audited (Swift sees implicitly unwrapped optionals).
#pragma once
#include <stdint.h>
#define CF_RETURNS_RETAINED __attribute__((cf_returns_retained))
typedef unsigned char Boolean; typedef int32_t SInt32; typedef uint32_t UInt32;
typedef UInt32 FourCharCode; typedef SInt32 OSStatus; typedef long CFIndex;
typedef unsigned long CFTypeID; typedef double CFTimeInterval; typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef; typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFDictionary* CFDictionaryRef; typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef; typedef struct __CFMachPort* CFMachPortRef;
typedef CFStringRef CFRunLoopMode;
typedef enum CFRunLoopRunResult : SInt32 { kCFRunLoopRunFinished = 1, kCFRunLoopRunStopped, kCFRunLoopRunTimedOut, kCFRunLoopRunHandledSource } CFRunLoopRunResult;
extern "C" {
extern const CFAllocatorRef kCFAllocatorDefault;
CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);
CFTypeID CFBooleanGetTypeID(void);
extern const CFRunLoopMode kCFRunLoopDefaultMode, kCFRunLoopCommonModes;
CFRunLoopRef CFRunLoopGetCurrent(void);
void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled);
void CFRunLoopStop(CFRunLoopRef rl);
CF_RETURNS_RETAINED CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef allocator, CFMachPortRef port, CFIndex order);
}
