#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tonvara::testing {

// The names of this process's live threads, read from /proc; nothing where /proc has no
// per-thread entries. Linux keeps only the first 15 characters of a name.
inline std::optional<std::vector<std::string>> threadNames() {
  const std::filesystem::path tasks("/proc/self/task");
  std::error_code error;
  std::filesystem::directory_iterator entries(tasks, error);
  if (error) {
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    // A thread may end between the listing and the read: it is simply not counted.
    std::ifstream comm(entry.path() / "comm");
    std::string name;
    if (comm && std::getline(comm, name)) {
      names.push_back(std::move(name));
    }
  }
  return names;
}

inline int threadCount() {
  const auto names = threadNames();
  return names ? static_cast<int>(names->size()) : -1;
}

inline int threadsNamed(std::string_view name) {
  const auto names = threadNames();
  if (!names) {
    return -1;
  }
  int count = 0;
  for (const auto& each : *names) {
    count += each.find(name) != std::string::npos ? 1 : 0;
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
