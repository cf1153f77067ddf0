// Integer rectangles shared by the image converter, the software renderer,
// the drawing state and the back ends.
#pragma once
#include <cstdint>

// left, top, right, bottom; right and bottom are exclusive wherever a
// rectangle limits drawing.
struct Rect {
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
};

// Clips `a` to `b` in place: an inverted `a` first collapses to zero size,
// then every edge is clamped into `b`, so a rectangle wholly outside `b` ends
// with zero width or height on `b`'s nearest edge. Returns 0.
int ClipRect(Rect* a, const Rect* b);

// Orders the corners in place (left <= right, top <= bottom). Returns 0.
int NormalizeRect(Rect* r);

// Width and height (right - left, bottom - top, not ordered) into the outputs
// that are given. Returns 0.
int RectDimensions(const Rect* r, int* width, int* height);
