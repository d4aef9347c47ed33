#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<KeyDeliveryChannel> makeMediaPlayerKeysChannel(const QString&, const QString&,
                                                               const QString&) {
  return nullptr;
}

}  // namespace tonvara::desktopkeys
