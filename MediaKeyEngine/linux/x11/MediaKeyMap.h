#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace tonvara::linux_x11 {

// One passive grab: a keycode with an exact modifier state.
struct KeyCombo {
  xcb_keycode_t keycode = 0;
  std::uint16_t modifiers = 0;
  friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

// Where the media keys sit in the keyboard mapping, and the grabs that catch them.
class MediaKeyMap {
 public:
  // The server's current keyboard and modifier mappings; empty when they cannot be read.
  static MediaKeyMap read(xcb_connection_t* connection);

  // The auxiliary-control key code (16 play, 17 next, 18 previous, 19 fast-forward, 20 rewind)
  // that a key event with this keycode and modifier state produces, if any.
  std::optional<std::int64_t> mediaKeyCode(xcb_keycode_t keycode, std::uint16_t state) const;
  // Every grab needed so the keys are caught with CapsLock and NumLock on or off.
  std::vector<KeyCombo> grabCombos() const;
  bool empty() const { return keys_.empty(); }

 private:
  struct MappedKey {
    xcb_keycode_t keycode;
    bool shifted;
    std::int64_t mediaKeyCode;
    friend bool operator==(const MappedKey&, const MappedKey&) = default;
  };
  std::vector<MappedKey> keys_;
  std::uint16_t numLockMask_ = 0;
};

}  // namespace tonvara::linux_x11
