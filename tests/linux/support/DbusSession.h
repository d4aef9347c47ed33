#pragma once

#include <systemd/sd-bus.h>

#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tonvara::testing {

// A private session bus: its own dbus-daemon with a configuration written into `directory` (no
// service directories, so nothing of the machine is activated), stopped by its process id when
// destroyed. `extraPolicy` goes into the default policy, e.g. <deny send_destination="..."/>.
class DbusSession : public ChildProcess {
 public:
  explicit DbusSession(const std::string& directory, const std::string& extraPolicy = "")
      : ChildProcess({.argv = {"dbus-daemon", "--config-file=" + configure(directory, extraPolicy),
                               "--nofork", "--print-address"},
                      .stdoutPath = directory + "/bus.address",
                      .stderrPath = directory + "/dbus-daemon.log"}),
        address_(firstLine(directory + "/bus.address").value_or("")) {
    if (address_.empty()) {
      throw std::runtime_error("dbus-daemon printed no address");
    }
  }

  static bool available() { return hasProgram("dbus-daemon"); }
  const std::string& address() const { return address_; }

  // Small synchronous probes, each over a fresh connection.
  bool hasOwner(const std::string& name) const { return ownerPid(name).has_value(); }
  std::vector<std::string> names(const std::string& prefix) const {
    std::vector<std::string> result;
    const auto reply = call(kDbus, "/", kDbus, "ListNames", "");
    const char* name = nullptr;
    if (reply && sd_bus_message_enter_container(reply.get(), 'a', "s") > 0) {
      while (sd_bus_message_read_basic(reply.get(), 's', &name) > 0) {
        if (std::string_view(name).starts_with(prefix)) {
          result.emplace_back(name);
        }
      }
    }
    return result;
  }
  std::optional<pid_t> ownerPid(const std::string& name) const {
    std::uint32_t pid = 0;
    const auto reply = call(kDbus, "/", kDbus, "GetConnectionUnixProcessID", "s", name.c_str());
    return reply && sd_bus_message_read(reply.get(), "u", &pid) > 0 ? std::optional<pid_t>(pid)
                                                                    : std::nullopt;
  }
  // A method without arguments on the MPRIS player object.
  bool callPlayer(const std::string& destination, const std::string& method) const {
    return call(destination.c_str(), kPath, kPlayer, method.c_str(), "") != nullptr;
  }
  std::optional<std::string> playbackStatus(const std::string& destination) const {
    const char* value = nullptr;
    const auto reply = call(destination.c_str(), kPath, "org.freedesktop.DBus.Properties", "Get",
                            "ss", kPlayer, "PlaybackStatus");
    return reply && sd_bus_message_read(reply.get(), "v", "s", &value) > 0
               ? std::optional<std::string>(value)
               : std::nullopt;
  }

 private:
  static constexpr const char* kDbus = "org.freedesktop.DBus";
  static constexpr const char* kPath = "/org/mpris/MediaPlayer2";
  static constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

  // Writes the bus configuration into `directory`; returns its path.
  static std::string configure(const std::string& directory, const std::string& policy) {
    std::ofstream(directory + "/bus.conf")
        << "<busconfig><type>session</type><listen>unix:path=" << directory
        << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/>"
        << policy << "</policy></busconfig>\n";
    return directory + "/bus.conf";
  }
  // One call over a fresh connection; no reply when any step fails. The reply keeps what it
  // needs of the connection.
  template <typename... Args>
  std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)> call(
      const char* destination, const char* path, const char* interface, const char* method,
      const char* types, Args... args) const {
    sd_bus* bus = nullptr;
    sd_bus_message* reply = nullptr;
    if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address_.c_str()) >= 0 &&
        sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
        sd_bus_set_method_call_timeout(bus, 2'000'000) >= 0) {
      sd_bus_call_method(bus, destination, path, interface, method, nullptr, &reply, types,
                         args...);
    }
    sd_bus_close_unref(bus);
    return {reply, &sd_bus_message_unref};
  }

  std::string address_;
};

}  // namespace tonvara::testing
