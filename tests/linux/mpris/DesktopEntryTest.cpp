#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mpris/DesktopEntry.h"
#include "mpris/KeyFile.h"
#include "mpris/MimeAppsLookup.h"

namespace tonvara::mpris {
namespace {

using ::testing::ElementsAre;

std::optional<DesktopEntry> parseEntry(const std::string& body) {
  return DesktopEntry::parse(body, "org.example.Player.desktop",
                             "/apps/org.example.Player.desktop");
}

TEST(DesktopEntryTest, ReadsTheDesktopEntryGroupOnly) {
  const auto entry = parseEntry(
      "# a comment\n"
      "[Desktop Entry]\n"
      "Name[de]=Musikspieler\n"
      "Name = Music\\sPlayer\n"
      "Type=Application\n"
      "Exec=player --new %U\n"
      "TryExec=/bin/sh\n"
      "Icon=player-icon\n"
      "Path=/tmp\n"
      "MimeType=audio/mpeg;audio/x-odd\\;type;;\n"
      "DBusActivatable=true\n"
      "Hidden=true\n"
      "NoDisplay=maybe\n"
      "Name=Second Name Ignored\n"
      "\n"
      "[Desktop Action window]\n"
      "Exec=player --window\n"
      "Name=New Window\n");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->name, "Music Player");
  EXPECT_EQ(entry->type, "Application");
  EXPECT_EQ(entry->exec, "player --new %U");
  EXPECT_EQ(entry->tryExec, "/bin/sh");
  EXPECT_EQ(entry->icon, "player-icon");
  EXPECT_EQ(entry->workingDirectory, "/tmp");
  EXPECT_THAT(entry->mimeTypes, ElementsAre("audio/mpeg", "audio/x-odd;type"));
  EXPECT_TRUE(entry->handles("audio/mpeg"));
  EXPECT_FALSE(entry->handles("audio/flac"));
  EXPECT_TRUE(entry->dbusActivatable);
  EXPECT_TRUE(entry->hidden);
  EXPECT_FALSE(entry->noDisplay);
  EXPECT_EQ(entry->applicationName(), "org.example.Player");
}

TEST(DesktopEntryTest, NeedsDesktopEntryAsTheFirstGroup) {
  EXPECT_FALSE(parseEntry("[Other]\nName=x\n[Desktop Entry]\nType=Application\n").has_value());
  EXPECT_FALSE(parseEntry("Name=x\n").has_value());
  EXPECT_TRUE(parseEntry("\n# c\n[Desktop Entry]\n").has_value());
}

TEST(DesktopEntryTest, ResolvesStringEscapes) {
  EXPECT_EQ(KeyFile::unescape(R"(a\sb\tc\nd\\e\rf\$)"), "a b\tc\nd\\e\rf\\$");
  EXPECT_THAT(KeyFile::splitList(R"(a\\;b\;c;\sd)"), ElementsAre("a\\", "b;c", " d"));
}

TEST(DesktopEntryTest, LaunchableEntriesNeedAnApplicationWhoseTryExecExists) {
  const auto launchable = [](const std::string& body) {
    const auto entry = parseEntry("[Desktop Entry]\n" + body);
    return entry && MimeAppsLookup::isLaunchable(*entry);
  };
  EXPECT_TRUE(launchable("Type=Application\nExec=player\n"));
  EXPECT_TRUE(launchable("Type=Application\nExec=player\nTryExec=sh\n"));
  EXPECT_TRUE(launchable("Type=Application\nDBusActivatable=true\n"));
  // Hiding from menus is no reason not to start it.
  EXPECT_TRUE(launchable("Type=Application\nExec=player\nHidden=true\nNoDisplay=true\n"));
  EXPECT_FALSE(launchable("Type=Application\nExec=player\nTryExec=/nonexistent/player\n"));
  EXPECT_FALSE(launchable("Type=Application\nExec=player\nTryExec=no-such-program-here\n"));
  EXPECT_FALSE(launchable("Type=Link\nExec=player\n"));
  EXPECT_FALSE(launchable("Type=Application\n"));
}

TEST(DesktopEntryTest, NamesComeFromTheFileName) {
  EXPECT_EQ(DesktopEntry::idFromPath("/usr/share/applications/mpv.desktop"), "mpv.desktop");
  EXPECT_EQ(normalizedEntryName("mpv.desktop"), "mpv");
  EXPECT_EQ(normalizedEntryName("org.kde.elisa"), "org.kde.elisa");
  EXPECT_EQ(normalizedEntryName(".desktop"), ".desktop");
}

}  // namespace
}  // namespace tonvara::mpris
