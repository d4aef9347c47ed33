// The Scripting Bridge (SBApplication.h) from Apple's docs.
#pragma once
#include <Foundation/Foundation.h>
NS_ASSUME_NONNULL_BEGIN
@interface SBObject : NSObject @end
@interface SBApplication : SBObject
+ (nullable instancetype)applicationWithBundleIdentifier:(NSString*)ident;
@property(readonly, getter=isRunning) BOOL running;
@end
NS_ASSUME_NONNULL_END
