#include "Updater.h"

#include <QMetaMethod>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cstdio>

#include "Appcast.h"

namespace tonvara {

Updater::Updater(bool startingUpdater, QUrl feedUrl, QString currentVersion, QObject* parent)
    : QObject(parent), feedUrl_(std::move(feedUrl)), currentVersion_(std::move(currentVersion)) {
  if (startingUpdater) {
    startUpdater();
  }
}

Updater::~Updater() = default;

void Updater::startUpdater() {
  if (started_) {
    return;
  }
  started_ = true;
  setCanCheck(true);
}

void Updater::checkForUpdates() {
  if (!canCheck_) {
    return;
  }
  if (!network_) {
    network_ = std::make_unique<QNetworkAccessManager>();
  }
  QNetworkRequest request(feedUrl_);
  request.setTransferTimeout(static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(kTransferTimeout).count()));
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QStringLiteral("Tonvara/%1").arg(currentVersion_));
  setCanCheck(false);
  QNetworkReply* reply = network_->get(request);
  connect(reply, &QNetworkReply::finished, this, [this, reply] { finishCheck(reply); });
}

void Updater::setCanCheck(bool canCheck) {
  if (canCheck_ == canCheck) {
    return;
  }
  canCheck_ = canCheck;
  emit canCheckForUpdatesChanged(canCheck);
}

void Updater::finishCheck(QNetworkReply* reply) {
  reply->deleteLater();
  const auto result = resultFor(*reply);
  setCanCheck(true);
  if (isSignalConnected(QMetaMethod::fromSignal(&Updater::checkFinished))) {
    emit checkFinished(result);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(result.message));
  }
}

UpdateCheckResult Updater::resultFor(QNetworkReply& reply) const {
  UpdateCheckResult result;
  if (reply.error() != QNetworkReply::NoError) {
    result.message = tr("Couldn't check for updates: %1").arg(reply.errorString());
    return result;
  }
  const auto items = parseAppcast(reply.readAll());
  const auto newest = items ? newestItem(*items) : std::nullopt;
  if (!newest) {
    result.message = tr("Couldn't check for updates: the update feed could not be read.");
    return result;
  }
  result.newestVersion = newest->displayVersion;
  if (compareVersions(newest->version, currentVersion_) > 0) {
    result.kind = UpdateCheckResult::Kind::updateAvailable;
    result.downloadUrl = newest->downloadUrl;
    result.message =
        tr("Tonvara %1 is available; you have %2.").arg(newest->displayVersion, currentVersion_);
  } else {
    result.kind = UpdateCheckResult::Kind::upToDate;
    result.message =
        tr("You're up to date: Tonvara %1 is the newest version.").arg(currentVersion_);
  }
  return result;
}

}  // namespace tonvara
