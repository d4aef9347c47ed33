#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tonvara::testing {

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

  explicit ChildProcess(const Options& options);
  ~ChildProcess() { stop(std::chrono::milliseconds(1000)); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool isRunning();
  // SIGTERM, then SIGKILL after `grace`; reaps the child. Returns its wait status, if any.
  std::optional<int> stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
  // SIGKILL at once, as a crash would.
  void kill();

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

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

bool hasProgram(const std::string& name);
// The first line a program wrote to `path` (an address it prints once it is up), if any.
std::optional<std::string> firstLine(const std::string& path);
// SIGKILLs and reaps every child of this process still alive: players the engine started too.
void killChildren();

}  // namespace tonvara::testing
