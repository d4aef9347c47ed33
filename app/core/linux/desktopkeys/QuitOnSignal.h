#pragma once

namespace tonvara::desktopkeys {

// Ends the event loop on SIGTERM, SIGINT or SIGHUP (a logout, a terminal), so that the normal
// teardown gives the desktop its keys back. Once per process; needs a QCoreApplication.
void quitOnTerminationSignals();

}  // namespace tonvara::desktopkeys
