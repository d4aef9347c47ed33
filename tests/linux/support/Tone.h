#pragma once

#include <optional>
#include <string>

namespace tonvara::testing {

// A stereo 440 Hz sine of `seconds` written by sox into `directory`; its path, or nothing.
std::optional<std::string> makeTone(const std::string& directory, int seconds = 30);
bool canMakeTone();

}  // namespace tonvara::testing
