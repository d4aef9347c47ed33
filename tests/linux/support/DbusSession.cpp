#include "DbusSession.h"

#include <systemd/sd-bus.h>

#include <fstream>
#include <stdexcept>

namespace tonvara::testing {

namespace {

constexpr const char* kDbus = "org.freedesktop.DBus";
constexpr const char* kPlayerPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

using Reply = std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)>;

// One call over a fresh connection; no reply when any step fails. The reply keeps what it needs
// of the connection.
template <typename... Args>
Reply call(const std::string& address, const char* destination, const char* path,
           const char* interface, const char* method, const char* types, Args... args) {
  sd_bus* bus = nullptr;
  sd_bus_message* reply = nullptr;
  if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
      sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
      sd_bus_set_method_call_timeout(bus, 2'000'000) >= 0) {
    sd_bus_call_method(bus, destination, path, interface, method, nullptr, &reply, types, args...);
  }
  sd_bus_close_unref(bus);
  return {reply, &sd_bus_message_unref};
}

// Writes the bus configuration into `directory` and returns the command that starts the bus.
std::vector<std::string> daemonCommand(const std::string& directory, const std::string& policy) {
  std::ofstream(directory + "/bus.conf")
      << "<busconfig><type>session</type><listen>unix:path=" << directory
      << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
         "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
         "<allow own=\"*\"/>"
      << policy << "</policy></busconfig>\n";
  return {"dbus-daemon", "--config-file=" + directory + "/bus.conf", "--nofork", "--print-address"};
}

}  // namespace

DbusSession::DbusSession(const std::string& directory, const std::string& extraPolicy)
    : ChildProcess({.argv = daemonCommand(directory, extraPolicy),
                    .stdoutPath = directory + "/bus.address",
                    .stderrPath = directory + "/dbus-daemon.log"}) {
  address_ = firstLine(directory + "/bus.address").value_or("");
  if (address_.empty()) {
    throw std::runtime_error("dbus-daemon printed no address");
  }
}

std::vector<std::string> DbusSession::names(const std::string& prefix) const {
  std::vector<std::string> result;
  const auto reply = call(address_, kDbus, "/", kDbus, "ListNames", "");
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

std::optional<pid_t> DbusSession::ownerPid(const std::string& name) const {
  std::uint32_t pid = 0;
  const auto reply =
      call(address_, kDbus, "/", kDbus, "GetConnectionUnixProcessID", "s", name.c_str());
  return reply && sd_bus_message_read(reply.get(), "u", &pid) > 0 ? std::optional<pid_t>(pid)
                                                                  : std::nullopt;
}

bool DbusSession::callPlayer(const std::string& destination, const std::string& method) const {
  return call(address_, destination.c_str(), kPlayerPath, kPlayer, method.c_str(), "") != nullptr;
}

std::optional<std::string> DbusSession::playbackStatus(const std::string& destination) const {
  const char* value = nullptr;
  const auto reply =
      call(address_, destination.c_str(), kPlayerPath, "org.freedesktop.DBus.Properties", "Get",
           "ss", kPlayer, "PlaybackStatus");
  return reply && sd_bus_message_read(reply.get(), "v", "s", &value) > 0
             ? std::optional<std::string>(value)
             : std::nullopt;
}

}  // namespace tonvara::testing
