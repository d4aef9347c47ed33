#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tonvara::testing {

// Waits, polling every few milliseconds, until `condition` holds or `timeout` passes.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A helper program started for a test and always stopped by its process id: on stop(), on
// destruction, and so also when a test fails part-way.
class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> argv{};
    std::map<std::string, std::string> environment{};  // added; an empty value removes one
    std::string stdoutPath{};                          // empty: the test's own, as stderr
    std::string stderrPath{};
  };

  explicit ChildProcess(const Options& options) {
    std::vector<std::string> argv{"env"};
    for (const auto& [name, value] : options.environment) {
      // env takes its options before any assignment.
      argv.insert(value.empty() ? argv.begin() + 1 : argv.end(),
                  value.empty() ? "-u" + name : name + "=" + value);
    }
    argv.insert(argv.end(), options.argv.begin(), options.argv.end());
    std::vector<char*> pointers(argv.size() + 1);
    std::ranges::transform(argv, pointers.begin(), [](std::string& item) { return item.data(); });
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const auto& [fd, path] : {std::pair{STDOUT_FILENO, options.stdoutPath},
                                   std::pair{STDERR_FILENO, options.stderrPath}}) {
      if (!path.empty()) {
        posix_spawn_file_actions_addopen(&actions, fd, path.c_str(), O_WRONLY | O_CREAT, 0644);
      }
    }
    // Its own process group, so a terminal signal to the test does not reach it twice.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    const int result = posix_spawnp(&pid_, "env", &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
      throw std::runtime_error("cannot start " + options.argv.front());
    }
  }
  ~ChildProcess() { stop(std::chrono::milliseconds(1000)); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool isRunning() {
    int status = 0;
    const pid_t reaped = pid_ > 0 && !status_ ? waitpid(pid_, &status, WNOHANG) : -1;
    status_ = reaped == pid_ ? std::optional(status) : status_;
    return reaped == 0;
  }
  // SIGTERM, then SIGKILL after `grace`; reaps the child. Returns its wait status, if any.
  std::optional<int> stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000)) {
    if (isRunning()) {
      ::kill(pid_, SIGCONT);  // a stopped child cannot act on SIGTERM
      ::kill(pid_, SIGTERM);
      if (!waitFor([this] { return !isRunning(); }, grace)) {
        kill();
      }
    }
    pid_ = -1;
    return status_;
  }
  // SIGSTOP, returning once every thread has stopped: until then another thread may still answer.
  void suspend() {
    int status = 0;
    if (isRunning() && ::kill(pid_, SIGSTOP) == 0 && waitpid(pid_, &status, WUNTRACED) == pid_ &&
        !WIFSTOPPED(status)) {
      status_ = status;
    }
  }
  // SIGKILL at once, as a crash would.
  void kill() {
    int status = 0;
    if (isRunning() && ::kill(pid_, SIGKILL) == 0 && waitpid(pid_, &status, 0) == pid_) {
      status_ = status;
    }
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

inline bool hasProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null").c_str()) == 0;
}

// The first line a program wrote to `path` (an address it prints once it is up), if any.
inline std::optional<std::string> firstLine(const std::string& path) {
  std::string line;
  const auto complete = [&] {
    std::ifstream file(path);
    return std::getline(file, line) && !file.eof() && !line.empty();
  };
  return waitFor(complete, std::chrono::seconds(10)) ? std::optional(line) : std::nullopt;
}

// SIGKILLs and reaps every child of this process still alive: players the engine started too.
inline void killChildren() {
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(process.path() / "stat");
    std::string line;
    char state = 0;
    pid_t parent = 0;
    // pid (comm) state ppid: comm may hold spaces, so read after the last ')'.
    if (std::getline(stat, line) && line.rfind(')') != std::string::npos &&
        std::istringstream(line.substr(line.rfind(')') + 1)) >> state >> parent &&
        parent == getpid()) {
      const pid_t pid = std::stoi(process.path().filename().string());
      ::kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
}

}  // namespace tonvara::testing
