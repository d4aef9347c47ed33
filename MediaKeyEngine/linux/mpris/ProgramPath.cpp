#include "mpris/ProgramPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace tonvara::mpris {

namespace {

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> findProgram(std::string_view program) {
  if (program.empty()) {
    return std::nullopt;
  }
  if (program.front() == '/') {
    std::string path(program);
    return isExecutableFile(path) ? std::optional(path) : std::nullopt;
  }
  if (program.find('/') != std::string_view::npos) {
    return std::nullopt;
  }
  const char* pathVariable = std::getenv("PATH");
  const std::string_view searchPath = pathVariable != nullptr && *pathVariable != '\0'
                                          ? pathVariable
                                          : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= searchPath.size()) {
    auto end = searchPath.find(':', start);
    if (end == std::string_view::npos) {
      end = searchPath.size();
    }
    const std::string_view dir = searchPath.substr(start, end - start);
    if (!dir.empty() && dir.front() == '/') {
      std::string candidate(dir);
      candidate += '/';
      candidate += program;
      if (isExecutableFile(candidate)) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace tonvara::mpris
