#pragma once

#include <QString>

namespace tonvara::desktopkeys {

// How to undo a takeover of shortcuts kept in GSettings.
inline QString gsettingsUndoText() {
  return QStringLiteral(
      "“Give the keys back” in Tonvara's Access window puts them back exactly as they were; "
      "switching Tonvara off or quitting it does too, and it takes them again when it runs. Until "
      "then the previous values are kept in ~/.config/tonvara/desktop-keys.json.");
}

}  // namespace tonvara::desktopkeys
