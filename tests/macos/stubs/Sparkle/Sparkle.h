// Sparkle 2 (SPUStandardUpdaterController, SPUUpdater) from its documentation.
#pragma once
#include <Foundation/Foundation.h>
NS_ASSUME_NONNULL_BEGIN
@protocol SPUUpdaterDelegate <NSObject> @end
@protocol SPUStandardUserDriverDelegate <NSObject> @end
@interface SPUUpdater : NSObject @property(nonatomic, readonly) BOOL canCheckForUpdates; @end
@interface SPUStandardUpdaterController : NSObject
- (instancetype)initWithStartingUpdater:(BOOL)startUpdater updaterDelegate:(nullable id<SPUUpdaterDelegate>)updaterDelegate userDriverDelegate:(nullable id<SPUStandardUserDriverDelegate>)userDriverDelegate;
@property(nonatomic, readonly) SPUUpdater* updater;
- (void)checkForUpdates:(nullable id)sender;  // IBAction
@end
NS_ASSUME_NONNULL_END
