#include <systemd/sd-bus.h>

#include <memory>
#include <string>
#include <vector>

#include "KeyCommand.h"

namespace tonvara::keyclient {

namespace {

constexpr const char* kDbus = "org.freedesktop.DBus";
constexpr const char* kPlayerPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr std::string_view kPlayerPrefix = "org.mpris.MediaPlayer2.";

struct BusClose {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct Player {
  std::string name;
  unsigned long connection = 0;  // the owner's unique-name serial: higher joined the bus later
  bool playing = false;
};

std::vector<Player> players(sd_bus* bus) {
  std::vector<Player> found;
  sd_bus_message* raw = nullptr;
  if (sd_bus_call_method(bus, kDbus, "/", kDbus, "ListNames", nullptr, &raw, "") < 0) {
    return found;
  }
  const Message names(raw);
  const char* name = nullptr;
  if (sd_bus_message_enter_container(names.get(), 'a', "s") <= 0) {
    return found;
  }
  while (sd_bus_message_read_basic(names.get(), 's', &name) > 0) {
    if (std::string_view(name).starts_with(kPlayerPrefix)) {
      found.push_back({name});
    }
  }
  for (Player& player : found) {
    const char* owner = nullptr;
    const char* status = nullptr;
    if (sd_bus_call_method(bus, kDbus, "/", kDbus, "GetNameOwner", nullptr, &raw, "s",
                           player.name.c_str()) >= 0) {
      const Message reply(raw);
      if (sd_bus_message_read(reply.get(), "s", &owner) > 0) {
        const std::string_view unique = owner;
        const auto dot = unique.rfind('.');
        player.connection =
            dot == std::string_view::npos ? 0 : std::stoul(std::string(unique.substr(dot + 1)));
      }
    }
    if (sd_bus_call_method(bus, player.name.c_str(), kPlayerPath, "org.freedesktop.DBus.Properties",
                           "Get", nullptr, &raw, "ss", kPlayerInterface, "PlaybackStatus") >= 0) {
      const Message reply(raw);
      player.playing = sd_bus_message_read(reply.get(), "v", "s", &status) > 0 &&
                       std::string_view(status) == "Playing";
    }
  }
  return found;
}

}  // namespace

bool performDesktopAction(const KeyCommand& command) {
  sd_bus* raw = nullptr;
  if (sd_bus_open_user(&raw) < 0) {
    return false;
  }
  const std::unique_ptr<sd_bus, BusClose> bus(raw);
  sd_bus_set_method_call_timeout(bus.get(), 2'000'000);
  // The desktop's choice: a player that is playing, else the one that appeared last.
  const Player* chosen = nullptr;
  const auto all = players(bus.get());
  for (const Player& player : all) {
    if (chosen == nullptr || std::pair(player.playing, player.connection) >
                                 std::pair(chosen->playing, chosen->connection)) {
      chosen = &player;
    }
  }
  if (chosen == nullptr) {
    return false;
  }
  const std::string method(command.method);
  const int result =
      command.method == "Seek"
          ? sd_bus_call_method(bus.get(), chosen->name.c_str(), kPlayerPath, kPlayerInterface,
                               method.c_str(), nullptr, nullptr, "x", command.seekMicroseconds)
          : sd_bus_call_method(bus.get(), chosen->name.c_str(), kPlayerPath, kPlayerInterface,
                               method.c_str(), nullptr, nullptr, "");
  return result >= 0;
}

}  // namespace tonvara::keyclient
