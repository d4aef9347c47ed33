#include "mpris/DesktopEntry.h"

#include <algorithm>
#include <utility>

#include "mpris/KeyFile.h"

namespace tonvara::mpris {

namespace {

constexpr const char* kGroup = "Desktop Entry";
constexpr std::string_view kSuffix = ".desktop";

}  // namespace

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text, std::string id,
                                                std::string path) {
  const KeyFile file = KeyFile::parse(text);
  if (file.firstGroup() != kGroup) {
    return std::nullopt;
  }
  DesktopEntry entry;
  entry.id = std::move(id);
  entry.path = std::move(path);
  entry.type = file.string(kGroup, "Type").value_or("");
  entry.name = file.string(kGroup, "Name").value_or("");
  entry.exec = file.string(kGroup, "Exec").value_or("");
  entry.tryExec = file.string(kGroup, "TryExec").value_or("");
  entry.icon = file.string(kGroup, "Icon").value_or("");
  entry.workingDirectory = file.string(kGroup, "Path").value_or("");
  entry.mimeTypes = file.list(kGroup, "MimeType");
  entry.dbusActivatable = file.boolean(kGroup, "DBusActivatable").value_or(false);
  entry.hidden = file.boolean(kGroup, "Hidden").value_or(false);
  entry.noDisplay = file.boolean(kGroup, "NoDisplay").value_or(false);
  return entry;
}

std::optional<DesktopEntry> DesktopEntry::load(const std::string& path, std::string id) {
  const auto text = readTextFile(path);
  if (!text) {
    return std::nullopt;
  }
  return parse(*text, std::move(id), path);
}

std::string DesktopEntry::idFromPath(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool DesktopEntry::handles(std::string_view mimeType) const {
  return std::find(mimeTypes.begin(), mimeTypes.end(), mimeType) != mimeTypes.end();
}

std::string DesktopEntry::applicationName() const { return normalizedEntryName(id); }

std::string normalizedEntryName(std::string_view name) {
  if (name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix) {
    name.remove_suffix(kSuffix.size());
  }
  return std::string(name);
}

}  // namespace tonvara::mpris
