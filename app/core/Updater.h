#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace tonvara {

namespace mac {
class SparkleUpdater;
}

// The outcome of one user-started update check.
struct UpdateCheckResult {
  enum class Kind { updateAvailable, upToDate, failed };
  Kind kind = Kind::failed;
  QString newestVersion;  // display version of the newest item, when the feed was read
  QUrl downloadUrl;       // where the newest release can be fetched, when one is newer
  QString message;        // one sentence for the user
};

// Checks the update feed on request. Lives on the main thread; its network replies arrive there.
class Updater : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

 public:
  static constexpr std::chrono::seconds kTransferTimeout{30};

  // Starts at once when `startingUpdater`; an unstarted updater never checks.
  Updater(bool startingUpdater, QUrl feedUrl, QString currentVersion, QObject* parent = nullptr);
  ~Updater() override;

  bool isStarted() const { return started_; }
  // True while started and no check is running.
  bool canCheckForUpdates() const { return canCheck_; }

  void startUpdater();
  // Fetches the feed and reports through checkFinished(); does nothing while checks are not
  // possible.
  void checkForUpdates();

 signals:
  void canCheckForUpdatesChanged(bool canCheck);
  // Carries the result for the user. With nobody listening it goes to the standard error.
  void checkFinished(const tonvara::UpdateCheckResult& result);

 private:
  void setCanCheck(bool canCheck);
  void finishCheck(QNetworkReply* reply);
  UpdateCheckResult resultFor(QNetworkReply& reply) const;

  const QUrl feedUrl_;
  const QString currentVersion_;
  std::unique_ptr<QNetworkAccessManager> network_;  // made on the first check
  // macOS: the update framework checks, shows and installs; this only follows its state.
  std::shared_ptr<mac::SparkleUpdater> sparkle_;
  bool started_ = false;
  bool canCheck_ = false;
};

}  // namespace tonvara
