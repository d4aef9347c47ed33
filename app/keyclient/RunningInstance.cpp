#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "KeyCommand.h"

namespace tonvara::keyclient {

namespace {

// Where the running instance listens: as the application's own single-instance channel finds it.
std::string socketPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != 0) {
    return std::string(runtime) + "/com.tonvara.app.reopen";
  }
  // Qt's fallback: a per-user folder in the temporary folder.
  const char* temporary = std::getenv("TMPDIR");
  const passwd* user = getpwuid(geteuid());
  return std::string(temporary != nullptr && *temporary != 0 ? temporary : "/tmp") + "/runtime-" +
         (user != nullptr ? user->pw_name : "") + "/com.tonvara.app.reopen";
}

// A hung instance must not keep the key from the desktop's own action for long.
constexpr int kAnswerTimeoutMs = 500;

class Socket {
 public:
  Socket() : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

HandOver handToRunningInstance(std::string_view key) {
  const std::string path = socketPath();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const Socket socket;
  if (socket.fd() < 0 || path.size() >= sizeof address.sun_path) {
    return HandOver::noInstance;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return HandOver::noInstance;
  }
  // Only this user's own instance may have the key.
  ucred peer{};
  socklen_t length = sizeof peer;
  if (getsockopt(socket.fd(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
      peer.uid != geteuid()) {
    return HandOver::noInstance;
  }
  const std::string request = "key " + std::string(key) + "\n";
  if (send(socket.fd(), request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    return HandOver::passed;
  }
  std::string answer;
  char buffer[32];
  pollfd readable{socket.fd(), POLLIN, 0};
  while (answer.find('\n') == std::string::npos && poll(&readable, 1, kAnswerTimeoutMs) > 0) {
    const ssize_t got = recv(socket.fd(), buffer, sizeof buffer, 0);
    if (got <= 0) {
      break;
    }
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  return answer == "taken\n" ? HandOver::taken : HandOver::passed;
}

}  // namespace tonvara::keyclient
