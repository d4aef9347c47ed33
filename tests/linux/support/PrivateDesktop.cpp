#include "PrivateDesktop.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tonvara::testing {

PrivateDesktop::PrivateDesktop(bool withBus, bool withWindow, const std::string& screen) {
  char pattern[] = "/tmp/tonvara-desktop-XXXXXX";
  scratch_ = mkdtemp(pattern) != nullptr ? pattern : throw std::runtime_error("no scratch folder");
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

PrivateDesktop::~PrivateDesktop() {
  keyboard_.reset();
  bus_.reset();
  server_.reset();
  killChildren();
  std::filesystem::remove_all(scratch_);
}

void PrivateDesktop::installPlayerEntry(const std::string& options,
                                        std::optional<std::string> exec) {
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

std::vector<bool> PrivateDesktop::settle(xcb_keycode_t keycode) {
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

}  // namespace tonvara::testing
