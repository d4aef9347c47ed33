#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tonvara {

// The three keys the engine acts on; fast-forward and rewind fold onto next and previous.
enum class MediaKey { playPause, next, previous };

// Maps an auxiliary-control key code (16 play, 17 next, 18 previous, 19 fast, 20 rewind).
constexpr std::optional<MediaKey> mediaKeyFromKeyCode(std::int64_t keyCode) noexcept {
  // One unsigned comparison rejects everything below 16 (negatives included) and above 20.
  const std::uint64_t offset = static_cast<std::uint64_t>(keyCode) - 16U;
  if (offset >= 5U) {
    return std::nullopt;
  }
  constexpr MediaKey byOffset[] = {MediaKey::playPause, MediaKey::next, MediaKey::previous,
                                   MediaKey::next, MediaKey::previous};
  return byOffset[offset];
}

// Diagnostic text; nothing depends on it.
constexpr std::string_view debugName(MediaKey key) noexcept {
  switch (key) {
    case MediaKey::playPause:
      return "PLAY/PAUSE";
    case MediaKey::next:
      return "NEXT";
    case MediaKey::previous:
      return "PREVIOUS";
  }
  return "";
}

}  // namespace tonvara
