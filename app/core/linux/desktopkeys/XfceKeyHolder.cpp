#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<DesktopKeyHolder> makeXfceHolder() { return nullptr; }

}  // namespace tonvara::desktopkeys
