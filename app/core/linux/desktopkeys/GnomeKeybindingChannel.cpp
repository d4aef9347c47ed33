#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<KeyDeliveryChannel> makeGnomeKeybindingChannel(const QString&) { return nullptr; }

}  // namespace tonvara::desktopkeys
