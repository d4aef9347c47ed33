#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tonvara::linux_x11 {

// The answer given to each key press still held, so that its repeats and its release follow
// it: X cannot hand the rest of a taken press to the focused window, and a window that saw a
// press must also see its release.
class PressTracker {
 public:
  enum class Answer : std::uint8_t { pass, take };

  // The answer of the press this keycode is still held from, if any.
  std::optional<Answer> heldAnswer(std::uint8_t keycode) const;
  // Whether a taken press is still held. Our grab stays active until its release, so every
  // other key comes to us as well, already delivered: it can no longer be passed.
  bool holdsTakenPress() const { return takenCount_ > 0; }

  void pressed(std::uint8_t keycode, Answer answer);
  void released(std::uint8_t keycode);
  void clear();

 private:
  enum class State : std::uint8_t { up, passed, taken };
  std::array<State, 256> keys_{};
  int takenCount_ = 0;
};

}  // namespace tonvara::linux_x11
