#include "mpris/XdgDirs.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace tonvara::mpris {

namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::vector<std::string> splitPaths(std::string_view text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find(':', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    if (end > start) {
      parts.emplace_back(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return parts;
}

// Relative paths are invalid in XDG variables and are ignored.
std::vector<std::string> absolutePaths(std::string_view text) {
  std::vector<std::string> result;
  for (auto& path : splitPaths(text)) {
    if (path.front() == '/') {
      result.push_back(std::move(path));
    }
  }
  return result;
}

std::string directoryOrDefault(const char* variable, const std::string& home,
                               const char* fallback) {
  auto value = environmentValue(variable);
  if (!value.empty() && value.front() == '/') {
    return value;
  }
  return home.empty() ? std::string() : home + fallback;
}

}  // namespace

XdgDirs XdgDirs::fromEnvironment() {
  XdgDirs dirs;
  const std::string home = environmentValue("HOME");
  dirs.configHome = directoryOrDefault("XDG_CONFIG_HOME", home, "/.config");
  dirs.dataHome = directoryOrDefault("XDG_DATA_HOME", home, "/.local/share");
  dirs.configDirs = absolutePaths(environmentValue("XDG_CONFIG_DIRS"));
  if (dirs.configDirs.empty()) {
    dirs.configDirs = {"/etc/xdg"};
  }
  dirs.dataDirs = absolutePaths(environmentValue("XDG_DATA_DIRS"));
  if (dirs.dataDirs.empty()) {
    dirs.dataDirs = {"/usr/local/share", "/usr/share"};
  }
  for (auto desktop : splitPaths(environmentValue("XDG_CURRENT_DESKTOP"))) {
    for (auto& c : desktop) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    dirs.currentDesktops.push_back(std::move(desktop));
  }
  return dirs;
}

std::vector<std::string> XdgDirs::applicationDirs() const {
  std::vector<std::string> result;
  if (!dataHome.empty()) {
    result.push_back(dataHome + "/applications");
  }
  for (const auto& dir : dataDirs) {
    result.push_back(dir + "/applications");
  }
  return result;
}

std::vector<XdgDirs::MimeAppsFile> XdgDirs::mimeAppsFiles() const {
  std::vector<MimeAppsFile> files;
  const auto addDirectory = [&](const std::string& dir) {
    if (dir.empty()) {
      return;
    }
    for (const auto& desktop : currentDesktops) {
      files.push_back({dir + "/" + desktop + "-mimeapps.list", true});
    }
    files.push_back({dir + "/mimeapps.list", false});
  };
  addDirectory(configHome);
  for (const auto& dir : configDirs) {
    addDirectory(dir);
  }
  addDirectory(dataHome.empty() ? std::string() : dataHome + "/applications");
  for (const auto& dir : dataDirs) {
    addDirectory(dir + "/applications");
  }
  return files;
}

}  // namespace tonvara::mpris
