#include "DbusSession.h"

#include <systemd/sd-bus.h>

#include <fstream>
#include <functional>
#include <stdexcept>

namespace tonvara::testing {

namespace {

constexpr const char* kDbus = "org.freedesktop.DBus";
constexpr const char* kPlayerPath = "/org/mpris/MediaPlayer2";

// One call on a fresh connection; `read` takes the reply apart. False when any step fails.
template <typename... Args>
bool call(const std::string& address, const char* destination, const char* path,
          const char* interface, const char* method,
          const std::function<bool(sd_bus_message*)>& read, const char* types, Args... args) {
  sd_bus* bus = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const bool ok = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
                  sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
                  sd_bus_set_method_call_timeout(bus, 2'000'000) >= 0 &&
                  sd_bus_call_method(bus, destination, path, interface, method, &error, &reply,
                                     types, args...) >= 0 &&
                  (!read || read(reply));
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  sd_bus_close_unref(bus);
  return ok;
}

}  // namespace

DbusSession::DbusSession(const std::string& directory, const std::string& extraPolicy) {
  const std::string config = directory + "/bus.conf";
  std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path=" << directory
                        << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                           "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                        << extraPolicy << "</policy></busconfig>\n";
  daemon_ = std::make_unique<ChildProcess>(ChildProcess::Options{
      .argv = {"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address"},
      .stdoutPath = directory + "/bus.address",
      .stderrPath = directory + "/dbus-daemon.log"});
  address_ = firstLine(directory + "/bus.address").value_or("");
  if (address_.empty()) {
    throw std::runtime_error("dbus-daemon printed no address");
  }
}

bool DbusSession::hasOwner(const std::string& name) const {
  return call(address_, kDbus, "/", kDbus, "GetNameOwner", nullptr, "s", name.c_str());
}

std::vector<std::string> DbusSession::names(const std::string& prefix) const {
  std::vector<std::string> result;
  call(
      address_, kDbus, "/", kDbus, "ListNames",
      [&](sd_bus_message* reply) {
        const char* name = nullptr;
        sd_bus_message_enter_container(reply, 'a', "s");
        while (sd_bus_message_read_basic(reply, 's', &name) > 0) {
          if (std::string_view(name).starts_with(prefix)) {
            result.emplace_back(name);
          }
        }
        return true;
      },
      "");
  return result;
}

std::optional<pid_t> DbusSession::ownerPid(const std::string& name) const {
  std::uint32_t pid = 0;
  const auto read = [&](sd_bus_message* reply) {
    return sd_bus_message_read(reply, "u", &pid) > 0;
  };
  return call(address_, kDbus, "/", kDbus, "GetConnectionUnixProcessID", read, "s", name.c_str())
             ? std::optional<pid_t>(static_cast<pid_t>(pid))
             : std::nullopt;
}

bool DbusSession::callPlayer(const std::string& destination, const std::string& method) const {
  return call(address_, destination.c_str(), kPlayerPath, "org.mpris.MediaPlayer2.Player",
              method.c_str(), nullptr, "");
}

std::optional<std::string> DbusSession::playbackStatus(const std::string& destination) const {
  const char* value = nullptr;
  std::optional<std::string> status;
  const auto read = [&](sd_bus_message* reply) {
    status = sd_bus_message_read(reply, "v", "s", &value) > 0 ? value : status;
    return true;
  };
  call(address_, destination.c_str(), kPlayerPath, "org.freedesktop.DBus.Properties", "Get", read,
       "ss", "org.mpris.MediaPlayer2.Player", "PlaybackStatus");
  return status;
}

}  // namespace tonvara::testing
