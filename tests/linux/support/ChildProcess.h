#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tonvara::testing {

// A helper program started for a test and always stopped by its process id: on stop(), on
// destruction, and so also when a test fails part-way.
class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> argv;
    // Added to (or replacing in) the test's own environment.
    std::map<std::string, std::string> environment;
    // Variables removed from the child's environment.
    std::vector<std::string> unset;
    // When set, the child's stdout is readable through readLine().
    bool captureStdout = false;
    // Where stderr goes; empty keeps the test's stderr.
    std::string stderrPath;
  };

  explicit ChildProcess(Options options);
  ~ChildProcess();

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool isRunning();
  // A line of the child's stdout, or nothing when none came within `timeout`.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // SIGTERM, then SIGKILL after `grace`; reaps the child. Returns its wait status, if any.
  std::optional<int> stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
  // SIGKILL at once, as a crash would.
  void kill();

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  std::string buffered_;
  std::optional<int> status_;
};

// Waits, polling every few milliseconds, until `condition` holds or `timeout` passes.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout);

// Whether a program is on PATH.
bool hasProgram(const std::string& name);

}  // namespace tonvara::testing

#include <thread>

namespace tonvara::testing {

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

}  // namespace tonvara::testing
