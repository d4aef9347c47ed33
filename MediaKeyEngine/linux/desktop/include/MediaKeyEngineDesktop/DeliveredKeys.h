#pragma once

#include "MediaKeyEngine/MediaKey.h"

// Keys the desktop hands to this process (a keybinding command, a global-shortcut component, a
// media-player-key grab) enter the engine here where no X11 grab can take them, as on a Wayland
// session. The desktop has already consumed each key: the tap's decision cannot pass it on.
namespace tonvara::linux_desktop {

// A key-down the desktop delivered. Any thread; never blocks. True when an installed desktop tap
// took it; false when none would see it (the caller may then act on the key itself).
bool deliverKey(MediaKey key);
// Whether a desktop channel hands the keys to this process now: the desktop tap's "trusted".
void setDeliveryOpen(bool open);
bool isDeliveryOpen();

}  // namespace tonvara::linux_desktop
