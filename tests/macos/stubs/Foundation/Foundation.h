// Foundation from Apple's docs: only the classes, methods and constants Tonvara uses.
#pragma once
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <dispatch/dispatch.h>
#include <objc/NSObject.h>
NS_ASSUME_NONNULL_BEGIN
@class NSString;
typedef NSUInteger NSStringEncoding; enum : NSStringEncoding { NSUTF8StringEncoding = 4 };
typedef NSString* NSNotificationName; typedef NSString* NSKeyValueChangeKey;
typedef struct { unsigned long state; id __unsafe_unretained _Nullable* _Nullable itemsPtr; unsigned long* _Nullable mutationsPtr; unsigned long extra[5]; } NSFastEnumerationState;
@protocol NSCopying @end
@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState*)state objects:(id __unsafe_unretained _Nullable[_Nonnull])buffer count:(NSUInteger)len;
@end
@interface NSString : NSObject <NSCopying>
- (nullable instancetype)initWithBytes:(const void*)bytes length:(NSUInteger)len encoding:(NSStringEncoding)encoding;
+ (nullable instancetype)stringWithUTF8String:(const char*)nullTerminatedCString;
@property(nullable, readonly) const char* UTF8String NS_RETURNS_INNER_POINTER;
@end
@interface NSValue : NSObject <NSCopying> @end
@interface NSNumber : NSValue
+ (NSNumber*)numberWithBool:(BOOL)value;
@property(readonly) BOOL boolValue; @property(readonly) double doubleValue;
@end
@interface NSArray<__covariant ObjectType> : NSObject <NSCopying, NSFastEnumeration> @end
@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject <NSCopying, NSFastEnumeration>
+ (instancetype)dictionaryWithObjects:(const ObjectType _Nonnull[_Nullable])objects forKeys:(const KeyType<NSCopying> _Nonnull[_Nullable])keys count:(NSUInteger)cnt;
@end
@interface NSURL : NSObject <NSCopying>
+ (nullable instancetype)URLWithString:(NSString*)URLString;
@property(nullable, readonly, copy) NSString* absoluteString;
@end
@interface NSError : NSObject @property(readonly, copy) NSString* localizedDescription; @end
@interface NSThread : NSObject
@property(class, readonly, strong) NSThread* currentThread; @property(nullable, copy) NSString* name;
@end
@interface NSUserDefaults : NSObject
@property(class, readonly, strong) NSUserDefaults* standardUserDefaults;
- (nullable id)objectForKey:(NSString*)defaultName;
- (void)setObject:(nullable id)value forKey:(NSString*)defaultName;
- (void)removeObjectForKey:(NSString*)defaultName;
- (void)setBool:(BOOL)value forKey:(NSString*)defaultName;
- (void)setDouble:(double)value forKey:(NSString*)defaultName;
@end
@interface NSBundle : NSObject
@property(class, readonly, strong) NSBundle* mainBundle;
- (nullable id)objectForInfoDictionaryKey:(NSString*)key;
@end
typedef NS_OPTIONS(uint64_t, NSActivityOptions) { NSActivityIdleSystemSleepDisabled = (1ULL << 20), NSActivityUserInitiated = (0x00FFFFFFULL | NSActivityIdleSystemSleepDisabled), NSActivityUserInitiatedAllowingIdleSystemSleep = (NSActivityUserInitiated & ~NSActivityIdleSystemSleepDisabled) };
@interface NSProcessInfo : NSObject
@property(class, readonly, strong) NSProcessInfo* processInfo;
- (id<NSObject>)beginActivityWithOptions:(NSActivityOptions)options reason:(NSString*)reason;
- (void)endActivity:(id<NSObject>)activity;
@end
@interface NSNotification : NSObject @end
@interface NSOperationQueue : NSObject @property(class, readonly, strong) NSOperationQueue* mainQueue; @end
@interface NSNotificationCenter : NSObject
@property(class, readonly, strong) NSNotificationCenter* defaultCenter;
- (id<NSObject>)addObserverForName:(nullable NSNotificationName)name object:(nullable id)obj queue:(nullable NSOperationQueue*)queue usingBlock:(void (^)(NSNotification* notification))block;
@end
typedef NS_OPTIONS(NSUInteger, NSKeyValueObservingOptions) { NSKeyValueObservingOptionNew = 1, NSKeyValueObservingOptionOld = 2, NSKeyValueObservingOptionInitial = 4, NSKeyValueObservingOptionPrior = 8 };
@interface NSObject (NSKeyValueObserving)
- (void)observeValueForKeyPath:(nullable NSString*)keyPath ofObject:(nullable id)object change:(nullable NSDictionary<NSKeyValueChangeKey, id>*)change context:(nullable void*)context;
- (void)addObserver:(NSObject*)observer forKeyPath:(NSString*)keyPath options:(NSKeyValueObservingOptions)options context:(nullable void*)context;
- (void)removeObserver:(NSObject*)observer forKeyPath:(NSString*)keyPath context:(nullable void*)context;
@end
@interface NSAppleEventDescriptor : NSObject <NSCopying>
+ (instancetype)descriptorWithBundleIdentifier:(NSString*)bundleIdentifier;
@property(nullable, readonly) const AEDesc* aeDesc NS_RETURNS_INNER_POINTER;
@end
extern "C" SEL NSSelectorFromString(NSString* aSelectorName);
NS_ASSUME_NONNULL_END
