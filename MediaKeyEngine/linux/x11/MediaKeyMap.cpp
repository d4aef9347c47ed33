#include "MediaKeyMap.h"

#include <algorithm>
#include <array>
#include <utility>

#include "XcbConnection.h"

namespace tonvara::linux_x11 {

namespace {

constexpr xcb_keysym_t kNumLockKeysym = 0xFF7F;

struct MediaKeysym {
  xcb_keysym_t keysym;
  std::int64_t mediaKeyCode;
};
constexpr std::array<MediaKeysym, 5> kMediaKeysyms{{
    {0x1008FF14, 16},  // XF86AudioPlay
    {0x1008FF17, 17},  // XF86AudioNext
    {0x1008FF16, 18},  // XF86AudioPrev
    {0x1008FF97, 19},  // XF86AudioForward
    {0x1008FF3E, 20},  // XF86AudioRewind
}};

std::optional<std::int64_t> mediaKeyCodeOf(xcb_keysym_t keysym) {
  for (const auto& media : kMediaKeysyms) {
    if (media.keysym == keysym) {
      return media.mediaKeyCode;
    }
  }
  return std::nullopt;
}

// The modifier bit that Num_Lock is bound to, or 0.
std::uint16_t findNumLockMask(xcb_connection_t* connection, xcb_keycode_t firstKeycode,
                              int keysymsPerKeycode, const std::vector<xcb_keysym_t>& keysyms) {
  XcbPtr<xcb_get_modifier_mapping_reply_t> reply(
      xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
  if (!reply || keysymsPerKeycode <= 0) {
    return 0;
  }
  const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
  const int perModifier = reply->keycodes_per_modifier;
  const auto columns = static_cast<std::size_t>(keysymsPerKeycode);
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int k = 0; k < perModifier; ++k) {
      const xcb_keycode_t keycode = keycodes[modifier * perModifier + k];
      if (keycode < firstKeycode) {
        continue;
      }
      const auto row = static_cast<std::size_t>(keycode - firstKeycode) * columns;
      for (std::size_t column = 0; column < columns && row + column < keysyms.size(); ++column) {
        if (keysyms[row + column] == kNumLockKeysym) {
          return static_cast<std::uint16_t>(1U << static_cast<unsigned>(modifier));
        }
      }
    }
  }
  return 0;
}

}  // namespace

MediaKeyMap MediaKeyMap::read(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  if (setup == nullptr) {
    return {};
  }
  const xcb_keycode_t first = setup->min_keycode;
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
  XcbPtr<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
      connection, xcb_get_keyboard_mapping(connection, first, count), nullptr));
  if (!reply) {
    return {};
  }
  const xcb_keysym_t* begin = xcb_get_keyboard_mapping_keysyms(reply.get());
  const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
  std::vector<xcb_keysym_t> keysyms(begin, begin + length);
  const int columns = reply->keysyms_per_keycode;
  const auto numLock = findNumLockMask(connection, first, columns, keysyms);
  return fromKeysyms(first, columns, keysyms, numLock);
}

MediaKeyMap MediaKeyMap::fromKeysyms(xcb_keycode_t firstKeycode, int keysymsPerKeycode,
                                     const std::vector<xcb_keysym_t>& keysyms,
                                     std::uint16_t numLockMask) {
  MediaKeyMap map;
  map.numLockMask_ = numLockMask;
  if (keysymsPerKeycode <= 0) {
    return map;
  }
  const auto columns = static_cast<std::size_t>(keysymsPerKeycode);
  for (std::size_t row = 0; (row + 1) * columns <= keysyms.size(); ++row) {
    const auto keycode = static_cast<unsigned>(firstKeycode) + row;
    if (keycode > 255) {
      break;
    }
    const xcb_keysym_t plain = keysyms[row * columns];
    // The core rule: with no second symbol, Shift gives the first one.
    const xcb_keysym_t shifted =
        columns > 1 && keysyms[row * columns + 1] != 0 ? keysyms[row * columns + 1] : plain;
    if (const auto code = mediaKeyCodeOf(plain)) {
      map.keys_.push_back({static_cast<xcb_keycode_t>(keycode), false, *code});
    }
    if (const auto code = mediaKeyCodeOf(shifted)) {
      map.keys_.push_back({static_cast<xcb_keycode_t>(keycode), true, *code});
    }
  }
  return map;
}

std::optional<std::int64_t> MediaKeyMap::mediaKeyCode(xcb_keycode_t keycode,
                                                      std::uint16_t state) const {
  const bool shifted = (state & XCB_MOD_MASK_SHIFT) != 0;
  for (const auto& key : keys_) {
    if (key.keycode == keycode && key.shifted == shifted) {
      return key.mediaKeyCode;
    }
  }
  return std::nullopt;
}

std::vector<KeyCombo> MediaKeyMap::grabCombos() const {
  std::vector<std::uint16_t> locks{0, XCB_MOD_MASK_LOCK};
  if (numLockMask_ != 0 && numLockMask_ != XCB_MOD_MASK_LOCK) {
    locks.push_back(numLockMask_);
    locks.push_back(static_cast<std::uint16_t>(numLockMask_ | XCB_MOD_MASK_LOCK));
  }
  std::vector<KeyCombo> combos;
  for (const auto& key : keys_) {
    for (const auto lock : locks) {
      const unsigned shift = key.shifted ? unsigned{XCB_MOD_MASK_SHIFT} : 0U;
      const KeyCombo combo{key.keycode, static_cast<std::uint16_t>(lock | shift)};
      if (std::find(combos.begin(), combos.end(), combo) == combos.end()) {
        combos.push_back(combo);
      }
    }
  }
  return combos;
}

}  // namespace tonvara::linux_x11
