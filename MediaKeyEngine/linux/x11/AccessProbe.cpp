#include "AccessProbe.h"

#include "KeyGrabs.h"
#include "MediaKeyMap.h"
#include "XcbConnection.h"

namespace tonvara::linux_x11 {

bool mediaKeysCapturable(const std::optional<std::string>& displayName) {
  const auto display = connectToDisplay(displayName);
  if (!display) {
    return false;
  }
  xcb_connection_t* connection = display->connection.get();
  if (isXwayland(connection)) {
    return false;
  }
  const auto combos = MediaKeyMap::read(connection).grabCombos();
  if (!grabKeys(connection, display->root, combos, KeyboardMode::neverFreeze)) {
    return false;
  }
  ungrabKeys(connection, display->root, combos);
  return xinputGrabsAvailable(connection, display->root, combos);
}

}  // namespace tonvara::linux_x11
