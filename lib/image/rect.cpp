#include "image/rect.h"

namespace {

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

}  // namespace

int ClipRect(Rect* a, const Rect* b) {
  if (a->Right < a->Left) a->Right = a->Left;
  if (a->Bottom < a->Top) a->Bottom = a->Top;
  // Bottom before top and right before left: a rectangle wholly beyond an
  // edge lands on that edge with zero size. A degenerate `b` (right < left)
  // clamps to its left and top.
  const int32_t right = b->Right < b->Left ? b->Left : b->Right;
  const int32_t bottom = b->Bottom < b->Top ? b->Top : b->Bottom;
  a->Bottom = Clamp(a->Bottom, b->Top, bottom);
  a->Top = Clamp(a->Top, b->Top, bottom);
  a->Right = Clamp(a->Right, b->Left, right);
  a->Left = Clamp(a->Left, b->Left, right);
  return 0;
}

int NormalizeRect(Rect* r) {
  if (r->Left > r->Right) {
    const int32_t t = r->Left;
    r->Left = r->Right;
    r->Right = t;
  }
  if (r->Top > r->Bottom) {
    const int32_t t = r->Top;
    r->Top = r->Bottom;
    r->Bottom = t;
  }
  return 0;
}

int RectDimensions(const Rect* r, int* width, int* height) {
  if (width) *width = r->Right - r->Left;
  if (height) *height = r->Bottom - r->Top;
  return 0;
}
