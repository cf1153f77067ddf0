// The one-to-one blit: validate, clip, take every decision once, then run the
// one loop made for that combination.
#include <cstring>

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

namespace {

// What the drawing state resolved to at the last draw. Games draw many small
// images in a row under one state, so the mode's shortcuts, its table rows
// and the loop chosen for each kind of draw are kept until the state (or the
// MMX flag) changes; every draw compares them first. Draws never overlap
// (all drawing runs on the main thread), so one kept job serves them all.
struct ResolvedDrawState {
  int32_t Mode;
  int32_t Param;
  uint32_t Tint;
  int32_t Mmx;
  bool Draws;  // ResolveDrawMode's answer
  DrawModeSetup M;
  // The job of every draw: the table rows (SetJobTables) stay, each draw
  // fills in the rest.
  BlitJob Job;
  // The loops met so far: [32-bit][source kind][graph << 2 | key << 1 | run].
  BlitFn Loops[2][3][8];
};

// Mode -1 draws nothing, whatever the parameter and tint: the answer kept
// before the first draw.
ResolvedDrawState g_resolved = {-1, 0, 0, 0, false, {}, {}, {}};

// The key (mode, parameter, tint and the MMX flag) covers every field of the
// drawing state but Clip, which ClipToTarget reads at every draw. A change to
// the block stops this from compiling until the key is looked at: the binding
// counts the fields (a new one may fit in padding), the size their widths.
static_assert(
    [] {
      struct Keyed {
        const Rect* Clip;
        int32_t BlendMode, BlendParam;
        uint32_t Tint;
      };
      [[maybe_unused]] const auto [clip, mode, param, tint] = SoftDrawStateBlock{};
      return sizeof(SoftDrawStateBlock) == sizeof(Keyed);
    }(),
    "SoftDrawStateBlock changed: make the kept draw state's key cover the new field");

ResolvedDrawState& CurrentDrawState() {
  const SoftDrawStateBlock& st = SoftDrawState;
  const int32_t mmx = SystemState.Kept.CpuMmxFlag;
  ResolvedDrawState& r = g_resolved;
  if (st.BlendMode != r.Mode || st.BlendParam != r.Param || st.Tint != r.Tint || mmx != r.Mmx) {
    r.Mode = st.BlendMode;
    r.Param = st.BlendParam;
    r.Tint = st.Tint;
    r.Mmx = mmx;
    r.Draws = ResolveDrawMode(&r.M);
    if (r.Draws) SetJobTables(&r.Job, r.M);
    std::memset(r.Loops, 0, sizeof(r.Loops));
  }
  return r;
}

}  // namespace

void DrawMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* blendGraph) {
  if (!CanDrawOnto(dest, src, blendGraph)) return;
  const MemImgBase* db = dest->Base;
  const MemImgBase* sb = src->Base;
  ResolvedDrawState& rs = CurrentDrawState();
  if (!rs.Draws) return;
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
  const bool is32 = db->Type == MEMIMG_TYPE_XRGB32;
  const int bits = is32 ? 32 : 16;
  BlitFn& slot = rs.Loops[is32][static_cast<int>(kind)][(blendGraph ? 4 : 0) | (key ? 2 : 0) | (run ? 1 : 0)];
  if (!slot) slot = SelectBlit(bits, kind, ChooseLoops(rs.M, db, kind, blendGraph != nullptr, key, run));
  const BlitFn fn = slot;
  if (!fn) return;

  // The pixel steps of the formats (their BytesPerPixel), known from the type
  // and flags.
  const intptr_t dbpp = is32 ? 4 : 2;
  const intptr_t sbpp = kind == SrcKind::Palette ? 1 : (is32 || kind == SrcKind::Alpha) ? 4 : 2;
  BlitJob& j = rs.Job;
  j.Dst = dest->Pixels + static_cast<intptr_t>(r.Top) * db->Pitch + r.Left * dbpp;
  j.DstPitch = db->Pitch;
  j.Src = src->Pixels + static_cast<intptr_t>(sy) * sb->Pitch + sx * sbpp;
  j.SrcPitch = sb->Pitch;
  j.Graph = nullptr;
  j.GraphPitch = 0;
  if (blendGraph) {
    j.Graph = blendGraph->Pixels + static_cast<intptr_t>(sy) * blendGraph->Base->Pitch + sx;
    j.GraphPitch = blendGraph->Base->Pitch;
  }
  j.Runs = run ? sb->RunTable : nullptr;
  j.RunMask = run ? sb->RunMask : nullptr;
  j.RunMaskWords = sb->RunMaskWords;
  j.RunBits = run ? sb->RunDrawnBits : nullptr;
  j.RunBitsStride = sb->RunDrawnBitsStride;
  j.ShortSpans = run && RunTableHasShortSpans(sb);
  j.Width = w;
  j.Height = h;
  j.Key = JobKey(sb, kind, bits);
  j.Palette = sb->Palette;
  InvalidateMemImgDerived(dest);
  fn(j);
}
