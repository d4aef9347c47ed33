#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<DesktopKeyHolder> makeKdeHolder() { return nullptr; }

}  // namespace tonvara::desktopkeys
