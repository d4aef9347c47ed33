#include "X11TestFixture.h"

#include <filesystem>
#include <future>
#include <iterator>

namespace tonvara::testing {

MediaKeyTap::OnKeyDown KeyDecider::callback() {
  return [this](MediaKey key) {
    {
      std::lock_guard lock(mutex_);
      keys_.push_back(key);
    }
    return take.load();
  };
}

std::vector<MediaKey> KeyDecider::keys() const {
  std::lock_guard lock(mutex_);
  return keys_;
}

std::size_t KeyDecider::count() const {
  std::lock_guard lock(mutex_);
  return keys_.size();
}

void X11Test::SetUp() {
  if (!XServer::isInstalled()) {
    GTEST_SKIP() << "Xvfb is not installed";
  }
  server_ = std::make_unique<XServer>();
  keyboard_ = std::make_unique<XTestKeyboard>(display());
  window_ = std::make_unique<TestWindow>(display());
  platform_ = std::make_shared<linux_x11::X11EventTapPlatform>(display());
}

void X11Test::TearDown() {
  platform_.reset();
  window_.reset();
  keyboard_.reset();
  server_.reset();
}

std::vector<ReceivedKey> X11Test::settle() {
  const auto marker = keyboard_->keycode(keysym::kA);
  keyboard_->tap(keysym::kA);
  EXPECT_TRUE(window_->waitForRelease(marker, std::chrono::seconds(5)))
      << "the marker key never reached the window";
  auto keys = window_->keys();
  window_->clear();
  std::erase_if(keys, [&](const ReceivedKey& key) { return key.keycode == marker; });
  return keys;
}

std::vector<ReceivedKey> X11Test::only(const std::vector<ReceivedKey>& keys,
                                       xcb_keycode_t keycode) {
  std::vector<ReceivedKey> result;
  std::copy_if(keys.begin(), keys.end(), std::back_inserter(result),
               [&](const ReceivedKey& key) { return key.keycode == keycode; });
  return result;
}

DirectTap::DirectTap(std::shared_ptr<EventTapPlatform> platform, OnEvent onEvent)
    : platform_(std::move(platform)), onEvent_(std::move(onEvent)) {
  port_ = platform_->createEventTap(
      EventTapLocation::hidEventTap, EventTapPlacement::headInsertEventTap,
      EventTapOptions::defaultTap, kSystemDefinedEventMask, &DirectTap::callBack, this);
  if (!port_) {
    return;
  }
  auto source = platform_->createRunLoopSource(port_);
  std::promise<std::shared_ptr<RunLoop>> started;
  auto loop = started.get_future();
  thread_ = std::thread([this, source, &started] {
    auto runLoop = platform_->currentRunLoop();
    runLoop->addSource(source);
    platform_->enableTap(*port_, true);
    started.set_value(runLoop);
    runLoop->run();
  });
  loop_ = loop.get();
}

DirectTap::~DirectTap() { stop(); }

void DirectTap::stop() {
  if (loop_) {
    loop_->stop();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

EventRef DirectTap::callBack(std::uint32_t type, EventRef event, void* userInfo) {
  auto* self = static_cast<DirectTap*>(userInfo);
  std::optional<SystemDefinedEventFields> fields;
  if (type == kSystemDefinedEventType) {
    fields = self->platform_->systemDefinedFields(event);
  }
  return self->onEvent_(type, fields) ? nullptr : event;
}

int threadCount() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

int openFileCount() {
  const std::filesystem::directory_iterator files("/proc/self/fd");
  return static_cast<int>(std::distance(begin(files), end(files)));
}

}  // namespace tonvara::testing
