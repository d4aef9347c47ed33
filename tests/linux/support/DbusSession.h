#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tonvara::testing {

// A private session bus: its own dbus-daemon with a configuration written into `directory` (no
// service directories, so nothing of the machine is activated), stopped by its process id when
// destroyed. `extraPolicy` goes into the default policy, e.g. <deny send_destination="..."/>.
class DbusSession : public ChildProcess {
 public:
  explicit DbusSession(const std::string& directory, const std::string& extraPolicy = "");

  static bool available() { return hasProgram("dbus-daemon"); }
  const std::string& address() const { return address_; }

  // Small synchronous probes, each over a fresh connection.
  bool hasOwner(const std::string& name) const { return ownerPid(name).has_value(); }
  std::vector<std::string> names(const std::string& prefix) const;
  std::optional<pid_t> ownerPid(const std::string& name) const;
  // A method without arguments on the MPRIS player object.
  bool callPlayer(const std::string& destination, const std::string& method) const;
  std::optional<std::string> playbackStatus(const std::string& destination) const;

 private:
  std::string address_;
};

}  // namespace tonvara::testing
