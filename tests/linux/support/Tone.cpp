#include "Tone.h"

#include "ChildProcess.h"

namespace tonvara::testing {

std::optional<std::string> makeTone(const std::string& directory, int seconds) {
  const std::string path = directory + "/tone.wav";
  ChildProcess sox({.argv = {"sox", "-n", "-r", "44100", "-c", "2", path, "synth",
                             std::to_string(seconds), "sine", "440"}});
  waitFor([&] { return !sox.isRunning(); }, std::chrono::seconds(20));
  const auto status = sox.stop();
  return status && *status == 0 ? std::optional(path) : std::nullopt;
}

bool canMakeTone() { return hasProgram("sox"); }

}  // namespace tonvara::testing
