// Holds the music platform's bus watcher alive and idle until SIGTERM, so that its wake-ups can
// be counted from outside (bench/idle-wakeups.sh).
#include <signal.h>

#include <cstdio>

#include "MediaKeyEngine/MusicController.h"
#include "MediaKeyEngine/PlatformDefaults.h"

int main() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  const auto platform = tonvara::platform::defaultApplicationPlatform();
  platform->runningApplications(tonvara::MusicController::bundleID);
  std::puts("ready");
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  return 0;
}
