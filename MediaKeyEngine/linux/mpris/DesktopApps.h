#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tonvara::mpris {

// An installed application as the desktop's entries describe it (through GIO, which follows the
// XDG desktop-entry and mime-apps rules of the environment's XDG directories).
struct DesktopApp {
  // The name players give in their DesktopEntry property: the desktop file ID without
  // ".desktop". Also the bus name of a D-Bus activatable application.
  std::string entryName;
  // Where the entry's file is.
  std::string path;
  // The desktop file ID, "org.example.Player.desktop", and the entry's Name as it is shown.
  std::string id;
  std::string name;
};

// The desktop's default application for `mimeType`, if one is installed and launchable.
std::optional<DesktopApp> defaultApplicationFor(const std::string& mimeType);
// Every installed application in the Audio and Player categories, for a player picker.
std::vector<DesktopApp> installedPlayers();
// The installed application whose desktop file ID is `desktopId`, if it is there and not hidden.
std::optional<DesktopApp> installedApplication(const std::string& desktopId);

// The entry at `path`, read for launching; nothing when it is no launchable application (GIO
// refuses it: not an application, TryExec or the Exec program missing, malformed Exec).
struct LaunchableEntry {
  std::string entryName;
  bool dbusActivatable = false;
};
std::optional<LaunchableEntry> readLaunchableEntry(const std::string& path);

// Runs the Exec command of the entry at `path` (never through a shell and never by D-Bus
// activation) in a session of its own, with DBUS_SESSION_BUS_ADDRESS set to `busAddress` when
// given. The child is not reaped: the caller must wait for it.
struct SpawnResult {
  pid_t pid = -1;
  std::string error;
};
SpawnResult spawnEntry(const std::string& path, const std::optional<std::string>& busAddress);

// "mpv.desktop" → "mpv"; other names are kept.
std::string entryNameFromId(const std::string& desktopId);

}  // namespace tonvara::mpris
