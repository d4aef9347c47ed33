// Runs the real Tonvara on a display, session bus and tray of its own, with mpv as the default
// audio player playing a generated tone; presses media keys through XTest with interception on
// and off, and captures the window shown without a tray (also once the tray quits), the tray
// icon on a light and a dark panel, the tray menu and the Access window in both presentations,
// in the Linux words and with the player picker.
//
//   tonvara-demo <path to tonvara> <output folder>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
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

#include "PrivateDesktop.h"
#include "X11Desktop.h"

namespace {

using namespace std::chrono_literals;
using tonvara::demo::X11Desktop;
using tonvara::testing::ChildProcess;
using tonvara::testing::Mpv;
using tonvara::testing::PrivateDesktop;
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

// WCAG contrast between two colours.
double contrast(QRgb a, QRgb b) {
  const auto luminance = [](QRgb rgb) {
    const auto linear = [](int channel) {
      const double c = channel / 255.0;
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct KeyResult {
  std::string name;
  bool taken = false;
  std::string status;
};

class Demo {
 public:
  Demo(std::string tonvara, std::string output)
      : tonvara_(std::move(tonvara)), output_(std::move(output)) {
    std::filesystem::create_directories(output_);
  }

  int run() {
    startSession();
    std::printf("Display %s (Xvfb %s), a private session bus, trayer as the tray\n",
                display_.c_str(), kScreen);

    std::printf("\n0. A desktop with no tray yet\n");
    writeSettings(true, true);
    startTonvara(false);
    bool trayShots = captureAccessWindow("access-no-tray.png");
    std::printf("   a tray turns up on the panel\n");
    startTrayer("0xe8e8e8");
    trayShots = trayShots && waitFor([&] { return !trayIcons().empty(); }, 15s);
    std::printf("   %s\n", trayShots ? "its icon is now in the tray" : "its icon did NOT appear");
    trayShots = captureTrayGoingAway() && trayShots;
    stopTonvara();

    std::printf("\n1. First start, setup not completed (no player running yet)\n");
    writeSettings(false, true);
    startTonvara();
    const bool setupShot = captureAccessWindow("access-setup.png");
    bool iconShots = captureTrayIcon("tray-icon-light-panel.png");
    stopTonvara();
    std::printf("   the panel turns dark, as most Linux panels are\n");
    startTrayer("0x2e3436");

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

    iconShots = captureTrayIcon("tray-icon-dark-panel.png") && iconShots;

    std::printf("\n3. The tray menu; \"Enabled\" clicked off through it\n");
    const bool menuShot = captureMenuAndSwitchOff();
    if (!waitFor([&] { return keyboard_->isFreeToGrab(keysym::kPlay); }, 5s)) {
      std::printf("   Tonvara still holds the keys after \"Enabled\" was switched off\n");
    }

    std::printf("\n4. Interception off\n");
    const auto off = pressKeys({{"Play/Pause", keysym::kPlay}, {"Next", keysym::kNext}});

    std::printf("\n5. The menu's first item opens the Access window\n");
    const bool statusShot = openAccessWindowFromMenu() && captureAccessWindow("access-status.png");

    return report(on, off, trayShots && setupShot && iconShots && menuShot && statusShot);
  }

  ~Demo() {
    // Tonvara first, while the display and bus it uses are still there.
    tonvara_process_.reset();
    mpv_.reset();
    desktop_.reset();
    trayer_.reset();
    session_.reset();
  }

  // Logs kept when the demo fails.
  void keepLogs() {
    if (scratch_.empty()) {
      return;
    }
    const std::string logs = output_ + "/logs";
    std::filesystem::remove_all(logs);
    std::filesystem::copy(scratch_, logs, std::filesystem::copy_options::recursive);
    std::printf("   logs kept in %s\n", logs.c_str());
  }

 private:
  void startSession() {
    session_ = std::make_unique<PrivateDesktop>(true, false, kScreen);
    display_ = session_->display();
    scratch_ = session_->scratch();
    keyboard_ = &session_->keyboard();
    desktop_ = std::make_unique<X11Desktop>(display_);
    // mpv is the desktop's default audio player, found the way Tonvara finds any player; as a
    // player its entry also makes it one to pick in the Access window.
    std::ofstream(scratch_ + "/data/applications/mpv.desktop", std::ios::app)
        << "Categories=AudioVideo;Audio;Player;\n";
    std::filesystem::create_directories(scratch_ + "/runtime");
    chmod((scratch_ + "/runtime").c_str(), 0700);
  }

  // A panel of this colour (trayer tints only a transparent panel; alpha 0 makes it opaque).
  void startTrayer(const std::string& tint) {
    trayer_.reset();
    trayer_ = std::make_unique<ChildProcess>(
        ChildProcess::Options{.argv = {"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                       "request", "--height", "32", "--SetDockType", "false",
                                       "--transparent", "true", "--alpha", "0", "--tint", tint},
                              .environment = {{"DISPLAY", display_}},
                              .stderrPath = scratch_ + "/trayer-" + tint + ".log"});
  }

  // The icon as the panel shows it (its corner is panel), and how far it stands out from it.
  bool captureTrayIcon(const std::string& name) {
    if (!waitFor([&] { return !trayIcons().empty(); }, 10s)) {
      std::printf("   Tonvara's tray icon is not in the tray\n");
      return false;
    }
    pause(500ms);
    const QImage screen = desktop_->capture();
    const QRect icon = trayIcons().front();
    const QImage crop = screen.copy(icon.intersected(screen.rect()));
    const QRgb panel = crop.pixel(0, 0);
    double best = 1.0;
    for (int y = 0; y < crop.height(); ++y) {
      for (int x = 0; x < crop.width(); ++x) {
        best = std::max(best, contrast(crop.pixel(x, y), panel));
      }
    }
    std::printf("   icon on a panel of #%06x: contrast up to %.1f:1\n", panel & 0xFFFFFFU, best);
    return save(crop.scaled(crop.size() * 4), name) && best >= 3.0;
  }

  void writeSettings(bool setupCompleted, bool enabled) {
    writeFile(scratch_ + "/config/tonvara/com.tonvara.app.json",
              std::string("{\n  \"accessSetupCompleted\": ") + (setupCompleted ? "true" : "false") +
                  ",\n  \"enabled\": " + (enabled ? "true" : "false") +
                  ",\n  \"whenNotRunning\": \"launchMusic\"\n}\n");
  }

  // `withTray`: up once its icon is embedded in the tray; else once it runs.
  void startTonvara(bool withTray = true) {
    auto environment = session_->xdgEnvironment();
    environment.merge(std::map<std::string, std::string>{
        {"DISPLAY", display_},
        {"DBUS_SESSION_BUS_ADDRESS", session_->bus().address()},
        {"XDG_RUNTIME_DIR", scratch_ + "/runtime"},
        // The reopen channel's socket lives here, apart from a Tonvara the user may be running.
        {"TMPDIR", scratch_},
        {"QT_QPA_PLATFORM", "xcb"},
        {"WAYLAND_DISPLAY", ""},
        {"XDG_CURRENT_DESKTOP", ""},
        {"SESSION_MANAGER", ""}});
    const std::string log = scratch_ + "/tonvara-" + std::to_string(++starts_) + ".log";
    tonvara_process_ = std::make_unique<ChildProcess>(
        ChildProcess::Options{.argv = {tonvara_}, .environment = environment, .stderrPath = log});
    if (!withTray) {
      std::printf("   tonvara started (pid %d) with no tray to show its icon\n",
                  tonvara_process_->pid());
      return;
    }
    if (!waitFor([&] { return !trayIcons().empty() || !tonvara_process_->isRunning(); }, 15s) ||
        !tonvara_process_->isRunning()) {
      throw std::runtime_error("Tonvara's tray icon did not appear (see " + log + ")");
    }
    std::printf("   tonvara started (pid %d), its icon is in the tray\n", tonvara_process_->pid());
  }

  void stopTonvara() {
    tonvara_process_->stop();
    tonvara_process_.reset();
  }

  void startPlayer() {
    mpv_ = session_->startPlayer();
    if (!waitFor([&] { return playbackStatus() == "Playing"; }, 10s)) {
      throw std::runtime_error("mpv did not start playing");
    }
    std::printf("   mpv started (pid %d): %s\n", mpv_->pid(), playbackStatus().c_str());
  }

  std::string playbackStatus() const { return session_->playbackStatus().value_or("(no player)"); }

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
    XTestKeyboard window(display_, true);
    std::vector<KeyResult> results;
    for (const auto& [name, key] : keys) {
      const std::string before = playbackStatus();
      window.clearKeys();
      window.tap(key);
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

  // The panel's tray quits: the open window offers the menu's items again, told by the desktop
  // well before the 5-second check for a tray would have found out. Then the tray is back.
  bool captureTrayGoingAway() {
    pause(1500ms);
    const int withTray = accessWindow() ? accessWindow()->height() : 0;
    std::printf("   the tray quits\n");
    trayer_.reset();
    const auto gone = std::chrono::steady_clock::now();
    const bool offered =
        waitFor([&] { return accessWindow() && accessWindow()->height() > withTray; }, 3s);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - gone);
    std::printf("   %s after %lld ms\n",
                offered ? "the window offers the menu again" : "the window did NOT notice",
                static_cast<long long>(ms.count()));
    const bool shot = offered && captureAccessWindow("access-tray-gone.png");
    startTrayer("0xe8e8e8");
    return shot && waitFor([&] { return !trayIcons().empty(); }, 15s);
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
                screenshots ? "all seven, each icon at least 3:1 against its panel" : "MISSING");
    const bool ok = onOk && offOk && screenshots;
    std::printf("   %s\n", ok ? "demo passed" : "demo FAILED");
    return ok ? 0 : 1;
  }

  const std::string tonvara_;
  const std::string output_;
  std::unique_ptr<PrivateDesktop> session_;
  std::string scratch_;
  std::string display_;
  int starts_ = 0;
  std::unique_ptr<ChildProcess> trayer_;
  XTestKeyboard* keyboard_ = nullptr;
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
  std::unique_ptr<Demo> demo;
  try {
    demo = std::make_unique<Demo>(argv[1], argv[2]);
    const int status = demo->run();
    if (status != 0) {
      demo->keepLogs();
    }
    return status;
  } catch (const std::exception& error) {
    std::printf("\ndemo FAILED: %s\n", error.what());
    if (demo) {
      demo->keepLogs();
    }
    return 1;
  }
}
