// The menu bar is always there to hold the status item: nothing to watch.
#include "../TrayAvailability.h"

namespace tonvara::ui {

void watchTrayHosts(TrayAvailability& /*tray*/) {}

}  // namespace tonvara::ui
