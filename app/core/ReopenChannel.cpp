#include "ReopenChannel.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace tonvara {

namespace {

constexpr char kReopenMessage[] = "reopen\n";

int toMilliseconds(std::chrono::milliseconds duration) {
  return static_cast<int>(duration.count());
}

}  // namespace

QString ReopenChannel::defaultName() {
  return QStringLiteral("com.tonvara.app-%1").arg(::getuid());
}

bool ReopenChannel::askRunningInstanceToReopen(const QString& name,
                                               std::chrono::milliseconds timeout) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(toMilliseconds(timeout))) {
    return false;
  }
  socket.write(kReopenMessage);
  const bool sent = socket.waitForBytesWritten(toMilliseconds(timeout));
  socket.disconnectFromServer();
  return sent;
}

ReopenChannel::ReopenChannel(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

ReopenChannel::~ReopenChannel() = default;

bool ReopenChannel::listen() {
  if (server_) {
    return server_->isListening();
  }
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_.get(), &QLocalServer::newConnection, this, &ReopenChannel::acceptConnections);
  if (server_->listen(name_)) {
    return true;
  }
  // Nobody answered on the name (the caller asked first), so the socket left behind is stale.
  QLocalServer::removeServer(name_);
  return server_->listen(name_);
}

void ReopenChannel::acceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        if (socket->readLine() == kReopenMessage) {
          emit reopenRequested();
        }
      }
    });
  }
}

}  // namespace tonvara
