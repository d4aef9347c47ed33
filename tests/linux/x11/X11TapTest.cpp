// Media keys typed on a private X server and caught by a real MediaKeyTap on the X11 platform.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <mutex>

#include "MediaKeyEngine/MediaKeyTap.h"
#include "MediaKeyEngineX11/X11EventTapPlatform.h"
#include "PrivateDesktop.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using namespace keysym;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Keys = std::vector<MediaKey>;

auto entries(const char* directory) {
  return std::distance(std::filesystem::directory_iterator(directory), {});
}

class X11TapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateDesktop::available(false)) {
      GTEST_SKIP() << "Xvfb is not installed";
    }
    desktop_ = std::make_unique<PrivateDesktop>(false);
    platform_ = std::make_shared<linux_x11::X11EventTapPlatform>(desktop_->display());
  }
  // A tap whose decision records each key and answers `take_`, after `stall_` if set.
  std::unique_ptr<MediaKeyTap> install() {
    auto tap = std::make_unique<MediaKeyTap>(platform_);
    tap->setOnKeyDown([this](MediaKey key) {
      std::this_thread::sleep_for(stall_.exchange(0ms));
      std::lock_guard lock(mutex_);
      decided_.push_back(key);
      return take_.load();
    });
    EXPECT_TRUE(tap->start());
    return tap;
  }
  Keys decided() {
    std::lock_guard lock(mutex_);
    return std::exchange(decided_, {});
  }
  bool waitForDecisions(std::size_t count) {
    return waitFor([&] { return std::lock_guard(mutex_), decided_.size() >= count; }, 5s);
  }
  // What the window received of `key` since the last look.
  std::vector<bool> windowGot(xcb_keysym_t key) {
    return desktop_->settle(keyboard().keycode(key));
  }
  XTestKeyboard& keyboard() { return desktop_->keyboard(); }
  bool mediaKeysFree() {
    return std::ranges::all_of(std::array{kPlay, kNext, kPrevious, kForward, kRewind},
                               [&](xcb_keysym_t key) { return keyboard().isFreeToGrab(key); });
  }

  std::unique_ptr<PrivateDesktop> desktop_;
  std::shared_ptr<linux_x11::X11EventTapPlatform> platform_;
  std::atomic<bool> take_{true};
  std::atomic<std::chrono::milliseconds> stall_{0ms};
  std::mutex mutex_;
  Keys decided_;
};

TEST_F(X11TapTest, EachPressIsTakenOrPassedWholeAndOnlyMediaKeysAreAsked) {
  // Locks toggled around the tap, a key held through it, the key, the answer, the questions.
  using Row = std::tuple<std::vector<xcb_keysym_t>, xcb_keysym_t, xcb_keysym_t, bool, Keys>;
  const std::vector<Row> rows = {
      {{}, 0, kPlay, true, {MediaKey::playPause}},
      {{}, 0, kPlay, false, {MediaKey::playPause}},
      {{}, 0, kNext, true, {MediaKey::next}},
      {{}, 0, kPrevious, true, {MediaKey::previous}},
      {{}, 0, kForward, true, {MediaKey::next}},
      {{}, 0, kRewind, true, {MediaKey::previous}},
      {{}, 0, kNext, false, {MediaKey::next}},
      {{kNumLock}, 0, kPlay, true, {MediaKey::playPause}},
      {{kCapsLock}, 0, kNext, true, {MediaKey::next}},
      {{kNumLock, kCapsLock}, 0, kPrevious, true, {MediaKey::previous}},
      {{}, 0, kZ, true, {}},
      {{}, 0, kStop, true, {}},
      {{}, kShift, kPlay, true, {}},  // Shift+Play is another key (pause)
  };
  const auto tap = install();
  for (const auto& [locks, held, key, take, asked] : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << key << " held " << held << " take " << take);
    take_ = take;
    for (const auto lock : locks) {
      keyboard().tap(lock);
    }
    if (held != 0) {
      keyboard().press(held);
    }
    keyboard().tap(key);
    if (held != 0) {
      keyboard().release(held);
    }
    for (const auto lock : locks) {
      keyboard().tap(lock);
    }
    const bool taken = take && !asked.empty();
    EXPECT_EQ(windowGot(key), taken ? std::vector<bool>() : std::vector<bool>({true, false}));
    EXPECT_EQ(decided(), asked) << "one question per press, none for its release";
  }
}

TEST_F(X11TapTest, RepeatsAndReleaseFollowThePressAndKeymapChangesAreFollowed) {
  const auto tap = install();
  for (const bool first : {true, false}) {
    take_ = first;
    keyboard().press(kPlay);
    ASSERT_TRUE(waitForDecisions(3)) << "no auto-repeat reached the tap";
    take_ = !first;  // a changed answer must not split the press
    ASSERT_TRUE(waitForDecisions(5));
    keyboard().release(kPlay);
    const auto got = windowGot(kPlay);
    // The window reads auto-repeat the classic way: a release and a press for each repeat.
    EXPECT_TRUE(first ? got.empty() : got.size() >= 6 && got.size() % 2 == 0) << got.size();
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i], i % 2 == 0);
    }
    EXPECT_THAT(decided(), Each(MediaKey::playPause));
  }
  const auto z = keyboard().keycode(kZ);
  keyboard().remap(z, kNext);
  ASSERT_TRUE(waitFor(
      [&] {
        keyboard().send(XCB_KEY_PRESS, z);
        keyboard().send(XCB_KEY_RELEASE, z);
        return desktop_->settle().empty();
      },
      5s));
  EXPECT_THAT(decided(), Each(MediaKey::next));
}

TEST_F(X11TapTest, AStalledDecisionHoldsTheKeyboardNoLongerThanTheBudget) {
  const auto tap = install();
  stall_ = 2000ms;
  const auto pressed = std::chrono::steady_clock::now();
  keyboard().tap(kPlay);
  // Passed for want of an answer: the late "take" is dropped.
  ASSERT_TRUE(keyboard().waitForRelease(keyboard().keycode(kPlay), 1s));
  EXPECT_LT(std::chrono::steady_clock::now() - pressed, 1000ms);
  // The keyboard keeps working, media keys included, while the decision is still stalled.
  keyboard().tap(kNext);
  EXPECT_EQ(windowGot(kNext), std::vector<bool>({true, false}));
  EXPECT_LT(std::chrono::steady_clock::now() - pressed, 1500ms);
  ASSERT_TRUE(waitForDecisions(1));
  keyboard().tap(kNext);
  EXPECT_THAT(windowGot(kNext), IsEmpty());
  EXPECT_THAT(decided(), ElementsAre(MediaKey::playPause, MediaKey::next));
}

TEST_F(X11TapTest, AnotherClientsGrabMeansUntrustedAndLeavesNoGrabOfOurs) {
  for (const bool xinput2 : {false, true}) {
    XTestKeyboard daemon(desktop_->display(), false);
    ASSERT_TRUE(daemon.grab(kNext, xinput2));
    EXPECT_FALSE(platform_->isProcessTrusted());
    MediaKeyTap tap(platform_);
    // An XInput2 grab does not collide with core ones; it only shows in trust.
    EXPECT_EQ(tap.start(), xinput2);
    tap.stop();
    for (const auto key : {kPlay, kPrevious, kForward, kRewind}) {
      EXPECT_TRUE(keyboard().isFreeToGrab(key)) << xinput2 << std::hex << key;
    }
    daemon.ungrab(kNext, xinput2);
    EXPECT_TRUE(platform_->isProcessTrusted());
    ASSERT_TRUE(tap.start());
    EXPECT_FALSE(keyboard().isFreeToGrab(kNext));
    EXPECT_TRUE(platform_->isProcessTrusted()) << "holding the keys ourselves";
    tap.stop();
    EXPECT_TRUE(mediaKeysFree());
  }
  EXPECT_FALSE(linux_x11::X11EventTapPlatform(":4095").isProcessTrusted());
  EXPECT_FALSE(MediaKeyTap(std::make_shared<linux_x11::X11EventTapPlatform>(":4095")).start());
}

TEST_F(X11TapTest, StartStopCyclesAndServerLossLeaveNoGrabThreadOrConnection) {
  std::thread([&] {
    const auto loop = platform_->currentRunLoop();
    loop->stop();
    loop->run();  // hangs if a stop before the run was lost
  }).join();
  const auto threads = entries("/proc/self/task");
  const auto files = entries("/proc/self/fd");
  {
    const auto tap = install();
    for (int cycle = 0; cycle < 50; ++cycle) {
      tap->stop();
      ASSERT_TRUE(tap->start()) << "cycle " << cycle;
    }
    keyboard().tap(kNext);
    EXPECT_THAT(windowGot(kNext), IsEmpty());
    EXPECT_THAT(decided(), ElementsAre(MediaKey::next));
    tap->stop();
    EXPECT_TRUE(mediaKeysFree());
  }
  EXPECT_EQ(entries("/proc/self/task"), threads);
  EXPECT_EQ(entries("/proc/self/fd"), files);

  // Switched off and on, then the server goes: one switch-off notice, no trust, and the loop
  // still ends with its reader.
  std::atomic<int> notices{0};
  const auto port = platform_->createEventTap(
      EventTapLocation::hidEventTap, EventTapPlacement::headInsertEventTap,
      EventTapOptions::defaultTap, kSystemDefinedEventMask,
      [](std::uint32_t type, EventRef event, void* count) {
        *static_cast<std::atomic<int>*>(count) += type == kEventTapDisabledByUserInput ? 1 : 0;
        return event;
      },
      &notices);
  ASSERT_TRUE(port);
  std::promise<std::shared_ptr<RunLoop>> started;
  std::thread thread([&] {
    const auto loop = platform_->currentRunLoop();
    loop->addSource(platform_->createRunLoopSource(port));
    started.set_value(loop);
    loop->run();
  });
  const auto loop = started.get_future().get();
  platform_->enableTap(*port, false);  // as the system switches a tap off: no grab held
  EXPECT_TRUE(keyboard().isFreeToGrab(kPlay));
  platform_->enableTap(*port, true);
  EXPECT_FALSE(keyboard().isFreeToGrab(kPlay));
  desktop_->killServer();
  EXPECT_TRUE(waitFor([&] { return notices > 0; }, 5s));
  EXPECT_FALSE(platform_->isProcessTrusted());
  platform_->enableTap(*port, true);  // harmless on a dead connection
  loop->stop();
  thread.join();
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(entries("/proc/self/task"), threads);
}

}  // namespace
}  // namespace tonvara::testing
