// Another client holding a media key, and what trust and tap installation make of it.
#include <gtest/gtest.h>

#include "X11TestFixture.h"

namespace tonvara::testing {
namespace {

class GrabConflictTest : public X11Test {
 protected:
  bool allMediaKeysFree() {
    for (const auto key :
         {keysym::kPlay, keysym::kNext, keysym::kPrevious, keysym::kForward, keysym::kRewind}) {
      if (!keyboard_->isFreeToGrab(key)) {
        return false;
      }
    }
    return true;
  }
};

TEST_F(GrabConflictTest, FreeKeysReadAsTrustedAndTheProbeLeavesNoGrab) {
  EXPECT_TRUE(platform_->isProcessTrusted());
  EXPECT_TRUE(allMediaKeysFree());
}

TEST_F(GrabConflictTest, AnotherClientsGrabRefusesTheTapAndLeavesNoGrabOfOurs) {
  KeyGrabber shortcutDaemon(display(), keysym::kPlay);
  ASSERT_TRUE(shortcutDaemon.holdsGrab());

  EXPECT_FALSE(platform_->isProcessTrusted());
  MediaKeyTap tap(platform_);
  EXPECT_FALSE(tap.start());
  EXPECT_FALSE(tap.isInstalled());
  // Play is still the other client's; every key grabbed before the refusal was let go.
  EXPECT_FALSE(keyboard_->isFreeToGrab(keysym::kPlay));
  for (const auto key : {keysym::kNext, keysym::kPrevious, keysym::kForward, keysym::kRewind}) {
    EXPECT_TRUE(keyboard_->isFreeToGrab(key)) << "keysym " << std::hex << key;
  }

  shortcutDaemon.release();
  EXPECT_TRUE(platform_->isProcessTrusted());
  ASSERT_TRUE(tap.start());
  // Ours now, and holding them keeps the process trusted.
  EXPECT_FALSE(keyboard_->isFreeToGrab(keysym::kPlay));
  EXPECT_TRUE(platform_->isProcessTrusted());

  tap.stop();
  EXPECT_TRUE(allMediaKeysFree());
}

TEST_F(GrabConflictTest, AnXInput2GrabReadsAsUntrustedButLeavesTheCoreKeysFree) {
  KeyGrabber windowManager(display(), keysym::kNext, KeyGrabber::Kind::xinput2);
  ASSERT_TRUE(windowManager.holdsGrab());
  EXPECT_FALSE(platform_->isProcessTrusted());
  // The probe let go of its own grabs.
  EXPECT_TRUE(allMediaKeysFree());
  windowManager.release();
  EXPECT_TRUE(platform_->isProcessTrusted());
}

TEST_F(GrabConflictTest, AnUnreachableDisplayIsNeitherTrustedNorTapped) {
  linux_x11::X11EventTapPlatform nowhere(std::string(":4095"));
  EXPECT_FALSE(nowhere.isProcessTrusted());
  MediaKeyTap tap(std::make_shared<linux_x11::X11EventTapPlatform>(std::string(":4095")));
  EXPECT_FALSE(tap.start());
}

}  // namespace
}  // namespace tonvara::testing
