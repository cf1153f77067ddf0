// Frames: the back (or front) screen image shown in the main window, and the
// front image kept in step with what the window shows.
#include "core/window_query.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "platform/present.h"

namespace {

int Show(const MEMIMG* image, const Rect* changed) {
  PlatWindow window = GetMainWindow();
  if (!window || !image || !IsValidMemImg(image)) return -1;
  PlatSetPresentVSync(GraphicsState.NoVBlankWait ? 0 : 1);
  const MemImgBase* b = image->Base;
  const int bits = b->Type == MEMIMG_TYPE_RGB565 ? 16 : 32;
  PlatRect r{0, 0, image->Width, image->Height};
  if (changed) {
    Rect c = *changed;
    const Rect all{0, 0, image->Width, image->Height};
    // The rectangle comes from drawing calls: keep it on the screen.
    NormalizeRect(&c);
    ClipRect(&c, &all);
    if (c.Left == c.Right || c.Top == c.Bottom) return 0;
    r = PlatRect{c.Left, c.Top, c.Right, c.Bottom};
  }
  return PlatPresentScreen(window, image->Pixels, image->Width, image->Height, int(b->Pitch), bits,
                           changed ? &r : nullptr);
}

}  // namespace

int FlipScreenImpl() {
  DirectDrawStateBlock& d = DirectDrawState;
  if (!d.Started) return -1;
  IncrementFlipCount();
  // With the front screen as target the window already shows it; otherwise
  // the back screen becomes the picture and the front image is out of date.
  if (GraphicsState.DrawTarget == DRAW_TARGET_FRONT) return Show(&d.FrontImage, nullptr);
  const int r = Show(&d.BackImage, nullptr);
  d.FrontStale = 1;
  return r;
}

int PresentSoftScreen(const Rect* rect) {
  DirectDrawStateBlock& d = DirectDrawState;
  if (!d.Started) return -1;
  (void)rect;  // a repaint shows the whole picture again
  // The back image may be half drawn (or just cleared) when the window asks
  // for a repaint: the frame last shown is the right picture.
  PlatWindow window = GetMainWindow();
  if (window && PlatPresentAgain(window) == 0) return 0;
  return Show(&d.BackImage, nullptr);
}

int PresentFrontImageRect(const Rect* rect) {
  DirectDrawStateBlock& d = DirectDrawState;
  if (!d.Started || !rect) return -1;
  return Show(&d.FrontImage, rect);
}

int SyncFrontImageFromScreen() {
  DirectDrawStateBlock& d = DirectDrawState;
  if (!d.Started || !d.FrontStale || d.DisplayBits == 8) return 0;
  // What the window shows is the last flipped back screen.
  const Rect all{0, 0, d.BackImage.Width, d.BackImage.Height};
  CopyMemImgRect(&d.FrontImage, &d.BackImage, &all, 0, 0);
  d.FrontStale = 0;
  return 0;
}
