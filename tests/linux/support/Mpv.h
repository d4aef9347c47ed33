#pragma once

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
      const std::string& logPath = "");

  static bool available();
  // "mpv" and the options every test instance uses, then `arguments`.
  static std::vector<std::string> baseCommand(const std::vector<std::string>& arguments = {});
};

// A 30 s stereo 440 Hz sine written by sox into `directory` for mpv to play; its path, or nothing.
std::optional<std::string> makeTone(const std::string& directory);
inline bool canMakeTone() { return hasProgram("sox"); }

}  // namespace tonvara::testing
