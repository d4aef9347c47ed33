#include "MprisTestSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "Tone.h"
#include "mpris/DesktopApps.h"

namespace tonvara::testing {

TemporaryDirectory::TemporaryDirectory() : path_("/tmp/tonvara-mpris-XXXXXX") {
  if (mkdtemp(path_.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

void writeFile(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::trunc) << contents;
}

bool hasZombieChild() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

const XdgDirs& privateXdgDirs() {
  static const TemporaryDirectory root;
  static const XdgDirs dirs = [] {
    setenv("XDG_CONFIG_HOME", (root.path() + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root.path() + "/etc").c_str(), 1);
    setenv("XDG_DATA_HOME", (root.path() + "/data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (root.path() + "/share").c_str(), 1);
    return XdgDirs{root.path() + "/config", root.path() + "/data"};
  }();
  return dirs;
}

FakePlayer::FakePlayer(const std::string& address, std::vector<std::string> names_,
                       std::string entry_, std::string activatable)
    : names(std::move(names_)), entry(std::move(entry_)) {
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 ||
      sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
    throw std::runtime_error("the fake player cannot reach the bus");
  }
  const auto onMessage = [](sd_bus_message* m, void* self, sd_bus_error*) {
    return static_cast<FakePlayer*>(self)->handle(m);
  };
  sd_bus_add_filter(bus, nullptr, onMessage, this);
  for (const auto& name : activatable.empty() ? names : std::vector{activatable}) {
    sd_bus_request_name(bus, name.c_str(), 0);
  }
  thread = std::thread([this, bus] {
    while (!stopping) {
      while (sd_bus_process(bus, nullptr) > 0) {
      }
      sd_bus_wait(bus, 20'000);
    }
    sd_bus_close_unref(bus);
  });
}

FakePlayer::~FakePlayer() {
  stopping = true;
  thread.join();
}

int FakePlayer::handle(sd_bus_message* message) {
  const char* interface = "";
  const char* property = "";
  if (sd_bus_message_is_method_call(message, "org.freedesktop.Application", "Activate") > 0) {
    ++activations;
    for (const auto& name : names) {
      sd_bus_request_name(sd_bus_message_get_bus(message), name.c_str(), 0);
    }
    sd_bus_reply_method_return(message, "");
  } else if (sd_bus_message_is_method_call(message, nullptr, "Get") <= 0 ||
             sd_bus_message_read(message, "ss", &interface, &property) < 0) {
    return 0;
  } else if (std::strcmp(property, "DesktopEntry") == 0 && !entry.empty()) {
    sd_bus_reply_method_return(message, "v", "s", entry.c_str());
  } else if (std::strcmp(property, "Identity") != 0) {
    sd_bus_reply_method_errorf(message, SD_BUS_ERROR_UNKNOWN_PROPERTY, "no such property");
  } else if (++identityCalls, identity == fail) {
    sd_bus_reply_method_errorf(message, SD_BUS_ERROR_FAILED, "busy");
  } else if (identity == answer) {
    sd_bus_reply_method_return(message, "v", "s", "Fake");
  }  // never: no reply, the caller waits out its timeout
  return 1;
}

void MprisBusTest::SetUp() {
  if (!DbusSession::available() || !Mpv::available() || !canMakeTone()) {
    GTEST_SKIP() << "needs dbus-daemon, mpv with its MPRIS plugin and sox";
  }
  privateXdgDirs();
  directory_ = std::make_unique<TemporaryDirectory>();
  bus_ = std::make_unique<DbusSession>(
      directory_->path(), std::string("<deny send_destination=\"") + kDeniedName + "\"/>");
  tone_ = makeTone(directory_->path()).value_or("");
  ASSERT_FALSE(tone_.empty());
}

void MprisBusTest::TearDown() {
  for (const auto& name :
       bus_ ? bus_->names("org.mpris.MediaPlayer2.") : std::vector<std::string>{}) {
    if (const auto pid = bus_->ownerPid(name); pid && *pid > 0 && *pid != getpid()) {
      ::kill(*pid, SIGKILL);
    }
  }
}

std::string MprisBusTest::installDefaultPlayer(const std::string& id, const std::string& body) {
  const auto& xdg = privateXdgDirs();
  std::filesystem::remove_all(xdg.dataHome + "/applications");
  const std::string path = xdg.dataHome + "/applications/" + id;
  writeFile(path, "[Desktop Entry]\n" + body);
  writeFile(xdg.configHome + "/mimeapps.list", "[Default Applications]\naudio/mpeg=" + id + "\n");
  // GIO notices changed files a moment later (an entry it refuses never shows).
  waitFor(
      [&] {
        return mpris::defaultApplicationFor("audio/mpeg").value_or(mpris::DesktopApp{}).path ==
               path;
      },
      std::chrono::milliseconds(300));
  return path;
}

std::string MprisBusTest::mpvExecLine(bool paused) const {
  std::string line;
  for (const auto& argument : Mpv::baseCommand()) {
    line += argument + " ";
  }
  return line + (paused ? "--pause " : "") + tone_ + " %U";
}

std::shared_ptr<mpris::MprisApplicationPlatform> MprisBusTest::makePlatform() const {
  mpris::MprisApplicationPlatform::Options options;
  options.busAddress = bus_->address();
  return std::make_shared<mpris::MprisApplicationPlatform>(options);
}

}  // namespace tonvara::testing
