#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tonvara::keyclient {

// A media key as the desktop's keybinding names it, and what the desktop itself would do with
// it: the MPRIS method it calls on its player (a seek of `seekMicroseconds` for Seek).
struct KeyCommand {
  std::string_view name;
  std::string_view method;
  std::int64_t seekMicroseconds;
};

std::optional<KeyCommand> keyCommand(std::string_view name);

// What became of a key handed to the running instance.
enum class HandOver {
  taken,       // the instance delivered it to its engine
  passed,      // the instance runs but does not act on it now
  noInstance,  // nothing listens: Tonvara is not running
};

// Hands `key` to the running instance over its single-instance socket.
HandOver handToRunningInstance(std::string_view key);

// Does what the desktop does for the key: the method on its player of choice, the one playing or
// else the newest. False when there is no player or the call failed.
bool performDesktopAction(const KeyCommand& command);

// Starts `tonvara --restore-desktop-keys` beside this program; its process id, or -1.
int startRestore();

}  // namespace tonvara::keyclient
