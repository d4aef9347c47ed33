#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mpris/DesktopEntry.h"
#include "mpris/XdgDirs.h"

namespace tonvara::mpris {

// Finds installed applications and the default application for a MIME type by the XDG
// desktop-entry and mime-apps rules. Reads the files afresh on every call.
class MimeAppsLookup {
 public:
  explicit MimeAppsLookup(XdgDirs dirs);

  // The [Default Applications] choice of the first mimeapps.list that names an installed
  // one; failing that, the most preferred installed application associated with the type
  // (added associations, then entries whose MimeType lists it, less removed associations).
  std::optional<DesktopEntry> defaultApplication(std::string_view mimeType) const;
  // The installed application with this desktop file ID; an entry in a more important
  // directory hides those of the same ID in the others.
  std::optional<DesktopEntry> find(std::string_view id) const;
  // Every application entry, most important directory first, one per ID.
  std::vector<DesktopEntry> allEntries() const;

  // An entry that can be started: an application with a command (or D-Bus activation) whose
  // TryExec program, if named, exists.
  static bool isLaunchable(const DesktopEntry& entry);

 private:
  std::optional<DesktopEntry> findInDirectory(const std::string& dir, std::string_view id) const;

  XdgDirs dirs_;
};

}  // namespace tonvara::mpris
