#include "ReopenChannel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

// Linux builds deliver handed-over keys to the engine's desktop tap; elsewhere nothing does.
#if __has_include("MediaKeyEngineDesktop/DeliveredKeys.h")
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#define TONVARA_HAS_DELIVERED_KEYS 1
#endif

namespace tonvara {

namespace {

constexpr char kReopenMessage[] = "reopen\n";
constexpr char kKeyPrefix[] = "key ";

// A key as desktop keybindings name it. Stop has no action here: the caller does the desktop's.
std::optional<MediaKey> keyNamed(const QByteArray& name) {
  if (name == "play" || name == "pause") {
    return MediaKey::playPause;
  }
  if (name == "next" || name == "forward") {
    return MediaKey::next;
  }
  if (name == "previous" || name == "rewind") {
    return MediaKey::previous;
  }
  return std::nullopt;
}

ReopenChannel::KeyHandler defaultKeyHandler() {
#ifdef TONVARA_HAS_DELIVERED_KEYS
  return [](MediaKey key) { return linux_desktop::deliverKey(key); };
#else
  return {};
#endif
}

QString lockPath(const QString& folder) { return folder + QStringLiteral("/com.tonvara.app.lock"); }
QString socketPath(const QString& folder) {
  return folder + QStringLiteral("/com.tonvara.app.reopen");
}

std::optional<uid_t> peerUid(qintptr descriptor) {
#ifdef SO_PEERCRED
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) !=
      0) {
    return std::nullopt;
  }
  return credentials.uid;
#else
  // The BSDs and macOS ask the socket through getpeereid instead.
  uid_t uid = 0;
  gid_t group = 0;
  if (::getpeereid(static_cast<int>(descriptor), &uid, &group) != 0) {
    return std::nullopt;
  }
  return uid;
#endif
}

int remainingMs(const QDeadlineTimer& deadline) {
  return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0));
}

}  // namespace

std::optional<int> exitCodeUnlessFirst(ReopenChannel::Claim claim) {
  switch (claim) {
    case ReopenChannel::Claim::primary:
      return std::nullopt;
    case ReopenChannel::Claim::handedOver:
      return 0;
    case ReopenChannel::Claim::unanswered:
      break;
  }
  std::fprintf(stderr, "tonvara: another Tonvara is running but does not answer\n");
  return 1;
}

QString ReopenChannel::defaultFolder() {
  // Qt makes the fallback folder with mode 0700 and refuses one owned by someone else.
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

ReopenChannel::ReopenChannel(QString folder, uid_t owner, QObject* parent)
    : QObject(parent),
      folder_(std::move(folder)),
      owner_(owner),
      keyHandler_(defaultKeyHandler()) {}

ReopenChannel::~ReopenChannel() {
  server_.reset();  // removes the socket while the lock is still held
  if (lockFd_ >= 0) {
    ::close(lockFd_);
  }
}

ReopenChannel::Claim ReopenChannel::claim(std::chrono::milliseconds timeout) {
  if (lockFd_ >= 0) {
    return Claim::primary;
  }
  const int fd = folder_.isEmpty() ? -1
                                   : ::open(QFile::encodeName(lockPath(folder_)).constData(),
                                            O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::fprintf(stderr, "tonvara: no private runtime folder; a second Tonvara may start\n");
    return Claim::primary;
  }
  // flock, not a lock file's contents: the kernel drops it with the process, so nothing is
  // ever stale, and exactly one of two racing instances gets it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      return handOver(timeout);
    }
    std::fprintf(stderr, "tonvara: could not lock %s; a second Tonvara may start\n",
                 qPrintable(lockPath(folder_)));
    return Claim::primary;
  }
  lockFd_ = fd;

  // With the lock held, a socket here can only be left over from an instance that ended.
  QLocalServer::removeServer(socketPath(folder_));
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_.get(), &QLocalServer::newConnection, this, &ReopenChannel::acceptConnections);
  if (!server_->listen(socketPath(folder_))) {
    std::fprintf(stderr, "tonvara: reopen requests cannot reach this instance: %s\n",
                 qPrintable(server_->errorString()));
  }
  return Claim::primary;
}

ReopenChannel::Claim ReopenChannel::handOver(std::chrono::milliseconds timeout) const {
  const QDeadlineTimer deadline(timeout);
  // The running instance may have taken the lock a moment before it listens.
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(socketPath(folder_));
    if (socket.waitForConnected(remainingMs(deadline))) {
      if (peerUid(socket.socketDescriptor()) != owner_) {
        return Claim::unanswered;
      }
      socket.write(kReopenMessage);
      const bool sent = socket.waitForBytesWritten(remainingMs(deadline));
      socket.disconnectFromServer();
      return sent ? Claim::handedOver : Claim::unanswered;
    }
    if (deadline.hasExpired()) {
      return Claim::unanswered;
    }
    QThread::msleep(20);
  }
}

void ReopenChannel::acceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (peerUid(socket->socketDescriptor()) != owner_) {
      socket->abort();
      continue;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        const QByteArray line = socket->readLine();
        if (line == kReopenMessage) {
          emit reopenRequested();
        } else if (line.startsWith(kKeyPrefix) && line.endsWith('\n')) {
          const bool taken = handleKey(line.mid(4).chopped(1));
          socket->write(taken ? "taken\n" : "passed\n");
        }
      }
    });
  }
}

bool ReopenChannel::handleKey(const QByteArray& name) const {
  const auto key = keyNamed(name);
  return key && keyHandler_ && keyHandler_(*key);
}

}  // namespace tonvara
