#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

std::unique_ptr<DesktopKeyHolder> makeMateHolder() { return nullptr; }

}  // namespace tonvara::desktopkeys
