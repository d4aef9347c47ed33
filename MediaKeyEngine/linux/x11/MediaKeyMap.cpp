#include "MediaKeyMap.h"

#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <array>
#include <memory>

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

struct KeySymbolsFree {
  void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsFree>;

// Every keycode that produces `keysym` in some column; empty when the mapping cannot be read.
std::vector<xcb_keycode_t> keycodesOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
  std::vector<xcb_keycode_t> result;
  const XcbPtr<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
  for (const xcb_keycode_t* code = codes.get(); code != nullptr && *code != XCB_NO_SYMBOL; ++code) {
    result.push_back(*code);
  }
  return result;
}

// The modifier bit that Num_Lock is bound to, or 0.
std::uint16_t findNumLockMask(xcb_connection_t* connection, xcb_key_symbols_t* symbols) {
  const auto numLocks = keycodesOf(symbols, kNumLockKeysym);
  const XcbPtr<xcb_get_modifier_mapping_reply_t> reply(
      xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
  if (!reply || numLocks.empty()) {
    return 0;
  }
  const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
  const int perModifier = reply->keycodes_per_modifier;
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int k = 0; k < perModifier; ++k) {
      if (std::find(numLocks.begin(), numLocks.end(), keycodes[modifier * perModifier + k]) !=
          numLocks.end()) {
        return static_cast<std::uint16_t>(1U << static_cast<unsigned>(modifier));
      }
    }
  }
  return 0;
}

}  // namespace

MediaKeyMap MediaKeyMap::read(xcb_connection_t* connection) {
  MediaKeyMap map;
  const KeySymbols symbols(xcb_key_symbols_alloc(connection));
  if (!symbols) {
    return map;
  }
  for (const auto& media : kMediaKeysyms) {
    for (const auto keycode : keycodesOf(symbols.get(), media.keysym)) {
      const xcb_keysym_t plain = xcb_key_symbols_get_keysym(symbols.get(), keycode, 0);
      // The core rule: with no second symbol, Shift gives the first one.
      xcb_keysym_t shifted = xcb_key_symbols_get_keysym(symbols.get(), keycode, 1);
      shifted = shifted == XCB_NO_SYMBOL ? plain : shifted;
      for (const bool shift : {false, true}) {
        const MappedKey key{keycode, shift, media.mediaKeyCode};
        if ((shift ? shifted : plain) == media.keysym &&
            std::find(map.keys_.begin(), map.keys_.end(), key) == map.keys_.end()) {
          map.keys_.push_back(key);
        }
      }
    }
  }
  map.numLockMask_ = findNumLockMask(connection, symbols.get());
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
