#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<DesktopKeyHolder> makeCinnamonHolder() { return nullptr; }

}  // namespace tonvara::desktopkeys
