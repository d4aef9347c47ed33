#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tonvara::testing {

// mpv without configuration, sound or video, with its MPRIS plugin, on a given bus; stopped by
// its process id when destroyed.
class Mpv {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.mpv";
  static constexpr const char* kPlugin = "/etc/mpv/scripts/mpris.so";

  Mpv(const std::string& busAddress, const std::vector<std::string>& arguments,
      const std::string& logPath = "");

  static bool available();
  // "mpv" and the options every test instance uses, before its own arguments.
  static std::vector<std::string> baseCommand();

  pid_t pid() const { return process_->pid(); }
  bool isRunning() const { return process_->isRunning(); }
  void kill() { process_->kill(); }

 private:
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace tonvara::testing
