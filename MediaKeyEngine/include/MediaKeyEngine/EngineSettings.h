#pragma once

#include <optional>
#include <string_view>

namespace tonvara {

// What a key does while the music application is not running.
enum class WhenNotRunning { launchMusic, passThrough };

// The stored text form; persisted settings depend on these exact values.
constexpr std::string_view rawValue(WhenNotRunning value) noexcept {
  return value == WhenNotRunning::launchMusic ? "launchMusic" : "passThrough";
}

// Exact, case-sensitive, whole-string match; anything else yields nothing.
constexpr std::optional<WhenNotRunning> whenNotRunningFromRawValue(std::string_view text) noexcept {
  if (text == "launchMusic") {
    return WhenNotRunning::launchMusic;
  }
  if (text == "passThrough") {
    return WhenNotRunning::passThrough;
  }
  return std::nullopt;
}

// The pair of user settings pushed into the router. No defaults of its own: callers name both.
struct EngineSettings {
  constexpr EngineSettings(bool isEnabled, WhenNotRunning policy) noexcept
      : enabled(isEnabled), whenNotRunning(policy) {}

  bool enabled;
  WhenNotRunning whenNotRunning;
};

}  // namespace tonvara
