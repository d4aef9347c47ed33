#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "MediaKeyEngine/MediaKey.h"
#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "TestWindow.h"
#include "XServer.h"
#include "XTestKeyboard.h"

namespace tonvara::testing {

// Stands in for the router: records every key-down and answers with `take`.
class KeyDecider {
 public:
  std::atomic<bool> take{true};

  MediaKeyTap::OnKeyDown callback();
  std::vector<MediaKey> keys() const;
  std::size_t count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<MediaKey> keys_;
};

// A private X server with a focused window and an XTest keyboard, torn down in order.
class X11Test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const std::string& display() const { return server_->displayName(); }
  // Types a marker key and waits until the window has it: every key typed before has then
  // been decided and delivered. Returns what the window received before the marker, and
  // forgets it.
  std::vector<ReceivedKey> settle();
  // Keys the window received, of one keycode only.
  static std::vector<ReceivedKey> only(const std::vector<ReceivedKey>& keys, xcb_keycode_t keycode);

  std::unique_ptr<XServer> server_;
  std::unique_ptr<XTestKeyboard> keyboard_;
  std::unique_ptr<TestWindow> window_;
  std::shared_ptr<linux_x11::X11EventTapPlatform> platform_;
};

// A tap made straight from the platform and run on a thread of its own, as MediaKeyTap does,
// for behaviour the tap hides: every event type, and switching the tap off and on.
class DirectTap {
 public:
  using OnEvent = std::function<bool(std::uint32_t type, std::optional<SystemDefinedEventFields>)>;

  DirectTap(std::shared_ptr<EventTapPlatform> platform, OnEvent onEvent);
  ~DirectTap();

  bool installed() const { return port_ != nullptr; }
  void setEnabled(bool enable) { platform_->enableTap(*port_, enable); }
  // Stops the loop and waits for its thread.
  void stop();

 private:
  static EventRef callBack(std::uint32_t type, EventRef event, void* userInfo);

  std::shared_ptr<EventTapPlatform> platform_;
  OnEvent onEvent_;
  std::shared_ptr<EventTapPort> port_;
  std::shared_ptr<RunLoop> loop_;
  std::thread thread_;
};

// Threads of this process.
int threadCount();
// Open file descriptors of this process.
int openFileCount();

}  // namespace tonvara::testing
