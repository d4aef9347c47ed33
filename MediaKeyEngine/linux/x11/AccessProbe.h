#pragma once

#include <optional>
#include <string>

namespace tonvara::linux_x11 {

// Whether a new client on the display could capture the media keys now: the display answers,
// it is no Wayland compatibility server, and every media-key grab, core and XInput2, is free.
// Probes on a short-lived connection of its own and releases whatever it grabbed.
bool mediaKeysCapturable(const std::optional<std::string>& displayName);

}  // namespace tonvara::linux_x11
