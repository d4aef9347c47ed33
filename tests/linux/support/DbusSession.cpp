#include "DbusSession.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace tonvara::testing {

namespace {

struct Bus {
  sd_bus* bus = nullptr;
  explicit Bus(const std::string& address) {
    if (sd_bus_new(&bus) < 0) {
      bus = nullptr;
      return;
    }
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
      sd_bus_close_unref(bus);
      bus = nullptr;
      return;
    }
    sd_bus_set_method_call_timeout(bus, 2'000'000);
  }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;
  ~Bus() { sd_bus_close_unref(bus); }
};

struct Reply {
  sd_bus_message* message = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  Reply() = default;
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  ~Reply() {
    sd_bus_message_unref(message);
    sd_bus_error_free(&error);
  }
};

}  // namespace

DbusSession::DbusSession(const std::string& directory, const std::string& extraPolicy) {
  const std::string config = directory + "/bus.conf";
  {
    std::ofstream file(config);
    file << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:path="
         << directory
         << "/bus</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "    <allow own=\"*\"/>\n"
         << extraPolicy
         << "\n  </policy>\n"
            "</busconfig>\n";
  }
  ChildProcess::Options options;
  options.argv = {"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"};
  options.captureStdout = true;
  options.stderrPath = directory + "/dbus-daemon.log";
  daemon_ = std::make_unique<ChildProcess>(options);
  const auto line = daemon_->readLine(std::chrono::seconds(10));
  if (!line || line->empty()) {
    throw std::runtime_error("dbus-daemon printed no address");
  }
  address_ = *line;
}

bool DbusSession::available() { return hasProgram("dbus-daemon"); }

void DbusSession::kill() {
  if (daemon_) {
    daemon_->kill();
  }
}

bool DbusSession::hasOwner(const std::string& name) const {
  Bus bus(address_);
  Reply reply;
  return bus.bus != nullptr &&
         sd_bus_call_method(bus.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "GetNameOwner", &reply.error, &reply.message,
                            "s", name.c_str()) >= 0;
}

std::vector<std::string> DbusSession::names(const std::string& prefix) const {
  Bus bus(address_);
  Reply reply;
  std::vector<std::string> result;
  if (bus.bus == nullptr ||
      sd_bus_call_method(bus.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "ListNames", &reply.error, &reply.message,
                         "") < 0 ||
      sd_bus_message_enter_container(reply.message, 'a', "s") <= 0) {
    return result;
  }
  const char* name = nullptr;
  while (sd_bus_message_read_basic(reply.message, 's', &name) > 0) {
    if (std::string_view(name).substr(0, prefix.size()) == prefix) {
      result.emplace_back(name);
    }
  }
  return result;
}

std::optional<pid_t> DbusSession::ownerPid(const std::string& name) const {
  Bus bus(address_);
  Reply reply;
  std::uint32_t pid = 0;
  if (bus.bus == nullptr ||
      sd_bus_call_method(bus.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "GetConnectionUnixProcessID", &reply.error,
                         &reply.message, "s", name.c_str()) < 0 ||
      sd_bus_message_read(reply.message, "u", &pid) < 0) {
    return std::nullopt;
  }
  return static_cast<pid_t>(pid);
}

std::optional<std::string> DbusSession::stringProperty(const std::string& destination,
                                                       const std::string& interface,
                                                       const std::string& property) const {
  Bus bus(address_);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  char* value = nullptr;
  std::optional<std::string> result;
  if (bus.bus != nullptr &&
      sd_bus_get_property_string(bus.bus, destination.c_str(), "/org/mpris/MediaPlayer2",
                                 interface.c_str(), property.c_str(), &error, &value) >= 0) {
    result = value;
  }
  std::free(value);  // NOLINT: sd-bus hands over a malloc'd string
  sd_bus_error_free(&error);
  return result;
}

bool DbusSession::callPlayer(const std::string& destination, const std::string& method) const {
  Bus bus(address_);
  Reply reply;
  return bus.bus != nullptr &&
         sd_bus_call_method(bus.bus, destination.c_str(), "/org/mpris/MediaPlayer2",
                            "org.mpris.MediaPlayer2.Player", method.c_str(), &reply.error,
                            &reply.message, "") >= 0;
}

std::optional<std::string> DbusSession::playbackStatus(const std::string& destination) const {
  return stringProperty(destination, "org.mpris.MediaPlayer2.Player", "PlaybackStatus");
}

}  // namespace tonvara::testing
