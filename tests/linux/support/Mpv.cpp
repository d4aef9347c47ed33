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
  auto argv = baseCommand();
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  process_ = std::make_unique<ChildProcess>(ChildProcess::Options{
      .argv = argv,
      .environment = {{"DBUS_SESSION_BUS_ADDRESS", busAddress}, {"DISPLAY", ""}},
      .stderrPath = logPath});
}

bool Mpv::available() { return hasProgram("mpv") && access(kPlugin, R_OK) == 0; }

}  // namespace tonvara::testing
