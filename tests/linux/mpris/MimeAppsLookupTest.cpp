#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "MprisTestSupport.h"
#include "mpris/MimeAppsLookup.h"

namespace tonvara::mpris {
namespace {

using ::testing::ElementsAre;
using tonvara::testing::TemporaryDirectory;
using tonvara::testing::writeFile;

class MimeAppsLookupTest : public ::testing::Test {
 protected:
  MimeAppsLookupTest() : dirs_(tonvara::testing::isolatedXdgDirs(root_.path())) {}

  void install(const std::string& applicationsDir, const std::string& id,
               const std::string& extra = "") {
    writeFile(applicationsDir + "/" + id,
              "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=player\n" + extra);
  }
  std::string userApps() const { return dirs_.dataHome + "/applications"; }
  std::string systemApps() const { return dirs_.dataDirs.front() + "/applications"; }

  std::string defaultFor(const std::string& type = "audio/mpeg") const {
    const auto entry = MimeAppsLookup(dirs_).defaultApplication(type);
    return entry ? entry->id : "";
  }

  TemporaryDirectory root_;
  XdgDirs dirs_;
};

TEST_F(MimeAppsLookupTest, ListsMimeAppsFilesInLookupOrder) {
  dirs_.currentDesktops = {"kde", "plasma"};
  std::vector<std::string> paths;
  for (const auto& file : dirs_.mimeAppsFiles()) {
    paths.push_back(file.path.substr(root_.path().size()) + (file.desktopSpecific ? " *" : ""));
  }
  EXPECT_THAT(
      paths,
      ElementsAre(
          "/config/kde-mimeapps.list *", "/config/plasma-mimeapps.list *", "/config/mimeapps.list",
          "/etc/kde-mimeapps.list *", "/etc/plasma-mimeapps.list *", "/etc/mimeapps.list",
          "/data/applications/kde-mimeapps.list *", "/data/applications/plasma-mimeapps.list *",
          "/data/applications/mimeapps.list", "/share/applications/kde-mimeapps.list *",
          "/share/applications/plasma-mimeapps.list *", "/share/applications/mimeapps.list"));
}

TEST_F(MimeAppsLookupTest, TheMostImportantDefaultThatIsInstalledWins) {
  install(systemApps(), "system.desktop", "MimeType=audio/mpeg;\n");
  install(systemApps(), "admin.desktop");
  install(userApps(), "user.desktop");
  install(systemApps(), "gnome.desktop");
  writeFile(systemApps() + "/mimeapps.list", "[Default Applications]\naudio/mpeg=system.desktop\n");
  EXPECT_EQ(defaultFor(), "system.desktop");

  writeFile(dirs_.configDirs.front() + "/mimeapps.list",
            "[Default Applications]\naudio/mpeg=admin.desktop\n");
  EXPECT_EQ(defaultFor(), "admin.desktop");

  // Not installed, then installed but unusable: the next one in the list serves.
  writeFile(dirs_.configHome + "/mimeapps.list",
            "[Default Applications]\naudio/mpeg=missing.desktop;broken.desktop;user.desktop;\n");
  install(userApps(), "broken.desktop", "TryExec=/nonexistent/player\n");
  EXPECT_EQ(defaultFor(), "user.desktop");

  // A desktop's own file only counts in that desktop.
  writeFile(dirs_.configHome + "/gnome-mimeapps.list",
            "[Default Applications]\naudio/mpeg=gnome.desktop\n");
  EXPECT_EQ(defaultFor(), "user.desktop");
  dirs_.currentDesktops = {"gnome"};
  EXPECT_EQ(defaultFor(), "gnome.desktop");
  EXPECT_EQ(defaultFor("video/mp4"), "");
}

TEST_F(MimeAppsLookupTest, WithoutADefaultTheAssociationsDecide) {
  install(systemApps(), "a-handler.desktop", "MimeType=audio/mpeg;\n");
  install(systemApps(), "b-handler.desktop", "MimeType=audio/ogg;audio/mpeg;\n");
  install(systemApps(), "added.desktop");
  EXPECT_EQ(defaultFor(), "a-handler.desktop");

  writeFile(dirs_.configHome + "/mimeapps.list",
            "[Removed Associations]\naudio/mpeg=a-handler.desktop;\n");
  EXPECT_EQ(defaultFor(), "b-handler.desktop");

  // Added in a less important file than the one that removes it: still removed.
  writeFile(systemApps() + "/mimeapps.list",
            "[Added Associations]\naudio/mpeg=a-handler.desktop;added.desktop;\n");
  EXPECT_EQ(defaultFor(), "added.desktop");

  // Desktop-specific files name defaults only.
  dirs_.currentDesktops = {"xfce"};
  writeFile(dirs_.configHome + "/xfce-mimeapps.list",
            "[Removed Associations]\naudio/mpeg=added.desktop;\n");
  EXPECT_EQ(defaultFor(), "added.desktop");
}

TEST_F(MimeAppsLookupTest, EntriesAreFoundByIdAcrossDirectories) {
  install(systemApps(), "shadowed.desktop", "MimeType=audio/mpeg;\n");
  writeFile(userApps() + "/shadowed.desktop", "[Desktop Entry]\nType=Application\nName=User\n");
  install(systemApps() + "/vendor", "player.desktop");
  const MimeAppsLookup lookup(dirs_);

  // The user's copy (without Exec) hides the system one.
  EXPECT_FALSE(lookup.find("shadowed.desktop").has_value());
  EXPECT_EQ(defaultFor(), "");

  const auto vendor = lookup.find("vendor-player.desktop");
  ASSERT_TRUE(vendor.has_value());
  EXPECT_EQ(vendor->path, systemApps() + "/vendor/player.desktop");
  EXPECT_EQ(vendor->applicationName(), "vendor-player");
  EXPECT_FALSE(lookup.find("../share/applications/vendor/player.desktop").has_value());
}

TEST(XdgDirsTest, EnvironmentWithDefaults) {
  const auto saved = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const auto names = {"HOME",          "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                      "XDG_DATA_HOME", "XDG_DATA_DIRS",   "XDG_CURRENT_DESKTOP"};
  std::vector<std::pair<std::string, std::optional<std::string>>> before;
  for (const char* name : names) {
    before.emplace_back(name, saved(name));
  }
  setenv("HOME", "/home/u", 1);
  unsetenv("XDG_CONFIG_HOME");
  setenv("XDG_CONFIG_DIRS", "", 1);
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  setenv("XDG_DATA_DIRS", "/opt/share:relative:/usr/share", 1);
  setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
  const auto dirs = XdgDirs::fromEnvironment();
  for (const auto& [name, value] : before) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  EXPECT_EQ(dirs.configHome, "/home/u/.config");
  EXPECT_THAT(dirs.configDirs, ElementsAre("/etc/xdg"));
  EXPECT_EQ(dirs.dataHome, "/home/u/.local/share");
  EXPECT_THAT(dirs.dataDirs, ElementsAre("/opt/share", "/usr/share"));
  EXPECT_THAT(dirs.currentDesktops, ElementsAre("ubuntu", "gnome"));
  EXPECT_THAT(dirs.applicationDirs(),
              ElementsAre("/home/u/.local/share/applications", "/opt/share/applications",
                          "/usr/share/applications"));
}

}  // namespace
}  // namespace tonvara::mpris
