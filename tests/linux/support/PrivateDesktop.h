#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbusSession.h"
#include "Mpv.h"
#include "XTestKeyboard.h"

namespace tonvara::testing {

// A private X server (Xvfb) with an XTest keyboard and its focused window, and when asked a
// private session bus and a scratch desktop whose default audio application is mpv playing a
// tone. Every program it or the code under test started is stopped by process id when it goes.
class PrivateDesktop {
 public:
  // Whether the programs such a desktop needs are installed.
  static bool available(bool withBus) {
    return hasProgram("Xvfb") &&
           (!withBus || (DbusSession::available() && Mpv::available() && canMakeTone()));
  }
  PrivateDesktop(bool withBus, bool withWindow = true, const std::string& screen = "640x480x24") {
    char pattern[] = "/tmp/tonvara-desktop-XXXXXX";
    scratch_ =
        mkdtemp(pattern) != nullptr ? pattern : throw std::runtime_error("no scratch folder");
    // -displayfd: the server picks a free display and prints it once it accepts connections.
    // Auto-repeat starts soon, so that held keys repeat within a short test.
    server_ = std::make_unique<ChildProcess>(ChildProcess::Options{
        .argv = {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-ardelay", "250",
                 "-arinterval", "30", "-screen", "0", screen},
        .stdoutPath = scratch_ + "/display",
        .stderrPath = "/dev/null"});
    display_ = ":" + firstLine(scratch_ + "/display").value_or("");
    keyboard_ = std::make_unique<XTestKeyboard>(display_, withWindow);
    if (withBus) {
      bus_ = std::make_unique<DbusSession>(scratch_);
      tone_ = makeTone(scratch_).value_or("");
      std::filesystem::create_directories(scratch_ + "/data/applications");
      std::filesystem::create_directories(scratch_ + "/config");
      installPlayerEntry("");
    }
  }
  ~PrivateDesktop() {
    keyboard_.reset();
    bus_.reset();
    server_.reset();
    killChildren();
    std::filesystem::remove_all(scratch_);
  }
  PrivateDesktop(const PrivateDesktop&) = delete;
  PrivateDesktop& operator=(const PrivateDesktop&) = delete;

  const std::string& display() const { return display_; }
  const std::string& scratch() const { return scratch_; }
  XTestKeyboard& keyboard() { return *keyboard_; }
  DbusSession& bus() { return *bus_; }
  // XDG_* variables that keep every file of the machine out of the desktop.
  std::map<std::string, std::string> xdgEnvironment() const {
    return {{"XDG_CONFIG_HOME", scratch_ + "/config"},
            {"XDG_CONFIG_DIRS", scratch_ + "/etc"},
            {"XDG_DATA_HOME", scratch_ + "/data"},
            {"XDG_DATA_DIRS", scratch_ + "/share"}};
  }
  // mpv on the bus playing the tone in a loop, with `options` first.
  std::unique_ptr<Mpv> startPlayer(std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--loop-file=inf", tone_});
    return std::make_unique<Mpv>(bus_->address(), options, scratch_ + "/mpv.log");
  }
  // Makes the entry of such a player, with `options` or with this Exec line, the audio default.
  void installPlayerEntry(const std::string& options, std::optional<std::string> exec = {}) {
    if (!exec) {
      exec = "";
      for (const auto& argument : Mpv::baseCommand({options, "--loop-file=inf", tone_, "%U"})) {
        *exec += argument + " ";
      }
    }
    std::ofstream(scratch_ + "/data/applications/mpv.desktop")
        << "[Desktop Entry]\nType=Application\nName=mpv\nExec=" << *exec << "\n";
    std::ofstream(scratch_ + "/config/mimeapps.list")
        << "[Default Applications]\naudio/mpeg=mpv.desktop\naudio/x-wav=mpv.desktop\n";
  }
  std::optional<std::string> playbackStatus() const { return bus_->playbackStatus(Mpv::kBusName); }
  bool waitForStatus(const std::string& status) {
    return waitFor([&] { return playbackStatus() == status; }, std::chrono::seconds(10));
  }
  // Types a marker key and waits until the window has it: every key typed before has then been
  // decided and delivered. Returns, for each event of `keycode` (of any key if 0) the window got
  // before, whether it was a press, and forgets them.
  std::vector<bool> settle(xcb_keycode_t keycode = 0) {
    const auto marker = keyboard_->keycode(keysym::kA);
    keyboard_->tap(keysym::kA);
    if (!keyboard_->waitForRelease(marker, std::chrono::seconds(5))) {
      throw std::runtime_error("the marker key never reached the window");
    }
    std::vector<bool> presses;
    for (const auto& key : keyboard_->keys()) {
      if (key.keycode != marker && (keycode == 0 || key.keycode == keycode)) {
        presses.push_back(key.press);
      }
    }
    keyboard_->clearKeys();
    return presses;
  }
  void killServer() { server_->kill(); }

 private:
  std::string scratch_;
  std::string display_;
  std::string tone_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<XTestKeyboard> keyboard_;
  std::unique_ptr<DbusSession> bus_;
};

}  // namespace tonvara::testing
