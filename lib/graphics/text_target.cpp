// Where the font renderer draws: the current draw target's image.
#include "graphics/text_target.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"

int GetTextDrawTarget(TextDrawTarget* out) {
  if (!out || GraphicsState.EmptyClip) return -1;
  MEMIMG* image = GetDrawTargetImage();
  if (!image) return -1;
  const MemImgBase* b = image->Base;
  if (b->PaletteFlag || b->AlphaFlag) return -1;
  if (b->Type != MEMIMG_TYPE_RGB565 && b->Type != MEMIMG_TYPE_XRGB32) return -1;
  if (IsFrontScreenCase() && DirectDrawState.FrontStale) DrawSides.SyncFrontImageFromScreen();
  out->Pixels = image->Pixels;
  out->Pitch = int32_t(b->Pitch);
  out->Width = image->Width;
  out->Height = image->Height;
  out->Format = b->Type == MEMIMG_TYPE_RGB565 ? TEXT_PIXEL_RGB565 : TEXT_PIXEL_XRGB8888;
  const Rect& c = GraphicsState.ClipRect;
  out->ClipLeft = c.Left;
  out->ClipTop = c.Top;
  out->ClipRight = c.Right;
  out->ClipBottom = c.Bottom;
  out->BlendMode = GraphicsState.BlendMode;
  out->BlendParam = GraphicsState.BlendParam;
  InvalidateMemImgDerived(image);
  return 0;
}
