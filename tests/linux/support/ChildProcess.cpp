#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;  // NOLINT

namespace tonvara::testing {

namespace {

std::vector<std::string> childEnvironment(const ChildProcess::Options& options) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const auto equals = text.find('=');
    if (equals != std::string::npos) {
      merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
  }
  for (const auto& name : options.unset) {
    merged.erase(name);
  }
  for (const auto& [name, value] : options.environment) {
    merged[name] = value;
  }
  std::vector<std::string> result;
  result.reserve(merged.size());
  for (const auto& [name, value] : merged) {
    result.push_back(name + "=" + value);
  }
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (auto& s : strings) {
    result.push_back(s.data());
  }
  result.push_back(nullptr);
  return result;
}

}  // namespace

ChildProcess::ChildProcess(Options options) {
  if (options.argv.empty()) {
    throw std::invalid_argument("ChildProcess needs a program");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (options.captureStdout) {
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  }
  if (!options.stderrPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so a stray terminal signal to the test does not reach it twice.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);

  auto argv = options.argv;
  auto env = childEnvironment(options);
  auto argvPointers = pointers(argv);
  auto envPointers = pointers(env);
  const int result = posix_spawnp(&pid_, argv.front().c_str(), &actions, &attributes,
                                  argvPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (options.captureStdout) {
    close(pipeFds[1]);
    stdoutFd_ = pipeFds[0];
  }
  if (result != 0) {
    pid_ = -1;
    if (stdoutFd_ >= 0) {
      close(stdoutFd_);
    }
    throw std::runtime_error("cannot start " + argv.front() + ": " + std::strerror(result));
  }
}

ChildProcess::~ChildProcess() {
  stop(std::chrono::milliseconds(1000));
  if (stdoutFd_ >= 0) {
    close(stdoutFd_);
  }
}

bool ChildProcess::isRunning() {
  if (pid_ <= 0 || status_) {
    return false;
  }
  int status = 0;
  const pid_t reaped = waitpid(pid_, &status, WNOHANG);
  if (reaped == pid_) {
    status_ = status;
    return false;
  }
  return reaped == 0;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto newline = buffered_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffered_.substr(0, newline);
      buffered_.erase(0, newline + 1);
      return line;
    }
    if (stdoutFd_ < 0) {
      return std::nullopt;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return std::nullopt;
    }
    pollfd fd{stdoutFd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
      continue;
    }
    char chunk[512];
    const ssize_t n = read(stdoutFd_, chunk, sizeof chunk);
    if (n <= 0) {
      close(stdoutFd_);
      stdoutFd_ = -1;
      continue;
    }
    buffered_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::optional<int> ChildProcess::stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0) {
    return std::nullopt;
  }
  if (isRunning()) {
    ::kill(pid_, SIGTERM);
    const bool ended = waitFor([this] { return !isRunning(); }, grace);
    if (!ended) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      if (waitpid(pid_, &status, 0) == pid_) {
        status_ = status;
      }
    }
  }
  pid_ = -1;
  return status_;
}

void ChildProcess::kill() {
  if (pid_ > 0 && isRunning()) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) {
      status_ = status;
    }
  }
}

bool hasProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) {
    return false;
  }
  std::string all(path);
  std::size_t start = 0;
  while (start <= all.size()) {
    const auto end = all.find(':', start);
    const auto dir = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) {
      return true;
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace tonvara::testing
