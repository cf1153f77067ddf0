// The draw targets that are not graphs. A draw target is one of these or a
// graph handle; the library's callers get the names through vexlo.h.
#pragma once

constexpr int DRAW_TARGET_FRONT = -4;  // the front screen: what the window shows
constexpr int DRAW_TARGET_BACK = -2;   // the back screen, shown by FlipScreen
