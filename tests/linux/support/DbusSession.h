#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tonvara::testing {

// A private session bus for one test: its own dbus-daemon with a configuration written into
// `directory` (no service directories, so nothing of the machine is activated), stopped by
// its process id when destroyed. `extraPolicy` is inserted into the default policy, e.g.
// <deny send_destination="..."/>.
class DbusSession {
 public:
  explicit DbusSession(const std::string& directory, const std::string& extraPolicy = "");

  static bool available();

  const std::string& address() const { return address_; }
  bool isRunning() const { return daemon_ && daemon_->isRunning(); }
  // Ends the daemon at once, as a crash would.
  void kill();

  // Small synchronous probes over a fresh connection, for checking what the bus sees.
  bool hasOwner(const std::string& name) const;
  // The well-known names on the bus that start with `prefix`.
  std::vector<std::string> names(const std::string& prefix) const;
  std::optional<pid_t> ownerPid(const std::string& name) const;
  std::optional<std::string> stringProperty(const std::string& destination,
                                            const std::string& interface,
                                            const std::string& property) const;
  // A method without arguments on the MPRIS player object.
  bool callPlayer(const std::string& destination, const std::string& method) const;
  std::optional<std::string> playbackStatus(const std::string& destination) const;

 private:
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
};

}  // namespace tonvara::testing
