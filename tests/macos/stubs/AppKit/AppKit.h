// AppKit (NSEvent, NSRunningApplication, NSWorkspace, NSApplication) from Apple's docs.
#pragma once
#include <ApplicationServices/ApplicationServices.h>
#include <Foundation/Foundation.h>
NS_ASSUME_NONNULL_BEGIN
typedef NS_ENUM(short, NSEventSubtype) { NSEventSubtypeWindowExposed = 0 };
@interface NSEvent : NSObject
+ (nullable NSEvent*)eventWithCGEvent:(CGEventRef)cgEvent;
@property(readonly) NSEventSubtype subtype; @property(readonly) NSInteger data1;
@end
@interface NSRunningApplication : NSObject
@property(readonly, getter=isTerminated) BOOL terminated;
@property(readonly, getter=isFinishedLaunching) BOOL finishedLaunching;
+ (NSArray<NSRunningApplication*>*)runningApplicationsWithBundleIdentifier:(NSString*)bundleIdentifier;
@end
@interface NSWorkspaceOpenConfiguration : NSObject <NSCopying>
+ (instancetype)configuration; @property BOOL activates;
@end
@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
- (BOOL)openURL:(NSURL*)url;
- (nullable NSURL*)URLForApplicationWithBundleIdentifier:(NSString*)bundleIdentifier;
- (void)openApplicationAtURL:(NSURL*)applicationURL configuration:(NSWorkspaceOpenConfiguration*)configuration completionHandler:(void (^_Nullable)(NSRunningApplication* _Nullable app, NSError* _Nullable error))completionHandler;
@property(readonly) BOOL accessibilityDisplayShouldReduceMotion;
@end
extern "C" NSNotificationName const NSApplicationDidBecomeActiveNotification;
NS_ASSUME_NONNULL_END
