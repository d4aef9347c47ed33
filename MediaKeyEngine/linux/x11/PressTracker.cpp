#include "PressTracker.h"

namespace tonvara::linux_x11 {

std::optional<PressTracker::Answer> PressTracker::heldAnswer(std::uint8_t keycode) const {
  switch (keys_[keycode]) {
    case State::passed:
      return Answer::pass;
    case State::taken:
      return Answer::take;
    case State::up:
      break;
  }
  return std::nullopt;
}

void PressTracker::pressed(std::uint8_t keycode, Answer answer) {
  released(keycode);
  keys_[keycode] = answer == Answer::take ? State::taken : State::passed;
  if (answer == Answer::take) {
    ++takenCount_;
  }
}

void PressTracker::released(std::uint8_t keycode) {
  if (keys_[keycode] == State::taken) {
    --takenCount_;
  }
  keys_[keycode] = State::up;
}

void PressTracker::clear() {
  keys_.fill(State::up);
  takenCount_ = 0;
}

}  // namespace tonvara::linux_x11
