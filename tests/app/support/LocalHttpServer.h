#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QUrl>

namespace tonvara::testing {

// A one-document HTTP server on the loopback interface, answering every request the same way.
class LocalHttpServer : public QObject {
  Q_OBJECT

 public:
  LocalHttpServer();

  void serve(QByteArray body, int status = 200);
  QUrl url(const QString& path) const;
  int requests() const { return requests_; }

  // An address on the loopback interface where nothing listens.
  static QUrl unreachableUrl();

 private:
  void answer();

  QTcpServer server_;
  QByteArray body_;
  int status_ = 200;
  int requests_ = 0;
};

}  // namespace tonvara::testing
