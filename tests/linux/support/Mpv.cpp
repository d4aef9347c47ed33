#include "Mpv.h"

#include <unistd.h>

namespace tonvara::testing {

std::vector<std::string> Mpv::baseCommand(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{"mpv", "--no-config", "--ao=null", "--vo=null", "--idle=yes"};
  argv.insert(argv.end(),
              {"--force-window=no", "--no-terminal", std::string("--script=") + kPlugin});
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return argv;
}

Mpv::Mpv(const std::string& busAddress, const std::vector<std::string>& arguments,
         const std::string& logPath)
    : ChildProcess({.argv = baseCommand(arguments),
                    .environment = {{"DBUS_SESSION_BUS_ADDRESS", busAddress}, {"DISPLAY", ""}},
                    .stderrPath = logPath}) {}

bool Mpv::available() { return hasProgram("mpv") && access(kPlugin, R_OK) == 0; }

std::optional<std::string> makeTone(const std::string& directory) {
  const std::string path = directory + "/tone.wav";
  ChildProcess sox(
      {.argv = {"sox", "-n", "-r", "44100", "-c", "2", path, "synth", "30", "sine", "440"}});
  waitFor([&] { return !sox.isRunning(); }, std::chrono::seconds(20));
  const auto status = sox.stop();
  return status && *status == 0 ? std::optional(path) : std::nullopt;
}

}  // namespace tonvara::testing
