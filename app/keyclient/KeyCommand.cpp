#include "KeyCommand.h"

#include <array>

namespace tonvara::keyclient {

std::optional<KeyCommand> keyCommand(std::string_view name) {
  // As GNOME's settings daemon maps its media keys.
  static constexpr std::array<KeyCommand, 7> kCommands{{
      {"play", "PlayPause", 0},
      {"pause", "Pause", 0},
      {"next", "Next", 0},
      {"previous", "Previous", 0},
      {"stop", "Stop", 0},
      {"forward", "Seek", 45'000'000},
      {"rewind", "Seek", -10'000'000},
  }};
  for (const KeyCommand& command : kCommands) {
    if (command.name == name) {
      return command;
    }
  }
  return std::nullopt;
}

}  // namespace tonvara::keyclient
