#include "AutomationPermission.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "PlatformServices.h"

namespace tonvara::AutomationPermission {

namespace {

struct Request {
  std::shared_ptr<PlatformServices> services;
  std::string bundleID;
  std::function<void()> completion;
};

void callOnMainThread(std::function<void()> completion) {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) {
    completion();
    return;
  }
  QMetaObject::invokeMethod(application, std::move(completion), Qt::QueuedConnection);
}

// May block while the system shows its consent dialog, hence never on the main thread.
void ask(std::shared_ptr<const Request> request) {
  request->services->backgroundQueue()->async([request] {
    request->services->requestPermissionToAutomate(request->bundleID);
    callOnMainThread(request->completion);
  });
}

void waitForLaunch(std::shared_ptr<const Request> request, int check) {
  if (request->services->isApplicationRunning(request->bundleID)) {
    ask(request);
    return;
  }
  const int next = check + 1;
  request->services->backgroundQueue()->asyncAfter(kLaunchWaitInterval, [request, next] {
    if (next < kLaunchWaitChecks) {
      waitForLaunch(request, next);
    } else {
      ask(request);
    }
  });
}

}  // namespace

void requestLaunchingMusicIfNeeded(std::shared_ptr<PlatformServices> services, std::string bundleID,
                                   std::function<void()> completion) {
  auto request = std::make_shared<const Request>(
      Request{std::move(services), std::move(bundleID), std::move(completion)});
  // Finding and starting the player reads files and starts a process: not on the caller's thread.
  request->services->backgroundQueue()->async([request] {
    if (request->services->isApplicationRunning(request->bundleID)) {
      ask(request);
      return;
    }
    const auto url = request->services->urlForApplication(request->bundleID);
    if (!url) {
      ask(request);
      return;
    }
    request->services->openApplicationInBackground(*url, [request] {
      request->services->backgroundQueue()->async([request] { waitForLaunch(request, 0); });
    });
  });
}

}  // namespace tonvara::AutomationPermission
