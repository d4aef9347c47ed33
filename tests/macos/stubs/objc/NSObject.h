// The root class and base types (objc/NSObject.h, NSObjCRuntime.h), written from Apple's docs.
#pragma once
#include <stdint.h>
typedef long NSInteger; typedef unsigned long NSUInteger;
typedef signed char BOOL;  // x86_64; arm64 uses bool
#define YES __objc_yes
#define NO __objc_no
#define nil nullptr
#define NS_ENUM(T, N) enum N : T
#define NS_OPTIONS(T, N) enum N : T
#define NS_RETURNS_INNER_POINTER __attribute__((objc_returns_inner_pointer))
#define NS_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define NS_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
NS_ASSUME_NONNULL_BEGIN
@protocol NSObject
- (BOOL)isKindOfClass:(Class)aClass;
- (BOOL)respondsToSelector:(SEL)aSelector;
@end
__attribute__((objc_root_class)) @interface NSObject <NSObject>
+ (instancetype)alloc; - (instancetype)init; + (Class)class;
@end
NS_ASSUME_NONNULL_END
