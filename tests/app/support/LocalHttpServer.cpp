#include "LocalHttpServer.h"

#include <QTcpSocket>

namespace tonvara::testing {

LocalHttpServer::LocalHttpServer() {
  server_.listen(QHostAddress::LocalHost);
  connect(&server_, &QTcpServer::newConnection, this, &LocalHttpServer::answer);
}

void LocalHttpServer::serve(QByteArray body, int status) {
  body_ = std::move(body);
  status_ = status;
}

QUrl LocalHttpServer::url(const QString& path) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

QUrl LocalHttpServer::unreachableUrl() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const auto port = probe.serverPort();
  probe.close();
  return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port));
}

void LocalHttpServer::answer() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
      const QByteArray request = socket->peek(socket->bytesAvailable());
      if (!request.contains("\r\n\r\n")) {
        return;
      }
      socket->readAll();
      ++requests_;
      const QByteArray reason = status_ == 200 ? "OK" : "Error";
      socket->write("HTTP/1.1 " + QByteArray::number(status_) + " " + reason +
                    "\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                    QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_);
      socket->disconnectFromHost();
    });
  }
}

}  // namespace tonvara::testing
