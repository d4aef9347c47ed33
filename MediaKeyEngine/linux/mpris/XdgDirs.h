#pragma once

#include <string>
#include <vector>

namespace tonvara::mpris {

// The XDG base directories and desktop names that decide where desktop entries and
// mimeapps.list files are looked for.
struct XdgDirs {
  std::string configHome;
  std::vector<std::string> configDirs;
  std::string dataHome;
  std::vector<std::string> dataDirs;
  // Lower-case names of the current desktop, most specific first (XDG_CURRENT_DESKTOP).
  std::vector<std::string> currentDesktops;

  // From the environment, with the XDG defaults for unset or empty variables.
  static XdgDirs fromEnvironment();

  // The applications directories, most important first.
  std::vector<std::string> applicationDirs() const;
  // Every mimeapps.list that may apply, most important first, with whether it is a
  // desktop-specific one.
  struct MimeAppsFile {
    std::string path;
    bool desktopSpecific = false;
  };
  std::vector<MimeAppsFile> mimeAppsFiles() const;
};

}  // namespace tonvara::mpris
