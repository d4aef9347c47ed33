#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tonvara::testing {

// A directory under /tmp removed with everything in it when the object goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    if (mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  }
  ~TemporaryDirectory() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_ = "/tmp/tonvara-mpris-XXXXXX";
};

inline void writeFile(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::trunc) << contents;
}

// The process's XDG directories, set on first use (GIO reads XDG_* once per process).
struct XdgDirs {
  std::string configHome, dataHome;
};
inline const XdgDirs& privateXdgDirs() {
  static const TemporaryDirectory root;
  static const XdgDirs dirs = [] {
    for (const char* name : {"CONFIG_HOME", "CONFIG_DIRS", "DATA_HOME", "DATA_DIRS"}) {
      setenv((std::string("XDG_") + name).c_str(), (root.path() + "/" + name).c_str(), 1);
    }
    return XdgDirs{root.path() + "/CONFIG_HOME", root.path() + "/DATA_HOME"};
  }();
  return dirs;
}

}  // namespace tonvara::testing
