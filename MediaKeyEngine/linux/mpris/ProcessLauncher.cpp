#include "mpris/ProcessLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

extern char** environ;  // NOLINT: the process environment, as posix_spawn expects it

namespace tonvara::mpris {

namespace {

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& overrides) {
  std::vector<std::string> result;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals == nullptr) {
      continue;
    }
    const std::string name(*entry, static_cast<std::size_t>(equals - *entry));
    if (overrides.count(name) == 0) {
      result.emplace_back(*entry);
    }
  }
  for (const auto& [name, value] : overrides) {
    result.push_back(name + "=" + value);
  }
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& text : strings) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

// posix_spawn's attribute and file-action objects, released on every path.
struct SpawnSetup {
  posix_spawnattr_t attributes{};
  posix_spawn_file_actions_t actions{};
  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};

}  // namespace

std::optional<pid_t> spawnProcess(const std::vector<std::string>& arguments,
                                  const std::map<std::string, std::string>& environment,
                                  const std::string& workingDirectory) {
  if (arguments.empty() || arguments.front().empty() || arguments.front().front() != '/') {
    return std::nullopt;
  }
  SpawnSetup setup;
  // The application outlives nothing of ours: its own session, default signal handling and
  // an empty signal mask whatever the calling thread had.
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &all);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!workingDirectory.empty() &&
      posix_spawn_file_actions_addchdir_np(&setup.actions, workingDirectory.c_str()) != 0) {
    return std::nullopt;
  }

  auto argv = arguments;
  auto env = mergedEnvironment(environment);
  auto argvPointers = pointersTo(argv);
  auto envPointers = pointersTo(env);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv.front().c_str(), &setup.actions, &setup.attributes,
                  argvPointers.data(), envPointers.data()) != 0) {
    return std::nullopt;
  }
  return pid;
}

}  // namespace tonvara::mpris
