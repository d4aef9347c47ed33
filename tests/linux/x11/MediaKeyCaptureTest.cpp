// Media keys typed on a private X server, caught through a real MediaKeyTap.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "X11TestFixture.h"

namespace tonvara::testing {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class MediaKeyCaptureTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    if (IsSkipped()) {
      return;
    }
    tap_ = std::make_unique<MediaKeyTap>(platform_);
    tap_->setOnKeyDown(decider_.callback());
    ASSERT_TRUE(tap_->start());
  }
  void TearDown() override {
    tap_.reset();
    X11Test::TearDown();
  }

  bool waitForKeyDowns(std::size_t count) {
    return waitFor([&] { return decider_.count() >= count; }, std::chrono::seconds(5));
  }

  KeyDecider decider_;
  std::unique_ptr<MediaKeyTap> tap_;
};

TEST_F(MediaKeyCaptureTest, TakenKeyNeverReachesTheFocusedWindow) {
  decider_.take = true;
  keyboard_->tap(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  // One call: the key-up went through the tap without reaching onKeyDown.
  EXPECT_THAT(decider_.keys(), ElementsAre(MediaKey::playPause));
}

TEST_F(MediaKeyCaptureTest, PassedKeyReachesTheWindowWithItsRelease) {
  decider_.take = false;
  const auto play = keyboard_->keycode(keysym::kPlay);
  keyboard_->tap(keysym::kPlay);
  const auto keys = settle();
  ASSERT_THAT(keys, SizeIs(2));
  EXPECT_TRUE(keys[0].press);
  EXPECT_EQ(keys[0].keycode, play);
  EXPECT_FALSE(keys[1].press);
  EXPECT_EQ(keys[1].keycode, play);
  EXPECT_THAT(decider_.keys(), ElementsAre(MediaKey::playPause));
}

TEST_F(MediaKeyCaptureTest, EachNewPressIsDecidedAfresh) {
  decider_.take = false;
  keyboard_->tap(keysym::kNext);
  EXPECT_THAT(settle(), SizeIs(2));
  decider_.take = true;
  keyboard_->tap(keysym::kNext);
  EXPECT_THAT(settle(), IsEmpty());
  decider_.take = false;
  keyboard_->tap(keysym::kNext);
  EXPECT_THAT(settle(), SizeIs(2));
  EXPECT_THAT(decider_.keys(), ElementsAre(MediaKey::next, MediaKey::next, MediaKey::next));
}

TEST_F(MediaKeyCaptureTest, FastForwardAndRewindActAsNextAndPrevious) {
  keyboard_->tap(keysym::kPlay);
  keyboard_->tap(keysym::kNext);
  keyboard_->tap(keysym::kPrevious);
  keyboard_->tap(keysym::kForward);
  keyboard_->tap(keysym::kRewind);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_THAT(decider_.keys(), ElementsAre(MediaKey::playPause, MediaKey::next, MediaKey::previous,
                                           MediaKey::next, MediaKey::previous));
}

TEST_F(MediaKeyCaptureTest, LockKeysDoNotStopTheCapture) {
  const auto numLock = keyboard_->keycode(keysym::kNumLock);
  const auto capsLock = keyboard_->keycode(keysym::kCapsLock);
  const auto lockKeys = [&](const std::vector<ReceivedKey>& keys) {
    return only(keys, numLock).size() + only(keys, capsLock).size();
  };

  keyboard_->tap(keysym::kNumLock);
  keyboard_->tap(keysym::kPlay);
  auto keys = settle();
  EXPECT_EQ(lockKeys(keys), keys.size()) << "with NumLock on";

  keyboard_->tap(keysym::kCapsLock);
  keyboard_->tap(keysym::kPlay);
  keys = settle();
  EXPECT_EQ(lockKeys(keys), keys.size()) << "with NumLock and CapsLock on";

  keyboard_->tap(keysym::kNumLock);
  keyboard_->tap(keysym::kPlay);
  keys = settle();
  EXPECT_EQ(lockKeys(keys), keys.size()) << "with CapsLock on";
  keyboard_->tap(keysym::kCapsLock);
  settle();

  EXPECT_THAT(decider_.keys(), SizeIs(3));
  EXPECT_THAT(decider_.keys(), Each(MediaKey::playPause));
}

TEST_F(MediaKeyCaptureTest, OtherKeysAndModifiedMediaKeysAreUntouched) {
  const auto z = keyboard_->keycode(keysym::kZ);
  const auto stop = keyboard_->keycode(keysym::kStop);
  const auto play = keyboard_->keycode(keysym::kPlay);
  keyboard_->tap(keysym::kZ);
  keyboard_->tap(keysym::kStop);
  // Shift+Play is another key on this keyboard (pause): not ours to take.
  keyboard_->press(keysym::kShiftLeft);
  keyboard_->tap(keysym::kPlay);
  keyboard_->release(keysym::kShiftLeft);
  const auto keys = settle();
  EXPECT_THAT(only(keys, z), SizeIs(2));
  EXPECT_THAT(only(keys, stop), SizeIs(2));
  EXPECT_THAT(only(keys, play), SizeIs(2));
  EXPECT_THAT(decider_.keys(), IsEmpty());
}

TEST_F(MediaKeyCaptureTest, RepeatsOfATakenKeyStayWithTheTap) {
  keyboard_->enableAutoRepeat();
  decider_.take = true;
  keyboard_->press(keysym::kPlay);
  ASSERT_TRUE(waitForKeyDowns(3)) << "no auto-repeat reached the tap";
  // A changed answer cannot hand the rest of a taken press to the window.
  decider_.take = false;
  ASSERT_TRUE(waitForKeyDowns(5));
  keyboard_->release(keysym::kPlay);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_THAT(decider_.keys(), Each(MediaKey::playPause));
}

TEST_F(MediaKeyCaptureTest, RepeatsOfAPassedKeyFollowItsPress) {
  keyboard_->enableAutoRepeat();
  const auto play = keyboard_->keycode(keysym::kPlay);
  decider_.take = false;
  keyboard_->press(keysym::kPlay);
  ASSERT_TRUE(waitForKeyDowns(3)) << "no auto-repeat reached the tap";
  // The window saw the press: it must also see the repeats and the release.
  decider_.take = true;
  ASSERT_TRUE(waitForKeyDowns(5));
  keyboard_->release(keysym::kPlay);
  // The window reads auto-repeat the classic way: a release and a press for each repeat.
  const auto keys = settle();
  ASSERT_GE(keys.size(), 6U);
  EXPECT_THAT(only(keys, play), SizeIs(keys.size()));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].press, i % 2 == 0) << "event " << i;
  }
  EXPECT_FALSE(keys.back().press);
  EXPECT_THAT(decider_.keys(), Each(MediaKey::playPause));
}

TEST_F(MediaKeyCaptureTest, KeysMovedInTheKeyboardMappingAreCaughtAtTheirNewPlace) {
  const auto z = keyboard_->keycode(keysym::kZ);
  keyboard_->remap(z, keysym::kNext);
  // The tap re-grabs when it hears of the change; until then the key still reaches the window.
  const bool caught = waitFor(
      [&] {
        keyboard_->pressKeycode(z);
        keyboard_->releaseKeycode(z);
        settle();
        return decider_.count() > 0;
      },
      std::chrono::seconds(5));
  ASSERT_TRUE(caught);
  keyboard_->pressKeycode(z);
  keyboard_->releaseKeycode(z);
  EXPECT_THAT(settle(), IsEmpty());
  EXPECT_THAT(decider_.keys(), ElementsAre(MediaKey::next, MediaKey::next));
}

}  // namespace
}  // namespace tonvara::testing
