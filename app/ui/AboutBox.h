#pragma once

namespace tonvara::ui {

// The standard About box: the application's name, version and icon as the application object
// describes them, no credits of our own, raised over other applications.
void showStandardAboutBox();

}  // namespace tonvara::ui
