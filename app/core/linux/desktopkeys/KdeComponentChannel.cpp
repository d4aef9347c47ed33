#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<KeyDeliveryChannel> makeKdeComponentChannel() { return nullptr; }

}  // namespace tonvara::desktopkeys
