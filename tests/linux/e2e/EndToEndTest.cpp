#include "EndToEndTest.h"

#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "Tone.h"

namespace tonvara::testing {

namespace {

constexpr std::string_view kMusic = MusicController::bundleID;

// "s" out of Metadata's a{sv} under `key`, on a connection of its own.
std::optional<std::string> metadataString(const std::string& address,
                                          const std::string& destination, const char* key) {
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) < 0) {
    return std::nullopt;
  }
  std::optional<std::string> result;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  if (sd_bus_set_address(bus, address.c_str()) >= 0 && sd_bus_set_bus_client(bus, 1) >= 0 &&
      sd_bus_start(bus) >= 0 &&
      sd_bus_call_method(bus, destination.c_str(), "/org/mpris/MediaPlayer2",
                         "org.freedesktop.DBus.Properties", "Get", &error, &reply, "ss",
                         "org.mpris.MediaPlayer2.Player", "Metadata") >= 0 &&
      sd_bus_message_enter_container(reply, 'v', "a{sv}") > 0 &&
      sd_bus_message_enter_container(reply, 'a', "{sv}") > 0) {
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
      const char* name = nullptr;
      if (sd_bus_message_read(reply, "s", &name) < 0) {
        break;
      }
      const char* value = nullptr;
      if (std::string_view(name) == key && sd_bus_message_read(reply, "v", "s", &value) > 0) {
        result = value;
      } else if (sd_bus_message_skip(reply, "v") < 0) {
        break;
      }
      sd_bus_message_exit_container(reply);
    }
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  sd_bus_close_unref(bus);
  return result;
}

}  // namespace

std::shared_ptr<EventTapPort> ObservedTapPlatform::createEventTap(
    EventTapLocation location, EventTapPlacement placement, EventTapOptions options, EventMask mask,
    EventTapCallBack callback, void* userInfo) {
  return inner_->createEventTap(location, placement, options, mask, callback, userInfo);
}

std::shared_ptr<RunLoopSource> ObservedTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& port) {
  return inner_->createRunLoopSource(port);
}

std::shared_ptr<RunLoop> ObservedTapPlatform::currentRunLoop() { return inner_->currentRunLoop(); }

void ObservedTapPlatform::enableTap(EventTapPort& port, bool enable) {
  inner_->enableTap(port, enable);
}

bool ObservedTapPlatform::isProcessTrusted() {
  const bool trusted = inner_->isProcessTrusted();
  lastTrust = trusted ? 1 : 0;
  ++trustChecks;
  return trusted;
}

std::optional<SystemDefinedEventFields> ObservedTapPlatform::systemDefinedFields(EventRef event) {
  return inner_->systemDefinedFields(event);
}

MediaKeyRouter::OnEvent Decisions::observer() {
  return [this](MediaKey key, bool taken) {
    std::lock_guard lock(mutex_);
    decisions_.emplace_back(key, taken);
  };
}

std::vector<std::pair<MediaKey, bool>> Decisions::all() const {
  std::lock_guard lock(mutex_);
  return decisions_;
}

std::size_t Decisions::count() const {
  std::lock_guard lock(mutex_);
  return decisions_.size();
}

void Decisions::clear() {
  std::lock_guard lock(mutex_);
  decisions_.clear();
}

void EndToEndTest::SetUp() {
  if (!XServer::isInstalled() || !DbusSession::available() || !Mpv::available() || !canMakeTone()) {
    GTEST_SKIP() << "needs Xvfb, dbus-daemon, mpv with its MPRIS plugin and sox";
  }
  directory_ = std::make_unique<TemporaryDirectory>();
  auto tone = makeTone(directory_->path());
  ASSERT_TRUE(tone.has_value());
  tone_ = *tone;
  xdg_ = privateXdgDirs();
  installMusicEntry("Type=Application\nName=mpv\nExec=" + mpvExecLine(false) + "\n");
  bus_ = std::make_unique<DbusSession>(directory_->path());
  server_ = std::make_unique<XServer>();
  keyboard_ = std::make_unique<XTestKeyboard>(server_->displayName());
  window_ = std::make_unique<TestWindow>(server_->displayName());
}

void EndToEndTest::TearDown() {
  EXPECT_TRUE(destroyRouter()) << "the router did not finish going away";
  musicPlatform_.reset();
  tapPlatform_.reset();
  // Players the engine started belong to this test as well.
  if (bus_ && bus_->isRunning()) {
    for (const auto& name : bus_->names("org.mpris.MediaPlayer2.")) {
      if (const auto pid = bus_->ownerPid(name); pid && *pid > 0 && *pid != getpid()) {
        ::kill(*pid, SIGKILL);
      }
    }
  }
  window_.reset();
  keyboard_.reset();
  server_.reset();
  bus_.reset();
  killRemainingChildren();
  directory_.reset();
}

void EndToEndTest::installMusicEntry(const std::string& body) {
  writeFile(xdg_.dataHome + "/applications/mpv.desktop", "[Desktop Entry]\n" + body);
  writeFile(xdg_.configHome + "/mimeapps.list", "[Default Applications]\naudio/mpeg=mpv.desktop\n");
}

std::string EndToEndTest::mpvExecLine(bool paused, const std::vector<std::string>& files) const {
  std::string line;
  for (const auto& argument : Mpv::baseCommand()) {
    line += argument + " ";
  }
  if (paused) {
    line += "--pause ";
  }
  for (const auto& file : files.empty() ? std::vector<std::string>{tone_} : files) {
    line += file + " ";
  }
  return line + "%U";
}

std::unique_ptr<Mpv> EndToEndTest::startPlayer(const std::vector<std::string>& options,
                                               const std::vector<std::string>& files) {
  auto arguments = options;
  if (files.empty()) {
    arguments.push_back(tone_);
  } else {
    arguments.insert(arguments.end(), files.begin(), files.end());
  }
  return std::make_unique<Mpv>(bus_->address(), arguments, directory_->path() + "/mpv.log");
}

std::string EndToEndTest::secondTrack() {
  const std::string path = directory_->path() + "/second.wav";
  std::filesystem::copy_file(tone_, path, std::filesystem::copy_options::overwrite_existing);
  return path;
}

void EndToEndTest::buildRouter(EngineSettings settings) {
  tapPlatform_ = std::make_shared<ObservedTapPlatform>(
      std::make_shared<linux_x11::X11EventTapPlatform>(server_->displayName()));
  mpris::MprisApplicationPlatform::Options options;
  options.busAddress = bus_->address();
  musicPlatform_ = std::make_shared<mpris::MprisApplicationPlatform>(options);
  auto platform = musicPlatform_;
  auto music = MusicController::create(
      std::make_shared<DispatchQueue>("com.tonvara.music", QualityOfService::userInitiated),
      [platform] { return platform->runningApplications(kMusic); },
      MusicController::makeDefaultLaunchApplication(
          platform, DispatchQueue::global(QualityOfService::userInitiated)),
      MusicController::makeDefaultSendCommand(platform,
                                              MusicController::PlayPauseAfterLaunch::play),
      [platform] { return platform->determinePermissionToAutomate(kMusic, false); },
      [platform] { return platform->isPlayerPlaying(kMusic).value_or(false); });
  router_ = std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(tapPlatform_),
                                             std::move(music));
  router_->setOnEvent(decisions_.observer());
}

bool EndToEndTest::destroyRouter() {
  if (!router_) {
    return true;
  }
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  std::thread destroyer([router = std::move(router_), done]() mutable {
    router.reset();
    done->set_value();
  });
  if (finished.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    destroyer.detach();  // a hang: leave it rather than hang the whole run
    return false;
  }
  destroyer.join();
  return true;
}

bool EndToEndTest::waitForMusicRunning(bool running) {
  return waitFor([&] { return router_->isMusicRunning() == running; }, kPatience);
}

std::vector<ReceivedKey> EndToEndTest::settle() {
  const auto marker = keyboard_->keycode(keysym::kA);
  keyboard_->tap(keysym::kA);
  EXPECT_TRUE(window_->waitForRelease(marker, std::chrono::seconds(5)))
      << "the marker key never reached the window";
  auto keys = window_->keys();
  window_->clear();
  std::erase_if(keys, [&](const ReceivedKey& key) { return key.keycode == marker; });
  return keys;
}

std::optional<std::string> EndToEndTest::playbackStatus() const {
  return bus_->playbackStatus(Mpv::kBusName);
}

bool EndToEndTest::waitForStatus(const std::string& status) {
  return waitFor([&] { return playbackStatus() == status; }, kPatience);
}

std::optional<std::string> EndToEndTest::currentTitle() const {
  return metadataString(bus_->address(), Mpv::kBusName, "xesam:title");
}

bool EndToEndTest::waitForTitle(const std::string& title) {
  return waitFor([&] { return currentTitle() == title; }, kPatience);
}

void killRemainingChildren() {
  const pid_t self = getpid();
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    const auto name = process.path().filename().string();
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    const pid_t pid = std::stoi(name);
    if (parentOf(pid) == self) {
      ::kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
}

std::optional<pid_t> parentOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) {
    return std::nullopt;
  }
  // pid (comm) state ppid ...: comm may hold spaces, so read after the last ')'.
  const auto close = line.rfind(')');
  if (close == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream fields(line.substr(close + 1));
  char state = 0;
  pid_t parent = 0;
  fields >> state >> parent;
  return parent;
}

int tapThreads() {
  // Linux allows 15 characters; the engine keeps the tail of the name.
  const std::string_view full = MediaKeyTap::kThreadName;
  const std::string name(full.substr(full.size() - 15));
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string line;
    count += std::getline(comm, line) && line == name ? 1 : 0;
  }
  return count;
}

}  // namespace tonvara::testing
