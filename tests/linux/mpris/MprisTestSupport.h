#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "DbusSession.h"
#include "Mpv.h"
#include "mpris/MprisApplicationPlatform.h"
#include "mpris/XdgDirs.h"

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

// Writes `contents` to `path`, creating the directories on the way.
void writeFile(const std::string& path, const std::string& contents);

// XDG directories that all lie under `root` (config, etc, data, share), so that no file of
// the machine takes part.
mpris::XdgDirs isolatedXdgDirs(const std::string& root);

// Child processes of this test that have ended but were never reaped.
int zombieChildren();

// A private bus, a tone to play, and a desktop where mpv is the default audio application.
// Anything that ends up owning an MPRIS name on the bus is killed when the test ends.
class MprisBusTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installs an application entry (data/applications/ID) and makes it the audio default.
  void installDefaultPlayer(const std::string& id, const std::string& desktopEntryBody);
  // The Exec line of the usual mpv entry, playing the tone (paused when asked).
  std::string mpvExecLine(bool paused = false) const;
  std::unique_ptr<mpris::MprisApplicationPlatform> makePlatform() const;
  std::unique_ptr<Mpv> startMpv(const std::vector<std::string>& extraArguments = {}) const;
  // The extra bus policy for this fixture's bus.
  virtual std::string busPolicy() const { return ""; }

  std::unique_ptr<TemporaryDirectory> directory_;
  std::unique_ptr<DbusSession> bus_;
  std::string tone_;
  mpris::XdgDirs xdg_;
};

}  // namespace tonvara::testing
