#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace tonvara::testing {

// How many threads of this process have `name` in theirs (Linux keeps 15 characters).
inline int threadsNamed(std::string_view name) {
  std::error_code error;
  std::filesystem::directory_iterator tasks("/proc/self/task", error);
  int count = error ? -1 : 0;  // no per-thread entries in /proc
  for (std::string each; !error && tasks != std::filesystem::directory_iterator(); ++tasks) {
    std::ifstream comm(tasks->path() / "comm");  // reads nothing for a thread that just ended
    count += std::getline(comm, each) && each.find(name) != std::string::npos ? 1 : 0;
  }
  return count;
}

// Polls until `condition` holds. The limit only guards against a hang; it is no speed check.
inline bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

}  // namespace tonvara::testing
