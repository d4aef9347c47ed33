#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "MediaKeyEngine/EngineSettings.h"
#include "MediaKeyEngine/MediaKey.h"

namespace tonvara {
namespace {

TEST(MediaKey, MapsTheFiveAuxiliaryCodesAndNothingElse) {
  EXPECT_EQ(mediaKeyFromKeyCode(16), MediaKey::playPause);
  EXPECT_EQ(mediaKeyFromKeyCode(17), MediaKey::next);
  EXPECT_EQ(mediaKeyFromKeyCode(18), MediaKey::previous);
  EXPECT_EQ(mediaKeyFromKeyCode(19), MediaKey::next);
  EXPECT_EQ(mediaKeyFromKeyCode(20), MediaKey::previous);
  for (const std::int64_t code :
       {std::int64_t{15}, std::int64_t{21}, std::int64_t{0}, std::int64_t{-1},
        std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
    EXPECT_FALSE(mediaKeyFromKeyCode(code).has_value()) << code;
  }
}

TEST(MediaKey, DebugNames) {
  EXPECT_EQ(debugName(MediaKey::playPause), "PLAY/PAUSE");
  EXPECT_EQ(debugName(MediaKey::next), "NEXT");
  EXPECT_EQ(debugName(MediaKey::previous), "PREVIOUS");
}

TEST(WhenNotRunning, RawValuesRoundTripExactly) {
  for (const auto value : {WhenNotRunning::launchMusic, WhenNotRunning::passThrough}) {
    EXPECT_EQ(whenNotRunningFromRawValue(rawValue(value)), value);
  }
  EXPECT_EQ(rawValue(WhenNotRunning::launchMusic), "launchMusic");
  EXPECT_EQ(rawValue(WhenNotRunning::passThrough), "passThrough");
  for (const char* text : {"LaunchMusic", "passthrough", " passThrough", "passThrough ", ""}) {
    EXPECT_FALSE(whenNotRunningFromRawValue(text).has_value()) << '"' << text << '"';
  }
}

TEST(EngineSettings, CopiesAreIndependent) {
  EngineSettings original(true, WhenNotRunning::passThrough);
  EngineSettings copy = original;
  copy.enabled = false;
  copy.whenNotRunning = WhenNotRunning::launchMusic;
  EXPECT_FALSE(copy.enabled);
  EXPECT_TRUE(original.enabled);
  EXPECT_EQ(original.whenNotRunning, WhenNotRunning::passThrough);
}

}  // namespace
}  // namespace tonvara
