#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace tonvara::testing {

// How many of this process's threads have `name` in theirs (Linux keeps 15 characters), read
// from /proc; -1 where /proc has no per-thread entries.
inline int threadsNamed(std::string_view name) {
  std::error_code error;
  std::filesystem::directory_iterator tasks("/proc/self/task", error);
  if (error) {
    return -1;
  }
  int count = 0;
  for (const auto& task : tasks) {
    std::ifstream comm(task.path() / "comm");  // a thread that ended meanwhile reads empty
    std::string each;
    count += std::getline(comm, each) && each.find(name) != std::string::npos ? 1 : 0;
  }
  return count;
}

// Polls until `condition` holds. The limit only guards against a hang; it is no speed check.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tonvara::testing
