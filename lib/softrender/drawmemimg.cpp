// The one-to-one blit: validate, clip, take every decision once, then run the
// one loop made for that combination.
#include "core/system_state.h"
#include "softrender/blit_select.h"
#include "softrender/blit_setup.h"
#include "softrender/memimg_draw.h"

namespace softblit {

bool ResolveDrawMode(DrawModeSetup* out) {
  const SoftDrawStateBlock& st = SoftDrawState;
  int mode = st.BlendMode;
  int p = st.BlendParam < 0 ? 0 : st.BlendParam > 255 ? 255 : st.BlendParam;
  if (!IsSoftBlendMode(mode)) return false;
  if ((mode == BLEND_ALPHA || mode == BLEND_ADD || mode == BLEND_SUB) && p == 0) return false;
  if (mode == BLEND_ALPHA && p == 255) mode = BLEND_COPY;  // exactly a copy
  out->Mode = mode;
  out->P = static_cast<uint32_t>(p);
  out->Tint = (st.Tint & 0xFFFFFFu) != 0xFFFFFFu;
  return true;
}

void SetJobTables(BlitJob* j, const DrawModeSetup& m) {
  j->P = m.P;
  j->Pp = MemImgProductTable[m.P];
  j->Sp = &MemImgSignedProductTable[m.P][255];
  j->Lerp = &MemImgLerp64Table[(m.P >> 2) * 4096];
  SetTintRows(j->Tint);
  j->Levels = BlendGraphLevelTable;
}

bool ClipToTarget(const MEMIMG* dest, int64_t left, int64_t top, int64_t right, int64_t bottom, Rect* out) {
  // The clip rectangle is meant to lie inside the target; the image's own
  // bounds are applied too so that a stale clip rectangle cannot write outside.
  const Rect& c = *SoftDrawState.Clip;
  int64_t l = c.Left > 0 ? c.Left : 0, t = c.Top > 0 ? c.Top : 0;
  int64_t r = c.Right < dest->Width ? c.Right : dest->Width;
  int64_t b = c.Bottom < dest->Height ? c.Bottom : dest->Height;
  if (left > l) l = left;
  if (top > t) t = top;
  if (right < r) r = right;
  if (bottom < b) b = bottom;
  if (r <= l || b <= t) return false;
  *out = Rect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(r),
              static_cast<int32_t>(b)};
  return true;
}

bool MmxLoopsEnabled() { return SystemState.Kept.CpuMmxFlag == 1; }

}  // namespace softblit

using namespace softblit;

void DrawMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* blendGraph) {
  if (!CanDrawOnto(dest, src, blendGraph)) return;
  const MemImgBase* db = dest->Base;
  const MemImgBase* sb = src->Base;
  DrawModeSetup m;
  if (!ResolveDrawMode(&m)) return;
  Rect r;
  if (!ClipToTarget(dest, x, y, static_cast<int64_t>(x) + src->Width, static_cast<int64_t>(y) + src->Height,
                    &r))
    return;
  const int sx = r.Left - x, sy = r.Top - y;
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;

  const bool key = transFlag != 0;
  const SrcKind kind = SourceKindOf(sb);
  // The run table holds the image's rows from the top, so it serves an
  // unclipped draw of a view made of whole rows from the first one on (the
  // whole image, or its top rows); any other view would read other rows' runs.
  const bool run = key && sb->RunTableValid && sb->RunTable && w == src->Width && h == src->Height &&
                   src->Pixels == sb->Pixels && static_cast<uint32_t>(src->Width) == sb->Width;
  const BlitChoice c = ChooseLoops(m, db, kind, blendGraph != nullptr, key, run);
  const int bits = db->Type == MEMIMG_TYPE_XRGB32 ? 32 : 16;
  // Games draw many small images the same way in a row: the last choice's
  // loop is kept (draws never overlap, see the scratch palette).
  static uint32_t lastChoice = ~0u;
  static BlitFn lastFn = nullptr;
  const uint32_t choice = static_cast<uint32_t>(c.Mode) | (c.Graph ? 1u << 4 : 0u) | (c.Tint ? 1u << 5 : 0u) |
                          (c.Key ? 1u << 6 : 0u) | (c.Run ? 1u << 7 : 0u) | (c.Fast ? 1u << 8 : 0u) |
                          (c.Mmx ? 1u << 9 : 0u) | (bits == 32 ? 1u << 10 : 0u) |
                          static_cast<uint32_t>(kind) << 11;
  BlitFn fn = lastFn;
  if (choice != lastChoice) {
    fn = SelectBlit(bits, kind, c);
    lastChoice = choice;
    lastFn = fn;
  }
  if (!fn) return;

  const int dbpp = db->Format->BytesPerPixel, sbpp = sb->Format->BytesPerPixel;
  BlitJob j;  // every field is set below (a zeroing fill costs more than the small blits)
  j.Graph = nullptr;
  j.GraphPitch = 0;
  j.Dst = dest->Pixels + static_cast<intptr_t>(r.Top) * db->Pitch + static_cast<intptr_t>(r.Left) * dbpp;
  j.DstPitch = db->Pitch;
  j.Src = src->Pixels + static_cast<intptr_t>(sy) * sb->Pitch + static_cast<intptr_t>(sx) * sbpp;
  j.SrcPitch = sb->Pitch;
  if (blendGraph) {
    j.Graph = blendGraph->Pixels + static_cast<intptr_t>(sy) * blendGraph->Base->Pitch + sx;
    j.GraphPitch = blendGraph->Base->Pitch;
  }
  j.Runs = run ? sb->RunTable : nullptr;
  j.RunMask = run ? sb->RunMask : nullptr;
  j.RunMaskWords = sb->RunMaskWords;
  j.ShortStretches = run && RunTableHasShortStretches(sb);
  j.Width = w;
  j.Height = h;
  j.Key = JobKey(sb, kind, bits);
  j.Palette = sb->Palette;
  SetJobTables(&j, m);
  InvalidateMemImgDerived(dest);
  fn(j);
}
