#pragma once

#include <QString>

namespace tonvara::ui {

// Whether the desktop asks for less motion: GNOME's "enable-animations" off, KDE's animation
// speed at zero ("instant"), or GTK's animations switched off in its settings file.
bool desktopPrefersReducedMotion();

// The file-based part, read from a configuration folder (normally ~/.config).
bool reducedMotionFromConfigFiles(const QString& configHome);

}  // namespace tonvara::ui
