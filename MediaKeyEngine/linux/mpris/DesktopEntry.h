#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvara::mpris {

// The [Desktop Entry] group of an application's .desktop file: what is needed to find the
// application, recognise its players and start it.
struct DesktopEntry {
  // The desktop file ID, e.g. "mpv.desktop", and where the file is.
  std::string id;
  std::string path;

  std::string type;
  std::string name;
  // Values with the string escapes resolved; Exec keeps its quoting.
  std::string exec;
  std::string tryExec;
  std::string icon;
  std::string workingDirectory;
  std::vector<std::string> mimeTypes;
  bool dbusActivatable = false;
  bool hidden = false;
  bool noDisplay = false;

  // Nothing when the text has no [Desktop Entry] group as its first group.
  static std::optional<DesktopEntry> parse(std::string_view text, std::string id, std::string path);
  static std::optional<DesktopEntry> load(const std::string& path, std::string id);
  // The ID derived from a file name: "dir/mpv.desktop" → "mpv.desktop".
  static std::string idFromPath(std::string_view path);

  bool isApplication() const { return type == "Application"; }
  bool handles(std::string_view mimeType) const;
  // The name players use for this entry in their DesktopEntry property: the ID without
  // ".desktop". Also the D-Bus name of a D-Bus activatable application.
  std::string applicationName() const;
};

// The entry's name as players report it: a trailing ".desktop" is dropped.
std::string normalizedEntryName(std::string_view name);

}  // namespace tonvara::mpris
