#include <spawn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "KeyCommand.h"

extern char** environ;

namespace tonvara::keyclient {

int startRestore() {
  // The application sits beside this program.
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    return -1;
  }
  std::string program(self, static_cast<std::size_t>(length));
  program = program.substr(0, program.rfind('/') + 1) + "tonvara";
  std::string option = "--restore-desktop-keys";
  char* argv[] = {program.data(), option.data(), nullptr};
  pid_t pid = -1;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

}  // namespace tonvara::keyclient
