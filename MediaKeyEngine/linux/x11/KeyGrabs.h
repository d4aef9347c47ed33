#pragma once

#include <xcb/xcb.h>

#include <vector>

#include "MediaKeyMap.h"

namespace tonvara::linux_x11 {

// How a grabbed press reaches us: frozen until answered, or (for a probe that never reads its
// events) handed over without stopping the keyboard.
enum class KeyboardMode { freezeUntilAnswered, neverFreeze };

// Passive core grabs of every combo on `root`. All or nothing: when any grab is refused
// (another client holds it), none is left behind.
bool grabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyCombo>& combos,
              KeyboardMode mode);
void ungrabKeys(xcb_connection_t* connection, xcb_window_t root,
                const std::vector<KeyCombo>& combos);

// Whether XInput2 passive grabs of every combo would succeed (compositors that grab keys
// through XInput2 do not collide with core grabs). Released at once; true without XInput2.
bool xinputGrabsAvailable(xcb_connection_t* connection, xcb_window_t root,
                          const std::vector<KeyCombo>& combos);

// Declares XInput2 support on the connection; false when the server has no XInput 2.2.
bool useXInput2(xcb_connection_t* connection);

}  // namespace tonvara::linux_x11
