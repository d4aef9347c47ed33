#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tonvara::mpris {

// Starts `arguments` (an absolute program path first) in a session of its own, with stdin
// from /dev/null, the caller's environment plus `environment`, and the given working
// directory when not empty. Uses posix_spawn, so it is safe in a threaded process. The caller
// must reap the process. Nothing when it cannot be started.
std::optional<pid_t> spawnProcess(const std::vector<std::string>& arguments,
                                  const std::map<std::string, std::string>& environment,
                                  const std::string& workingDirectory);

}  // namespace tonvara::mpris
