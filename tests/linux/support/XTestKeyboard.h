#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tonvara::testing {

// Common keysyms of the tests.
namespace keysym {
inline constexpr xcb_keysym_t kPlay = 0x1008FF14;
inline constexpr xcb_keysym_t kNext = 0x1008FF17;
inline constexpr xcb_keysym_t kPrevious = 0x1008FF16;
inline constexpr xcb_keysym_t kForward = 0x1008FF97;
inline constexpr xcb_keysym_t kRewind = 0x1008FF3E;
inline constexpr xcb_keysym_t kStop = 0x1008FF15;
inline constexpr xcb_keysym_t kNumLock = 0xFF7F;
inline constexpr xcb_keysym_t kCapsLock = 0xFFE5;
inline constexpr xcb_keysym_t kShiftLeft = 0xFFE1;
inline constexpr xcb_keysym_t kA = 0x61;
inline constexpr xcb_keysym_t kZ = 0x7A;
}  // namespace keysym

// Key presses injected with the XTest extension, which the server handles like hardware
// input: they pass through passive grabs (unlike SendEvent, which bypasses them).
class XTestKeyboard {
 public:
  explicit XTestKeyboard(const std::string& displayName);
  ~XTestKeyboard();

  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;

  // The first keycode that produces `keysym` without Shift, as the current mapping says.
  xcb_keycode_t keycode(xcb_keysym_t keysym);
  void press(xcb_keysym_t keysym);
  void release(xcb_keysym_t keysym);
  void tap(xcb_keysym_t keysym);
  void pressKeycode(xcb_keycode_t keycode);
  void releaseKeycode(xcb_keycode_t keycode);
  // Makes `keycode` produce `keysym` (and nothing else).
  void remap(xcb_keycode_t keycode, xcb_keysym_t keysym);
  // Returns once the server has handled everything sent so far.
  void sync();
  // Switches the server's auto-repeat on for every key that repeats.
  void enableAutoRepeat();
  // A passive core grab of `keysym` (no modifiers) on the root window, held until ungrabbed or
  // until this client leaves; false when another client holds it.
  bool grab(xcb_keysym_t keysym);
  void ungrab(xcb_keysym_t keysym);
  // The same through XInput2, as GNOME's window manager grabs the media keys.
  bool grabWithXInput2(xcb_keysym_t keysym);
  void ungrabWithXInput2(xcb_keysym_t keysym);
  // Whether no other client holds a core grab of `keysym` (no modifiers).
  bool isFreeToGrab(xcb_keysym_t keysym);

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

// Another client holding a grab of one key (no modifiers), as a desktop's shortcut daemon
// does.
class KeyGrabber {
 public:
  enum class Kind { core, xinput2 };

  KeyGrabber(const std::string& displayName, xcb_keysym_t keysym, Kind kind = Kind::core);
  ~KeyGrabber();

  KeyGrabber(const KeyGrabber&) = delete;
  KeyGrabber& operator=(const KeyGrabber&) = delete;

  bool holdsGrab() const { return holds_; }
  // Lets go of the key and leaves the display.
  void release();

 private:
  std::unique_ptr<XTestKeyboard> connection_;
  xcb_keysym_t keysym_;
  Kind kind_;
  bool holds_ = false;
};

}  // namespace tonvara::testing
