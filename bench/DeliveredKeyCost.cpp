// What one media key costs on the desktop-delivery path: a keybinding starts the key client, the
// client hands the key to the running instance over its single-instance socket, the instance
// delivers it to the engine's desktop tap. Timed from the client's start to the tap's callback
// (delivered) and to the client's exit, for tonvara-key itself and for `tonvara --media-key`
// (the application binary, which hands over to tonvara-key), against starting /bin/true.
// Usage: tonvara_key_cost APP_DIR [KEYS]
#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"
#include "ReopenChannel.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<Clock::rep> deliveredAt{0};

struct Sample {
  double deliveredMs = -1;
  double exitedMs = 0;
};

// Starts `argv`, runs the event loop until it has exited, and times it.
Sample run(std::vector<std::string> argv) {
  std::vector<char*> pointers;
  for (auto& argument : argv) {
    pointers.push_back(argument.data());
  }
  pointers.push_back(nullptr);
  deliveredAt = 0;
  const auto start = Clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ) != 0) {
    return {};
  }
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const auto end = Clock::now();
  const auto ms = [&](Clock::time_point at) {
    return std::chrono::duration<double, std::milli>(at - start).count();
  };
  const auto delivered = deliveredAt.load();
  return {delivered == 0 ? -1 : ms(Clock::time_point(Clock::duration(delivered))), ms(end)};
}

void report(const char* what, std::vector<Sample> samples) {
  const auto quantile = [&](auto field, double q) {
    std::vector<double> values;
    for (const Sample& sample : samples) {
      values.push_back(sample.*field);
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
  };
  std::printf(
      "%-28s delivered median %6.2f ms  p90 %6.2f ms | exited median %6.2f ms  p90 %6.2f ms\n",
      what, quantile(&Sample::deliveredMs, 0.5), quantile(&Sample::deliveredMs, 0.9),
      quantile(&Sample::exitedMs, 0.5), quantile(&Sample::exitedMs, 0.9));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: tonvara_key_cost APP_DIR [KEYS]\n", stderr);
    return 2;
  }
  const std::string app = argv[1];
  const int keys = argc > 2 ? std::stoi(argv[2]) : 200;
  QCoreApplication application(argc, argv);
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  tonvara::ReopenChannel instance(runtime.path());
  if (instance.claim() != tonvara::ReopenChannel::Claim::primary) {
    return 1;
  }
  tonvara::linux_desktop::setDeliveryOpen(true);
  tonvara::MediaKeyTap tap(std::make_shared<tonvara::linux_desktop::DesktopEventTapPlatform>());
  tap.setOnKeyDown([](tonvara::MediaKey) {
    deliveredAt = Clock::now().time_since_epoch().count();
    return true;
  });
  if (!tap.start()) {
    return 1;
  }
  // Wakes the loop so that the client's exit is seen within a millisecond.
  QTimer tick;
  tick.start(1);

  std::printf("Media key through the desktop-delivery path, %d keys each:\n", keys);
  const std::vector<std::pair<const char*, std::vector<std::string>>> clients = {
      {"/bin/true (process floor)", {"/bin/true"}},
      {"tonvara-key --media-key", {app + "/tonvara-key", "--media-key", "next"}},
      {"tonvara --media-key", {app + "/tonvara", "--media-key", "next"}},
  };
  for (const auto& [name, command] : clients) {
    std::vector<Sample> samples;
    for (int i = 0; i < keys; ++i) {
      samples.push_back(run(command));
    }
    report(name, samples);
  }
  tap.stop();
  return 0;
}
