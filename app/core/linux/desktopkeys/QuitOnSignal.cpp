#include "QuitOnSignal.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace tonvara::desktopkeys {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int /*number*/) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

void quitOnTerminationSignals() {
  auto* application = QCoreApplication::instance();
  if (application == nullptr || signalPipe[0] >= 0 ||
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, application);
  QObject::connect(notifier, &QSocketNotifier::activated, application, [] {
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(signalPipe[1], &byte, 1);
    QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    sigaction(number, &action, nullptr);
  }
}

}  // namespace tonvara::desktopkeys
