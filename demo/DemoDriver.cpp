// Runs the real Tonvara on a display, session bus and tray of its own, with mpv as the default
// audio player playing a generated tone; presses media keys through XTest with interception on
// and off, and captures the tray menu and the Access window in both presentations.
//
//   tonvara-demo <path to tonvara> <output folder>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "DbusSession.h"
#include "Mpv.h"
#include "TestWindow.h"
#include "Tone.h"
#include "X11Desktop.h"
#include "XTestKeyboard.h"

namespace {

using namespace std::chrono_literals;
using tonvara::demo::X11Desktop;
using tonvara::testing::ChildProcess;
using tonvara::testing::DbusSession;
using tonvara::testing::Mpv;
using tonvara::testing::TestWindow;
using tonvara::testing::waitFor;
using tonvara::testing::XTestKeyboard;
namespace keysym = tonvara::testing::keysym;

constexpr xcb_keysym_t kDown = 0xFF54;
constexpr xcb_keysym_t kUp = 0xFF52;
constexpr xcb_keysym_t kRight = 0xFF53;
constexpr xcb_keysym_t kLeft = 0xFF51;
constexpr xcb_keysym_t kReturn = 0xFF0D;
constexpr int kRightButton = 3;
constexpr auto kScreen = "1280x800x24";

void writeFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << text;
}

void pause(std::chrono::milliseconds span) { std::this_thread::sleep_for(span); }

struct KeyResult {
  std::string name;
  bool taken = false;
  std::string status;
};

class Demo {
 public:
  Demo(std::string tonvara, std::string output)
      : tonvara_(std::move(tonvara)), output_(std::move(output)) {
    char pattern[] = "/tmp/tonvara-demo-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      throw std::runtime_error("cannot make a scratch folder");
    }
    scratch_ = pattern;
    std::filesystem::create_directories(output_);
  }

  const std::string& scratch() const { return scratch_; }

  int run() {
    startSession();
    std::printf("Display %s (Xvfb %s), a private session bus, trayer as the tray; scratch %s\n",
                display_.c_str(), kScreen, scratch_.c_str());

    std::printf("\n1. First start, setup not completed (no player running yet)\n");
    writeSettings(false, true);
    startTonvara();
    const bool setupShot = captureAccessWindow("access-setup.png");
    stopTonvara();

    std::printf("\n2. Setup completed, interception on; mpv plays a 440 Hz tone\n");
    startPlayer();
    writeSettings(true, true);
    startTonvara();
    if (!waitFor([&] { return !keyboard_->isFreeToGrab(keysym::kPlay); }, 10s)) {
      throw std::runtime_error("Tonvara did not take hold of the media keys");
    }
    const auto on = pressKeys({{"Play/Pause", keysym::kPlay},
                               {"Play/Pause", keysym::kPlay},
                               {"Next", keysym::kNext},
                               {"Previous", keysym::kPrevious}});

    std::printf("\n3. The tray menu; \"Enabled\" clicked off through it\n");
    const bool menuShot = captureMenuAndSwitchOff();
    if (!waitFor([&] { return keyboard_->isFreeToGrab(keysym::kPlay); }, 5s)) {
      std::printf("   Tonvara still holds the keys after \"Enabled\" was switched off\n");
    }

    std::printf("\n4. Interception off\n");
    const auto off = pressKeys({{"Play/Pause", keysym::kPlay}, {"Next", keysym::kNext}});

    std::printf("\n5. The menu's first item opens the Access window\n");
    const bool statusShot = openAccessWindowFromMenu() && captureAccessWindow("access-status.png");

    return report(on, off, setupShot && menuShot && statusShot);
  }

  ~Demo() {
    // Players started through Tonvara belong to the demo as well.
    if (bus_ && bus_->isRunning()) {
      for (const auto& name : bus_->names("org.mpris.MediaPlayer2.")) {
        if (const auto pid = bus_->ownerPid(name); pid && *pid > 0 && *pid != getpid()) {
          ::kill(*pid, SIGKILL);
        }
      }
    }
    tonvara_process_.reset();
    mpv_.reset();
    desktop_.reset();
    keyboard_.reset();
    trayer_.reset();
    bus_.reset();
    xvfb_.reset();
  }

  void removeScratch() { std::filesystem::remove_all(scratch_); }

 private:
  void startSession() {
    ChildProcess::Options x;
    x.argv = {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", kScreen};
    x.captureStdout = true;
    x.stderrPath = "/dev/null";
    xvfb_ = std::make_unique<ChildProcess>(x);
    const auto number = xvfb_->readLine(10s);
    if (!number || number->empty()) {
      throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + *number;
    bus_ = std::make_unique<DbusSession>(scratch_);

    ChildProcess::Options tray;
    tray.argv = {"trayer",      "--edge",        "top",      "--align", "right",
                 "--widthtype", "request",       "--height", "32",      "--SetDockType",
                 "false",       "--transparent", "false",    "--tint",  "0xe8e8e8"};
    tray.environment = {{"DISPLAY", display_}};
    tray.stderrPath = scratch_ + "/trayer.log";
    trayer_ = std::make_unique<ChildProcess>(tray);
    keyboard_ = std::make_unique<XTestKeyboard>(display_);
    desktop_ = std::make_unique<X11Desktop>(display_);

    tone_ = tonvara::testing::makeTone(scratch_, 600).value_or("");
    if (tone_.empty()) {
      throw std::runtime_error("sox made no tone");
    }
    // mpv is the desktop's default audio player, found the way Tonvara finds any player.
    std::string exec;
    for (const auto& part : Mpv::baseCommand()) {
      exec += part + " ";
    }
    writeFile(scratch_ + "/data/applications/mpv.desktop",
              "[Desktop Entry]\nType=Application\nName=mpv\nExec=" + exec + "--loop-file=inf " +
                  tone_ + " %U\n");
    writeFile(scratch_ + "/config/mimeapps.list",
              "[Default Applications]\naudio/mpeg=mpv.desktop\naudio/x-wav=mpv.desktop\n");
    std::filesystem::create_directories(scratch_ + "/config-dirs");
    std::filesystem::create_directories(scratch_ + "/data-dirs");
    std::filesystem::create_directories(scratch_ + "/runtime");
    chmod((scratch_ + "/runtime").c_str(), 0700);
  }

  void writeSettings(bool setupCompleted, bool enabled) {
    writeFile(scratch_ + "/config/tonvara/com.tonvara.app.json",
              std::string("{\n  \"accessSetupCompleted\": ") + (setupCompleted ? "true" : "false") +
                  ",\n  \"enabled\": " + (enabled ? "true" : "false") +
                  ",\n  \"whenNotRunning\": \"launchMusic\"\n}\n");
  }

  void startTonvara() {
    ChildProcess::Options options;
    options.argv = {tonvara_};
    options.environment = {
        {"DISPLAY", display_},
        {"DBUS_SESSION_BUS_ADDRESS", bus_->address()},
        {"XDG_CONFIG_HOME", scratch_ + "/config"},
        {"XDG_CONFIG_DIRS", scratch_ + "/config-dirs"},
        {"XDG_DATA_HOME", scratch_ + "/data"},
        {"XDG_DATA_DIRS", scratch_ + "/data-dirs"},
        {"XDG_RUNTIME_DIR", scratch_ + "/runtime"},
        // The reopen channel's socket lives here, apart from a Tonvara the user may be running.
        {"TMPDIR", scratch_},
        {"QT_QPA_PLATFORM", "xcb"},
    };
    options.unset = {"WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "SESSION_MANAGER"};
    options.stderrPath = scratch_ + "/tonvara-" + std::to_string(++starts_) + ".log";
    tonvara_process_ = std::make_unique<ChildProcess>(options);
    // Up once its tray icon is embedded in the tray.
    if (!waitFor([&] { return !trayIcons().empty() || !tonvara_process_->isRunning(); }, 15s) ||
        !tonvara_process_->isRunning()) {
      throw std::runtime_error("Tonvara's tray icon did not appear (see " + options.stderrPath +
                               ")");
    }
    std::printf("   tonvara started (pid %d), its icon is in the tray\n", tonvara_process_->pid());
  }

  void stopTonvara() {
    tonvara_process_->stop();
    tonvara_process_.reset();
  }

  void startPlayer() {
    mpv_ = std::make_unique<Mpv>(
        bus_->address(), std::vector<std::string>{"--loop-file=inf", tone_}, scratch_ + "/mpv.log");
    if (!waitFor([&] { return playbackStatus() == "Playing"; }, 10s)) {
      throw std::runtime_error("mpv did not start playing");
    }
    std::printf("   mpv started (pid %d): %s\n", mpv_->pid(), playbackStatus().c_str());
  }

  std::string playbackStatus() const {
    return bus_->playbackStatus(Mpv::kBusName).value_or("(no player)");
  }

  // Tonvara's windows inside the tray (its icon), not top-level ones.
  std::vector<QRect> trayIcons() const {
    std::vector<QRect> icons;
    const auto all = desktop_->windowsOf("tonvara", false);
    const auto topLevels = desktop_->windowsOf("tonvara", true);
    for (const auto& rect : all) {
      if (std::find(topLevels.begin(), topLevels.end(), rect) == topLevels.end()) {
        icons.push_back(rect);
      }
    }
    return icons;
  }

  std::vector<KeyResult> pressKeys(const std::vector<std::pair<std::string, xcb_keysym_t>>& keys) {
    // The application the user types in: it has the focus, and sees every key not taken.
    TestWindow window(display_);
    std::vector<KeyResult> results;
    for (const auto& [name, key] : keys) {
      const std::string before = playbackStatus();
      window.clear();
      keyboard_->tap(key);
      keyboard_->sync();
      KeyResult result{name, !window.waitForRelease(keyboard_->keycode(key), 700ms), ""};
      waitFor([&] { return playbackStatus() != before; }, 1500ms);
      result.status = playbackStatus();
      std::printf("   %-10s  %-6s  player %s\n", name.c_str(), result.taken ? "taken" : "passed",
                  result.status.c_str());
      results.push_back(result);
    }
    return results;
  }

  bool save(const QImage& image, const std::string& name) {
    const std::string path = output_ + "/" + name;
    if (image.isNull() || !image.save(QString::fromStdString(path), "PNG")) {
      std::printf("   could not save %s\n", path.c_str());
      return false;
    }
    std::printf("   screenshot %s (%dx%d)\n", path.c_str(), image.width(), image.height());
    return true;
  }

  // The Access window is Tonvara's only top-level that is not a menu: the widest one.
  std::optional<QRect> accessWindow() const {
    for (const auto& rect : desktop_->windowsOf("tonvara", true)) {
      if (rect.width() >= 400) {
        return rect;
      }
    }
    return std::nullopt;
  }

  bool captureAccessWindow(const std::string& name) {
    if (!waitFor([&] { return accessWindow().has_value(); }, 10s)) {
      std::printf("   the Access window did not appear\n");
      return false;
    }
    // Past the reveal and the cards' spring.
    pause(1500ms);
    const QImage screen = desktop_->capture();
    return save(screen.copy(tonvara::demo::enclosing({*accessWindow()}, 12, screen.rect())), name);
  }

  std::size_t topLevelCount() const { return desktop_->windowsOf("tonvara", true).size(); }

  bool openMenu() {
    const auto icons = trayIcons();
    if (icons.empty()) {
      std::printf("   Tonvara's tray icon is gone\n");
      return false;
    }
    const std::size_t before = topLevelCount();
    desktop_->click(icons.front().center(), kRightButton);
    if (!waitFor([&] { return topLevelCount() > before; }, 5s)) {
      std::printf("   the menu did not open\n");
      return false;
    }
    pause(300ms);
    return true;
  }

  void type(xcb_keysym_t key) {
    keyboard_->tap(key);
    keyboard_->sync();
    pause(150ms);
  }

  bool captureMenuAndSwitchOff() {
    if (!openMenu()) {
      return false;
    }
    // Keyboard, as a user may: first item, "Enabled", then the submenu opened to the side.
    type(kDown);
    type(kDown);
    type(kDown);
    const std::size_t withMenu = topLevelCount();
    type(kRight);
    waitFor([&] { return topLevelCount() > withMenu; }, 3s);
    pause(300ms);
    std::vector<QRect> shown = desktop_->windowsOf("tonvara", true);
    for (const auto& icon : trayIcons()) {
      shown.push_back(icon);
    }
    const QImage screen = desktop_->capture();
    const bool saved =
        save(screen.copy(tonvara::demo::enclosing(shown, 12, screen.rect())), "tray-menu.png");
    type(kLeft);
    type(kUp);
    type(kReturn);
    std::printf("   \"Enabled\" chosen in the menu\n");
    return saved;
  }

  bool openAccessWindowFromMenu() {
    if (!openMenu()) {
      return false;
    }
    type(kDown);
    type(kReturn);
    return true;
  }

  int report(const std::vector<KeyResult>& on, const std::vector<KeyResult>& off,
             bool screenshots) {
    const auto count = [](const std::vector<KeyResult>& results) {
      return std::count_if(results.begin(), results.end(), [](const auto& r) { return r.taken; });
    };
    // Play/Pause taken twice pauses, then plays again.
    const bool playPauseActed =
        on.size() >= 2 && on[0].status == "Paused" && on[1].status == "Playing";
    const bool onOk = count(on) == static_cast<long>(on.size()) && playPauseActed;
    const bool offOk = count(off) == 0;
    std::printf("\nReport\n");
    std::printf("   interception on:  %ld of %zu keys taken, Play/Pause %s the player\n", count(on),
                on.size(), playPauseActed ? "paused and resumed" : "did NOT pause and resume");
    std::printf("   interception off: %ld of %zu keys taken, player left %s\n", count(off),
                off.size(), off.empty() ? "?" : off.back().status.c_str());
    std::printf("   screenshots in %s: %s\n", output_.c_str(),
                screenshots ? "all three" : "MISSING");
    const bool ok = onOk && offOk && screenshots;
    std::printf("   %s\n", ok ? "demo passed" : "demo FAILED");
    return ok ? 0 : 1;
  }

  const std::string tonvara_;
  const std::string output_;
  std::string scratch_;
  std::string display_;
  std::string tone_;
  int starts_ = 0;
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<DbusSession> bus_;
  std::unique_ptr<ChildProcess> trayer_;
  std::unique_ptr<XTestKeyboard> keyboard_;
  std::unique_ptr<X11Desktop> desktop_;
  std::unique_ptr<Mpv> mpv_;
  std::unique_ptr<ChildProcess> tonvara_process_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <path to tonvara> <output folder>\n", argv[0]);
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::string scratch;
  try {
    Demo demo(argv[1], argv[2]);
    scratch = demo.scratch();
    const int status = demo.run();
    if (status == 0) {
      demo.removeScratch();
    } else {
      std::printf("   logs kept in %s\n", scratch.c_str());
    }
    return status;
  } catch (const std::exception& error) {
    std::printf("\ndemo FAILED: %s\n", error.what());
    if (!scratch.empty()) {
      std::printf("   logs kept in %s\n", scratch.c_str());
    }
    return 1;
  }
}
