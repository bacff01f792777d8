#pragma once

// xcb's XKB header names a struct member "explicit", which C++ keeps for itself.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
