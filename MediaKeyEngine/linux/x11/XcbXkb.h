#pragma once

// xcb's XKB header names a structure field `explicit`, a C++ keyword.
#define explicit explicit_  // NOLINT
#include <xcb/xkb.h>
#undef explicit
