#include "SparkleUpdater.h"

#import <Foundation/Foundation.h>
#import <Sparkle/Sparkle.h>
#include <dispatch/dispatch.h>

// Hands each new canCheckForUpdates value to the main thread; the framework may change it on
// any thread. Values still on their way when the owner goes are dropped (both on the main thread).
@interface TonvaraUpdaterObserver : NSObject
- (instancetype)initWithHandler:(std::function<void(bool)>)handler;
- (void)invalidate;
@end

@implementation TonvaraUpdaterObserver {
  std::shared_ptr<std::function<void(bool)>> _handler;
}

- (instancetype)initWithHandler:(std::function<void(bool)>)handler {
  if ((self = [super init])) {
    _handler = std::make_shared<std::function<void(bool)>>(std::move(handler));
  }
  return self;
}

- (void)observeValueForKeyPath:(NSString*)keyPath
                      ofObject:(id)object
                        change:(NSDictionary<NSKeyValueChangeKey, id>*)change
                       context:(void*)context {
  (void)keyPath;
  (void)change;
  (void)context;
  const bool canCheck = static_cast<SPUUpdater*>(object).canCheckForUpdates;
  auto handler = _handler;
  dispatch_async(dispatch_get_main_queue(), ^{
    if (*handler) {
      (*handler)(canCheck);
    }
  });
}

- (void)invalidate {
  *_handler = nullptr;
}

@end

namespace tonvara::mac {

namespace {
NSString* const kCanCheckKeyPath = @"canCheckForUpdates";
}

struct SparkleUpdater::State {
  SPUStandardUpdaterController* controller = nil;
  TonvaraUpdaterObserver* observer = nil;
};

SparkleUpdater::SparkleUpdater(bool configured, std::function<void(bool)> changed)
    : state_(std::make_unique<State>()) {
  if (!configured) {
    return;
  }
  state_->controller = [[SPUStandardUpdaterController alloc] initWithStartingUpdater:YES
                                                                     updaterDelegate:nil
                                                                  userDriverDelegate:nil];
  state_->observer = [[TonvaraUpdaterObserver alloc] initWithHandler:std::move(changed)];
  [state_->controller.updater addObserver:state_->observer
                               forKeyPath:kCanCheckKeyPath
                                  options:NSKeyValueObservingOptionInitial
                                  context:nullptr];
}

SparkleUpdater::~SparkleUpdater() {
  if (state_->controller != nil) {
    [state_->controller.updater removeObserver:state_->observer
                                    forKeyPath:kCanCheckKeyPath
                                       context:nullptr];
    [state_->observer invalidate];
  }
}

bool SparkleUpdater::canCheckForUpdates() const {
  return state_->controller != nil && state_->controller.updater.canCheckForUpdates;
}

void SparkleUpdater::checkForUpdates() {
  if (canCheckForUpdates()) {
    [state_->controller checkForUpdates:nil];
  }
}

}  // namespace tonvara::mac
