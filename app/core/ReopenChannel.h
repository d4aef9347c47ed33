#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "MediaKeyEngine/MediaKey.h"

class QLocalServer;

namespace tonvara {

// Opening the program while it already runs reopens the running one instead. The instance
// that holds a lock in the user's private runtime folder is the running one and takes reopen
// requests on a socket beside it; any other hands a request over and exits. The same socket takes
// the media keys a desktop keybinding hands over ("key next"), answering "taken" or "passed".
class ReopenChannel : public QObject {
  Q_OBJECT

 public:
  enum class Claim {
    primary,     // this process is the running instance (or runs alone: no folder, no lock)
    handedOver,  // the running instance took the reopen request
    unanswered,  // another instance holds the lock but did not answer as this user's
  };

  // $XDG_RUNTIME_DIR, or a private per-user folder (mode 0700) when it is not set.
  static QString defaultFolder();

  // Acts on a handed-over key; true when it was taken. Main thread; must not block.
  using KeyHandler = std::function<bool(MediaKey)>;

  // `owner`: the only user whose running instance is trusted.
  explicit ReopenChannel(QString folder, uid_t owner = ::geteuid(), QObject* parent = nullptr);
  ~ReopenChannel() override;

  // Becomes the running instance and starts taking requests, or hands a reopen request to the
  // running one, waiting at most `timeout` for it to answer.
  Claim claim(std::chrono::milliseconds timeout = std::chrono::seconds(2));

  // Where handed-over keys go; by default the engine's desktop-delivered keys, where built.
  void setKeyHandler(KeyHandler handler) { keyHandler_ = std::move(handler); }

 signals:
  void reopenRequested();

 private:
  Claim handOver(std::chrono::milliseconds timeout) const;
  void acceptConnections();

  const QString folder_;
  const uid_t owner_;
  bool handleKey(const QByteArray& name) const;

  int lockFd_ = -1;
  std::unique_ptr<QLocalServer> server_;
  KeyHandler keyHandler_;
};

// How a process that lost the claim ends: 0 when the running one took its reopen, 1 (said on the
// standard error) when it did not answer; nothing for the process that runs.
std::optional<int> exitCodeUnlessFirst(ReopenChannel::Claim claim);

}  // namespace tonvara
