// The updater on macOS: the update framework (loaded from the bundle) checks the feed, verifies
// the signature and installs; the model only follows whether a check can start now.
#include <QNetworkAccessManager>

#include "SparkleUpdater.h"
#include "Updater.h"

namespace tonvara {

Updater::Updater(bool startingUpdater, QUrl feedUrl, QString currentVersion, QObject* parent)
    : QObject(parent),
      feedUrl_(std::move(feedUrl)),
      currentVersion_(std::move(currentVersion)),
      sparkle_(std::make_shared<mac::SparkleUpdater>(
          startingUpdater, [this](bool canCheck) { setCanCheck(canCheck); })),
      started_(startingUpdater),
      canCheck_(sparkle_->canCheckForUpdates()) {}

Updater::~Updater() = default;

// The framework's controller starts itself when the feed and key are configured.
void Updater::startUpdater() {}

void Updater::checkForUpdates() {
  if (canCheck_) {
    sparkle_->checkForUpdates();
  }
}

void Updater::setCanCheck(bool canCheck) {
  if (canCheck_ == canCheck) {
    return;
  }
  canCheck_ = canCheck;
  emit canCheckForUpdatesChanged(canCheck);
}

}  // namespace tonvara
