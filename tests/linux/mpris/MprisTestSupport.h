#pragma once

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DbusSession.h"
#include "Mpv.h"
#include "mpris/MprisApplicationPlatform.h"

namespace tonvara::testing {

// A directory under /tmp removed with everything in it when the object goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& contents);
// Whether a child of this process has ended and was never reaped.
bool hasZombieChild();

// The process's own XDG directories: GIO reads XDG_* once per process, so its tests share them.
struct XdgDirs {
  std::string configHome, dataHome;
};
const XdgDirs& privateXdgDirs();

// A player on its own connection and thread: owns `names` (when `activatable` is set, owns that
// and takes `names` once activated), answers DesktopEntry when it has one, and Identity as told.
struct FakePlayer {
  enum Identity { answer, fail, never };
  FakePlayer(const std::string& address, std::vector<std::string> names, std::string entry,
             std::string activatable = "");
  ~FakePlayer();
  int handle(sd_bus_message* message);

  const std::vector<std::string> names;
  const std::string entry;
  std::atomic<Identity> identity{answer};
  std::atomic<int> identityCalls{0}, activations{0};
  std::atomic<bool> stopping{false};
  std::thread thread;
};

// A private bus that refuses calls to kDeniedName, and a tone; players left on it are killed.
class MprisBusTest : public ::testing::Test {
 protected:
  static constexpr const char* kDeniedName = "org.mpris.MediaPlayer2.org.example.Player";
  void SetUp() override;
  void TearDown() override;
  // Makes entry `id` the only one and the audio default; returns its path.
  std::string installDefaultPlayer(const std::string& id, const std::string& body);
  std::string mpvExecLine(bool paused = false) const;
  std::shared_ptr<mpris::MprisApplicationPlatform> makePlatform() const;

  std::unique_ptr<TemporaryDirectory> directory_;
  std::unique_ptr<DbusSession> bus_;
  std::string tone_;
};

}  // namespace tonvara::testing
