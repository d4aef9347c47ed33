#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<DesktopKeyHolder> makeGnomeHolder() { return nullptr; }

}  // namespace tonvara::desktopkeys
