#pragma once

namespace tonvara::ui {

// Whether windows can be see-through here: a compositing window system (Wayland, macOS,
// Windows, or X11 with a compositing manager running). Without one a transparent window shows
// black, so the backdrop must be plain.
bool windowSystemComposites();

}  // namespace tonvara::ui
