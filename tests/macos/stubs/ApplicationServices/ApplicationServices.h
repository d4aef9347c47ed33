// Quartz event services (CGEvent.h, CGEventTypes.h) and Accessibility trust (HIServices
// AXUIElement.h), from Apple's docs; both are nullability-audited.
#pragma once
#include <CoreFoundation/CoreFoundation.h>
typedef struct __CGEvent* CGEventRef; typedef struct __CGEventTapProxy* CGEventTapProxy; typedef uint64_t CGEventMask;
typedef enum CGEventTapLocation : uint32_t { kCGHIDEventTap = 0, kCGSessionEventTap } CGEventTapLocation;
typedef enum CGEventTapPlacement : uint32_t { kCGHeadInsertEventTap = 0, kCGTailAppendEventTap } CGEventTapPlacement;
typedef enum CGEventTapOptions : uint32_t { kCGEventTapOptionDefault = 0, kCGEventTapOptionListenOnly } CGEventTapOptions;
typedef enum CGEventType : uint32_t { kCGEventNull = 0, kCGEventTapDisabledByTimeout = 0xFFFFFFFE, kCGEventTapDisabledByUserInput = 0xFFFFFFFF } CGEventType;
extern "C" {
#pragma clang assume_nonnull begin
typedef CGEventRef _Nullable (*CGEventTapCallBack)(CGEventTapProxy proxy, CGEventType type, CGEventRef event, void* _Nullable userInfo);
CF_RETURNS_RETAINED CFMachPortRef _Nullable CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place, CGEventTapOptions options, CGEventMask eventsOfInterest, CGEventTapCallBack callback, void* _Nullable userInfo);
void CGEventTapEnable(CFMachPortRef tap, bool enable);
Boolean AXIsProcessTrusted(void);
Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef _Nullable options);
extern CFStringRef kAXTrustedCheckOptionPrompt;
#pragma clang assume_nonnull end
}
