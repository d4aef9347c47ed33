#include "mpris/MimeAppsLookup.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "mpris/KeyFile.h"
#include "mpris/ProgramPath.h"

namespace tonvara::mpris {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaults = "Default Applications";
constexpr const char* kAdded = "Added Associations";
constexpr const char* kRemoved = "Removed Associations";

// The .desktop files under an applications directory with their IDs ("sub/x.desktop" has
// the ID "sub-x.desktop"), in a stable order.
std::vector<std::pair<std::string, std::string>> desktopFilesIn(const std::string& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  std::error_code error;
  fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it.depth() > 8) {
      it.disable_recursion_pending();
    }
    const auto& path = it->path();
    if (path.extension() != ".desktop" || !it->is_regular_file(error)) {
      continue;
    }
    std::string id = path.lexically_relative(dir).generic_string();
    std::replace(id.begin(), id.end(), '/', '-');
    files.emplace_back(std::move(id), path.string());
  }
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.second < b.second; });
  return files;
}

}  // namespace

MimeAppsLookup::MimeAppsLookup(XdgDirs dirs) : dirs_(std::move(dirs)) {}

bool MimeAppsLookup::isLaunchable(const DesktopEntry& entry) {
  if (!entry.isApplication() || (entry.exec.empty() && !entry.dbusActivatable)) {
    return false;
  }
  return entry.tryExec.empty() || findProgram(entry.tryExec).has_value();
}

std::optional<DesktopEntry> MimeAppsLookup::findInDirectory(const std::string& dir,
                                                            std::string_view id) const {
  std::error_code error;
  const std::string direct = dir + "/" + std::string(id);
  if (fs::is_regular_file(direct, error)) {
    return DesktopEntry::load(direct, std::string(id));
  }
  if (id.find('-') == std::string_view::npos) {
    return std::nullopt;
  }
  // "vendor-app.desktop" may live in a "vendor" subdirectory.
  for (const auto& [fileId, path] : desktopFilesIn(dir)) {
    if (fileId == id) {
      return DesktopEntry::load(path, fileId);
    }
  }
  return std::nullopt;
}

std::optional<DesktopEntry> MimeAppsLookup::find(std::string_view id) const {
  if (id.empty() || id.find('/') != std::string_view::npos) {
    return std::nullopt;
  }
  for (const auto& dir : dirs_.applicationDirs()) {
    if (auto entry = findInDirectory(dir, id)) {
      if (!isLaunchable(*entry)) {
        return std::nullopt;
      }
      return entry;
    }
  }
  return std::nullopt;
}

std::vector<DesktopEntry> MimeAppsLookup::allEntries() const {
  std::vector<DesktopEntry> entries;
  std::set<std::string> seen;
  for (const auto& dir : dirs_.applicationDirs()) {
    for (auto& [id, path] : desktopFilesIn(dir)) {
      if (!seen.insert(id).second) {
        continue;
      }
      if (auto entry = DesktopEntry::load(path, id); entry && entry->isApplication()) {
        entries.push_back(std::move(*entry));
      }
    }
  }
  return entries;
}

std::optional<DesktopEntry> MimeAppsLookup::defaultApplication(std::string_view mimeType) const {
  const std::string type(mimeType);
  std::vector<std::pair<XdgDirs::MimeAppsFile, KeyFile>> lists;
  for (auto& file : dirs_.mimeAppsFiles()) {
    if (auto keyFile = KeyFile::load(file.path)) {
      lists.emplace_back(std::move(file), std::move(*keyFile));
    }
  }

  for (const auto& [file, keyFile] : lists) {
    for (const auto& id : keyFile.list(kDefaults, type)) {
      if (auto entry = find(id)) {
        return entry;
      }
    }
  }

  // No default named: the associations, the more important files first. Desktop-specific
  // files only name defaults.
  std::set<std::string> removed;
  std::vector<std::string> added;
  for (const auto& [file, keyFile] : lists) {
    if (file.desktopSpecific) {
      continue;
    }
    for (auto& id : keyFile.list(kAdded, type)) {
      if (removed.count(id) == 0) {
        added.push_back(std::move(id));
      }
    }
    for (auto& id : keyFile.list(kRemoved, type)) {
      removed.insert(std::move(id));
    }
  }
  for (const auto& id : added) {
    if (auto entry = find(id)) {
      return entry;
    }
  }
  for (auto& entry : allEntries()) {
    if (entry.handles(type) && removed.count(entry.id) == 0 && isLaunchable(entry)) {
      return std::move(entry);
    }
  }
  return std::nullopt;
}

}  // namespace tonvara::mpris
