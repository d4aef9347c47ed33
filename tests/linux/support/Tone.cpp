#include "Tone.h"

#include <sys/wait.h>

#include <chrono>

#include "ChildProcess.h"

namespace tonvara::testing {

std::optional<std::string> makeTone(const std::string& directory, int seconds) {
  const std::string path = directory + "/tone.wav";
  ChildProcess::Options options;
  options.argv = {"sox",  "-n", "-r", "44100", "-c", "2", path, "synth", std::to_string(seconds),
                  "sine", "440"};
  ChildProcess sox(options);
  if (!waitFor([&] { return !sox.isRunning(); }, std::chrono::seconds(20))) {
    return std::nullopt;
  }
  const auto status = sox.stop();
  if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
    return std::nullopt;
  }
  return path;
}

bool canMakeTone() { return hasProgram("sox"); }

}  // namespace tonvara::testing
