#include "MprisTestSupport.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>


namespace tonvara::testing {

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = "/tmp/tonvara-mpris-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

void writeFile(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream file(path, std::ios::trunc);
  file << contents;
}

mpris::XdgDirs isolatedXdgDirs(const std::string& root) {
  mpris::XdgDirs dirs;
  dirs.configHome = root + "/config";
  dirs.configDirs = {root + "/etc"};
  dirs.dataHome = root + "/data";
  dirs.dataDirs = {root + "/share"};
  return dirs;
}

int zombieChildren() {
  const pid_t self = getpid();
  int zombies = 0;
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(process.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) {
      continue;
    }
    // pid (comm) state ppid ...: comm may hold spaces, so read after the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
      continue;
    }
    std::istringstream fields(line.substr(close + 1));
    char state = 0;
    pid_t parent = 0;
    fields >> state >> parent;
    if (parent == self && state == 'Z') {
      ++zombies;
    }
  }
  return zombies;
}

void MprisBusTest::SetUp() {
  if (!DbusSession::available() || !Mpv::available()) {
    GTEST_SKIP() << "dbus-daemon or mpv with its MPRIS plugin is not installed";
  }
  if (!canMakeTone()) {
    GTEST_SKIP() << "sox is not installed";
  }
  directory_ = std::make_unique<TemporaryDirectory>();
  bus_ = std::make_unique<DbusSession>(directory_->path(), busPolicy());
  auto tone = makeTone(directory_->path());
  ASSERT_TRUE(tone.has_value());
  tone_ = *tone;
  xdg_ = isolatedXdgDirs(directory_->path());
}

void MprisBusTest::TearDown() {
  if (bus_ && bus_->isRunning()) {
    for (const auto& name : bus_->names("org.mpris.MediaPlayer2.")) {
      if (const auto pid = bus_->ownerPid(name); pid && *pid > 0 && *pid != getpid()) {
        ::kill(*pid, SIGKILL);
      }
    }
  }
}

void MprisBusTest::installDefaultPlayer(const std::string& id, const std::string& body) {
  writeFile(xdg_.dataHome + "/applications/" + id, "[Desktop Entry]\n" + body);
  writeFile(xdg_.configHome + "/mimeapps.list", "[Default Applications]\naudio/mpeg=" + id + "\n");
}

std::string MprisBusTest::mpvExecLine(bool paused) const {
  std::string line;
  for (const auto& argument : Mpv::baseCommand()) {
    line += argument + " ";
  }
  if (paused) {
    line += "--pause ";
  }
  return line + tone_ + " %U";
}

std::unique_ptr<mpris::MprisApplicationPlatform> MprisBusTest::makePlatform() const {
  mpris::MprisApplicationPlatform::Options options;
  options.busAddress = bus_->address();
  options.xdgDirs = xdg_;
  return std::make_unique<mpris::MprisApplicationPlatform>(options);
}

std::unique_ptr<Mpv> MprisBusTest::startMpv(const std::vector<std::string>& extraArguments) const {
  auto arguments = extraArguments;
  arguments.push_back(tone_);
  return std::make_unique<Mpv>(bus_->address(), arguments, directory_->path() + "/mpv.log");
}

}  // namespace tonvara::testing
