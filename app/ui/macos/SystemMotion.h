#pragma once

namespace tonvara::ui::mac {

// System Settings' Accessibility > Display > "Reduce motion".
bool systemPrefersReducedMotion();

}  // namespace tonvara::ui::mac
