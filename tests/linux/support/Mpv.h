#pragma once

#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tonvara::testing {

// mpv without configuration, sound or video, with its MPRIS plugin, on a given bus; stopped by
// its process id when destroyed.
class Mpv : public ChildProcess {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.mpv";
  static constexpr const char* kPlugin = "/etc/mpv/scripts/mpris.so";

  Mpv(const std::string& busAddress, const std::vector<std::string>& arguments,
      const std::string& logPath = "")
      : ChildProcess({.argv = baseCommand(arguments),
                      .environment = {{"DBUS_SESSION_BUS_ADDRESS", busAddress}, {"DISPLAY", ""}},
                      .stderrPath = logPath}) {}

  static bool available() { return hasProgram("mpv") && access(kPlugin, R_OK) == 0; }
  // "mpv" and the options every test instance uses, then `arguments`.
  static std::vector<std::string> baseCommand(const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> argv{"mpv",        "--no-config",       "--ao=null",    "--vo=null",
                                  "--idle=yes", "--force-window=no", "--no-terminal"};
    argv.emplace_back(std::string("--script=") + kPlugin);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
  }
};

// A 30 s stereo 440 Hz sine written by sox into `directory` for mpv to play; its path, or nothing.
inline std::optional<std::string> makeTone(const std::string& directory) {
  const std::string path = directory + "/tone.wav";
  ChildProcess sox(
      {.argv = {"sox", "-n", "-r", "44100", "-c", "2", path, "synth", "30", "sine", "440"}});
  waitFor([&] { return !sox.isRunning(); }, std::chrono::seconds(20));
  const auto status = sox.stop();
  return status && *status == 0 ? std::optional(path) : std::nullopt;
}
inline bool canMakeTone() { return hasProgram("sox"); }

}  // namespace tonvara::testing
