#include "Mpv.h"

#include <unistd.h>

namespace tonvara::testing {

std::vector<std::string> Mpv::baseCommand() {
  return {"mpv",
          "--no-config",
          std::string("--script=") + kPlugin,
          "--ao=null",
          "--vo=null",
          "--idle=yes",
          "--force-window=no",
          "--no-terminal"};
}

Mpv::Mpv(const std::string& busAddress, const std::vector<std::string>& arguments,
         const std::string& logPath) {
  ChildProcess::Options options;
  options.argv = baseCommand();
  options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
  options.environment["DBUS_SESSION_BUS_ADDRESS"] = busAddress;
  options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
  options.stderrPath = logPath;
  process_ = std::make_unique<ChildProcess>(options);
}

bool Mpv::available() { return hasProgram("mpv") && access(kPlugin, R_OK) == 0; }

}  // namespace tonvara::testing
