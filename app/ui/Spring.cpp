#include "Spring.h"

#include <cmath>
#include <numbers>

namespace tonvara::ui {

double criticallyDampedSpring(double fraction) {
  const double omega = 2 * std::numbers::pi / kSpringResponseSeconds;
  const auto position = [omega](double seconds) {
    return 1 - (1 + omega * seconds) * std::exp(-omega * seconds);
  };
  const double end = std::chrono::duration<double>(kSpringDuration).count();
  // Scaled so the last frame lands exactly on the end value.
  return position(fraction * end) / position(end);
}

}  // namespace tonvara::ui
