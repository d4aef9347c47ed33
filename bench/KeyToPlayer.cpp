// Key press to the player's method call, for the engine and for two baselines, observed the same
// way: a bus monitor notes when the player's PlayPause passes through the bus. Run by
// bench/key-to-player.sh, which provides a private X server, session bus and mpv.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "KeyCommandClient.h"
#include "MediaKeyEngine/MediaKeyRouter.h"
#include "PlayerCallMonitor.h"
#include "XTestKey.h"

extern char** environ;  // NOLINT: the process environment, as posix_spawn expects it

namespace tonvara::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr xcb_keysym_t kPlayKeysym = 0x1008FF14;  // XF86AudioPlay
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.mpv";
constexpr const char* kPlayerPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// A session bus connection of the calling thread's own.
sd_bus* openBus() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) {
    throw std::runtime_error("cannot reach the session bus");
  }
  return bus;
}

bool playerIsOnTheBus(sd_bus* bus) {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  sd_bus_message* reply = nullptr;
  int hasOwner = 0;
  const bool answered = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus", "NameHasOwner", &error, &reply,
                                           "s", kPlayer) >= 0 &&
                        sd_bus_message_read(reply, "b", &hasOwner) >= 0;
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return answered && hasOwner != 0;
}

// The floor: one method call on a connection opened beforehand.
void callPlayPause(sd_bus* bus) {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  sd_bus_message* reply = nullptr;
  sd_bus_call_method(bus, kPlayer, kPlayerPath, kPlayerInterface, "PlayPause", &error, &reply, "");
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
}

// A process per key, as a key binder running a command would start it.
void runDbusSend() {
  std::vector<std::string> arguments = {
      "dbus-send",     "--session",
      "--print-reply", "--dest=" + std::string(kPlayer),
      kPlayerPath,     std::string(kPlayerInterface) + ".PlayPause"};
  std::vector<char*> argv;
  for (auto& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "dbus-send", &actions, nullptr, argv.data(), environ) == 0) {
    waitpid(pid, nullptr, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}

struct Path {
  std::string name;
  std::function<bool()> activate;
  std::function<void()> deactivate;
  // Whether the path has finished with the last key (its command returned).
  std::function<bool(int presses)> idle;
  std::vector<double> samples;  // milliseconds
  // From a property read (the engine's capability check) to the PlayPause after it.
  std::vector<double> readToCall;
};

double milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

int intOption(int argc, char** argv, const std::string& name, int fallback) {
  const std::string prefix = "--" + name + "=";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind(prefix, 0) == 0) {
      return std::stoi(argument.substr(prefix.size()));
    }
  }
  return fallback;
}

int run(int argc, char** argv) {
  const int keys = intOption(argc, argv, "keys", 200);
  const int block = intOption(argc, argv, "block", 20);
  constexpr int kWarmUp = 2;

  XTestKey key(kPlayKeysym);
  PlayerCallMonitor monitor;
  sd_bus* floorBus = openBus();
  if (!waitUntil([&] { return playerIsOnTheBus(floorBus); }, 10s)) {
    throw std::runtime_error("the player never appeared on the bus");
  }

  // Tonvara's engine with its Linux platform, as the application builds it.
  const EngineSettings on{true, WhenNotRunning::passThrough};
  const EngineSettings off{false, WhenNotRunning::passThrough};
  MediaKeyRouter router(off);
  if (!waitUntil([&] { return router.isMusicRunning(); }, 10s)) {
    throw std::runtime_error("the engine does not see the player as the music application");
  }
  int dbusSendPresses = 0;
  KeyCommandClient dbusSend(key.keycode(), [] { runDbusSend(); });
  KeyCommandClient floor(key.keycode(), [floorBus] { callPlayPause(floorBus); });

  std::vector<Path> paths;
  paths.push_back({"Tonvara engine (X11 grab → router → MPRIS PlayPause)",
                   [&] {
                     router.update(on);
                     return router.isTapInstalled();
                   },
                   [&] { router.update(off); },
                   [](int) { return true; },
                   {},
                   {}});
  paths.push_back({"`dbus-send --print-reply` process per key",
                   [&] {
                     dbusSendPresses = dbusSend.handled();
                     return dbusSend.grab();
                   },
                   [&] { dbusSend.ungrab(); },
                   [&](int presses) { return dbusSend.handled() - dbusSendPresses >= presses; },
                   {},
                   {}});
  int floorPresses = 0;
  paths.push_back({"in-process sd-bus call on an open connection (floor)",
                   [&] {
                     floorPresses = floor.handled();
                     return floor.grab();
                   },
                   [&] { floor.ungrab(); },
                   [&](int presses) { return floor.handled() - floorPresses >= presses; },
                   {},
                   {}});

  int missed = 0;
  // Blocks of each path in turn, so that a change in the machine's load touches all of them.
  for (int done = 0; done < keys; done += block) {
    for (auto& path : paths) {
      if (!path.activate()) {
        throw std::runtime_error("could not take the key for: " + path.name);
      }
      int presses = 0;
      for (int i = 0; i < kWarmUp + std::min(block, keys - done); ++i) {
        monitor.forget();
        const auto pressed = key.press();
        const auto calls = monitor.waitFor("PlayPause", 2s);
        key.release();
        ++presses;
        waitUntil([&] { return path.idle(presses); }, 2s);
        std::this_thread::sleep_for(10ms);  // let the reply and the release go by
        if (calls.empty() || calls.back().member != "PlayPause") {
          ++missed;
        } else if (i >= kWarmUp) {
          path.samples.push_back(milliseconds(calls.back().seen - pressed));
          if (calls.size() >= 2 && calls[calls.size() - 2].member == "Get") {
            path.readToCall.push_back(
                milliseconds(calls.back().seen - calls[calls.size() - 2].seen));
          }
        }
      }
      path.deactivate();
    }
  }
  sd_bus_flush_close_unref(floorBus);
  for (const auto& path : paths) {
    if (path.samples.empty()) {
      throw std::runtime_error("the player saw no PlayPause from: " + path.name);
    }
  }

  const double floorMedian = percentile(paths.back().samples, 0.5);
  std::printf("| Key press (XTest) → PlayPause seen on the bus | median | p10 | p90 | × floor |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  for (const auto& path : paths) {
    const double median = percentile(path.samples, 0.5);
    std::printf("| %s | %.2f ms | %.2f ms | %.2f ms | %.2f× |\n", path.name.c_str(), median,
                percentile(path.samples, 0.1), percentile(path.samples, 0.9), median / floorMedian);
  }
  std::printf("\n%zu keys per path", paths.front().samples.size());
  for (const auto& path : paths) {
    if (!path.readToCall.empty()) {
      const auto label = path.name.substr(0, path.name.find(" ("));
      std::printf(
          "; %s: %.2f ms (median) from its property read (the player's capability check) "
          "to the PlayPause",
          label.c_str(), percentile(path.readToCall, 0.5));
    }
  }
  if (missed > 0) {
    std::printf(", %d presses without a call", missed);
  }
  std::printf(".\n");
  return 0;
}

}  // namespace
}  // namespace tonvara::bench

int main(int argc, char** argv) {
  try {
    return tonvara::bench::run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "key-to-player: %s\n", error.what());
    return 1;
  }
}
