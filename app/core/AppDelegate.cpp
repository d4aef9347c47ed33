#include "AppDelegate.h"

#include <QTimer>

#include "ReopenChannel.h"

namespace tonvara {

AppDelegate::AppDelegate(AppModelDependencies dependencies, QObject* parent)
    : QObject(parent), model_(std::move(dependencies)) {}

void AppDelegate::applicationDidFinishLaunching() { model_.start(); }

bool AppDelegate::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
  model_.showAccessWindow();
  return true;
}

void AppDelegate::attach(ReopenChannel* reopen) {
  QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
  if (reopen != nullptr) {
    connect(reopen, &ReopenChannel::reopenRequested, this,
            [this] { applicationShouldHandleReopen(false); });
  }
}

}  // namespace tonvara
