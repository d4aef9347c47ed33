#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QLocalServer;

namespace tonvara {

// Opening the program while it already runs reopens the running one instead: the new process
// hands a reopen request over a local socket and exits.
class ReopenChannel : public QObject {
  Q_OBJECT

 public:
  // Per user, so that two people's sessions never meet.
  static QString defaultName();

  // True when a running instance took the request.
  static bool askRunningInstanceToReopen(
      const QString& name, std::chrono::milliseconds timeout = std::chrono::milliseconds(500));

  explicit ReopenChannel(QString name, QObject* parent = nullptr);
  ~ReopenChannel() override;

  // Starts taking requests; false when the socket cannot be made.
  bool listen();

 signals:
  void reopenRequested();

 private:
  void acceptConnections();

  const QString name_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace tonvara
