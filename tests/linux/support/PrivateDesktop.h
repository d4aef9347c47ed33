#pragma once

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
  PrivateDesktop(bool withBus, bool withWindow = true, const std::string& screen = "640x480x24");
  ~PrivateDesktop();
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
  void installPlayerEntry(const std::string& options, std::optional<std::string> exec = {});
  std::optional<std::string> playbackStatus() const { return bus_->playbackStatus(Mpv::kBusName); }
  bool waitForStatus(const std::string& status) {
    return waitFor([&] { return playbackStatus() == status; }, std::chrono::seconds(10));
  }
  // Types a marker key and waits until the window has it: every key typed before has then been
  // decided and delivered. Returns, for each event of `keycode` (of any key if 0) the window got
  // before, whether it was a press, and forgets them.
  std::vector<bool> settle(xcb_keycode_t keycode = 0);
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
