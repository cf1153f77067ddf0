// What every drawing routine decides before it picks a loop.
#pragma once
#include <cstdint>

#include "softrender/blit_kernel.h"
#include "softrender/memimg.h"

namespace softblit {

struct DrawModeSetup {
  int Mode;    // 0, 1, 2, 3, 4, 10 or 11
  uint32_t P;  // 0..255
  bool Tint;   // the tint is not white
};

// The current blend mode after its shortcuts; false when nothing is drawn
// (modes 5 to 9, negative or above 11; p = 0 in modes 1 to 3).
bool ResolveDrawMode(DrawModeSetup* out);

// Table rows of p and of the tint into the job.
void SetJobTables(BlitJob* j, const DrawModeSetup& m);

// The rectangle (64-bit edges, right and bottom exclusive) clipped to the
// draw clip rectangle and to the image; false when nothing remains.
bool ClipToTarget(const MEMIMG* dest, int64_t left, int64_t top, int64_t right, int64_t bottom, Rect* out);

// 1 when drawing takes the MMX twins of the fast 32-bit loops.
bool MmxLoopsEnabled();

// Whether src may be drawn onto dest: the same type, an opaque 16- or 32-bit
// destination, and a blend graph (when given) of one byte per pixel that
// covers the source.
// IsValidMemImg, inline for the per-draw checks of small blits.
inline bool ValidView(const MEMIMG* img) { return img && img->Marker == MEMIMG_MARKER && img->Base; }

inline bool CanDrawOnto(const MEMIMG* dest, const MEMIMG* src, const MEMIMG* blendGraph) {
  if (!ValidView(dest) || !ValidView(src)) return false;
  const MemImgBase* db = dest->Base;
  const MemImgBase* sb = src->Base;
  if (db->Type != sb->Type || db->PaletteFlag || db->AlphaFlag) return false;
  if (db->Type != MEMIMG_TYPE_RGB565 && db->Type != MEMIMG_TYPE_XRGB32) return false;
  if (blendGraph && (!ValidView(blendGraph) || blendGraph->Base->Type != MEMIMG_TYPE_GRAY8 ||
                     blendGraph->Width < src->Width || blendGraph->Height < src->Height))
    return false;
  return true;
}

inline SrcKind SourceKindOf(const MemImgBase* sb) {
  return sb->PaletteFlag ? SrcKind::Palette : sb->AlphaFlag ? SrcKind::Alpha : SrcKind::Direct;
}

// The colour key as the loops compare it: a direct 16-bit source compares
// 16-bit pixels, so only the low half of its key counts.
inline uint32_t JobKey(const MemImgBase* sb, SrcKind kind, int bits) {
  return kind == SrcKind::Direct && bits == 16 ? (sb->TransColor & 0xFFFFu) : sb->TransColor;
}

// A keyed plain copy (mode 0, no graph, no tint) of a direct or alpha source
// through the run table: on images of short drawn spans between transparent
// runs the span-by-span copy pays a dispatch (and, on mixed images,
// mispredicted branches) per span, worth several pixels of a vector loop;
// there the row is copied under the table's kind masks instead. Either way
// the table's kinds decide which pixels are drawn.
inline bool RunTableHasShortSpans(const MemImgBase* sb) { return sb->RunTableSpanLength < 8u; }

// The loop family of a draw onto a destination of base db. The fast loops
// serve mode 1 at p = 128 and modes 2, 3 at p = 255 with no graph, tint,
// alpha source or run table.
inline BlitChoice ChooseLoops(const DrawModeSetup& m, const MemImgBase* db, SrcKind kind, bool graph,
                              bool key, bool run) {
  BlitChoice c{};
  c.Mode = m.Mode;
  c.Graph = graph;
  c.Tint = m.Tint;
  c.Key = key;
  c.Run = run;
  c.Fast =
      !run && !c.Graph && !c.Tint && kind != SrcKind::Alpha &&
      ((m.Mode == BLEND_ALPHA && m.P == 128) || ((m.Mode == BLEND_ADD || m.Mode == BLEND_SUB) && m.P == 255));
  c.Mmx = c.Fast && db->Type == MEMIMG_TYPE_XRGB32 && MmxLoopsEnabled();
  return c;
}

}  // namespace softblit
