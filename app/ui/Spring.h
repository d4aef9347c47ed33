#pragma once

#include <chrono>

namespace tonvara::ui {

// The permission-change animation: a critically damped spring (response 0.3 s, damping
// fraction 1, so it never overshoots), run until it has settled to within a thousandth.
inline constexpr double kSpringResponseSeconds = 0.3;
inline constexpr std::chrono::milliseconds kSpringDuration{450};

// Progress of the spring at `fraction` (0 to 1) of kSpringDuration: 0 at the start, exactly 1 at
// the end, rising all the way.
double criticallyDampedSpring(double fraction);

}  // namespace tonvara::ui
