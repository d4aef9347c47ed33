#include "MediaKeyEngineDesktop/DeliveredKeys.h"

namespace tonvara::linux_desktop {

void deliverKey(MediaKey) {}
void setDeliveryOpen(bool) {}

}  // namespace tonvara::linux_desktop
