// The scaled and mirrored blit: each destination row gathers its nearest
// source samples (16.16 steps) into a short buffer, which the one-to-one
// blit's loop for the same combination then draws, so the rules, key and
// alpha tests are exactly those of DrawMemImg.
#include <cstring>

#include "softrender/blit_select.h"
#include "softrender/blit_setup.h"
#include "softrender/memimg_draw.h"

using namespace softblit;

namespace {

constexpr int kChunk = 256;  // even, so 16-bit pixel pairs keep their places

}  // namespace

void DrawMemImgStretched(MEMIMG* dest, const MEMIMG* src, int x1, int y1, int x2, int y2, int transFlag,
                         const MEMIMG* blendGraph) {
  if (!CanDrawOnto(dest, src, blendGraph)) return;
  const MemImgBase* db = dest->Base;
  const MemImgBase* sb = src->Base;
  const bool mirrorX = x1 > x2, mirrorY = y1 > y2;
  const int64_t left = mirrorX ? x2 : x1, right = mirrorX ? x1 : x2;
  const int64_t top = mirrorY ? y2 : y1, bottom = mirrorY ? y1 : y2;
  const int64_t dw = right - left, dh = bottom - top;
  if (dw == 0 || dh == 0) return;
  if (!mirrorX && !mirrorY && dw == src->Width && dh == src->Height) {
    DrawMemImg(dest, src, x1, y1, transFlag, blendGraph);
    return;
  }
  DrawModeSetup m;
  if (!ResolveDrawMode(&m)) return;
  Rect r;
  if (!ClipToTarget(dest, left, top, right, bottom, &r)) return;

  const SrcKind kind = SourceKindOf(sb);
  const BlitChoice c = ChooseLoops(m, db, kind, blendGraph != nullptr, transFlag != 0, false);
  const int bits = db->Type == MEMIMG_TYPE_XRGB32 ? 32 : 16;
  const BlitFn fn = SelectBlit(bits, kind, c);
  if (!fn) return;

  const int dbpp = db->Format->BytesPerPixel, sbpp = sb->Format->BytesPerPixel;
  const int64_t stepX = (static_cast<int64_t>(src->Width) << 16) / dw;
  const int64_t stepY = (static_cast<int64_t>(src->Height) << 16) / dh;
  uint8_t srcRow[kChunk * 4];
  uint8_t graphRow[kChunk];
  int32_t cols[kChunk];

  BlitJob j{};
  j.DstPitch = db->Pitch;
  j.Src = srcRow;
  j.Graph = blendGraph ? graphRow : nullptr;
  j.Height = 1;
  j.Key = JobKey(sb, kind, bits);
  j.Palette = sb->Palette;
  SetJobTables(&j, m);
  InvalidateMemImgDerived(dest);

  for (int64_t x0 = r.Left; x0 < r.Right; x0 += kChunk) {
    const int n = static_cast<int>(r.Right - x0 < kChunk ? r.Right - x0 : kChunk);
    for (int i = 0; i < n; ++i) {
      int64_t sx = ((x0 + i - left) * stepX) >> 16;
      if (sx >= src->Width) sx = src->Width - 1;
      cols[i] = static_cast<int32_t>(mirrorX ? src->Width - 1 - sx : sx);
    }
    j.Width = n;
    for (int64_t y = r.Top; y < r.Bottom; ++y) {
      int64_t sy = ((y - top) * stepY) >> 16;
      if (sy >= src->Height) sy = src->Height - 1;
      if (mirrorY) sy = src->Height - 1 - sy;
      const uint8_t* srow = src->Pixels + sy * sb->Pitch;
      for (int i = 0; i < n; ++i)
        std::memcpy(srcRow + i * sbpp, srow + static_cast<intptr_t>(cols[i]) * sbpp, sbpp);
      if (blendGraph) {
        const uint8_t* grow = blendGraph->Pixels + sy * blendGraph->Base->Pitch;
        for (int i = 0; i < n; ++i) graphRow[i] = grow[cols[i]];
      }
      j.Dst = dest->Pixels + y * db->Pitch + x0 * dbpp;
      fn(j);
    }
  }
}
