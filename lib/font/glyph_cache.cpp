// The glyph cache of a font record: each character is rasterised once into
// the record's pool and found again through a two-level table by its code.
#include <cstring>

#include "core/alloc.h"
#include "font/font_state.h"

namespace {

// A cache grows to at most this many bytes of bitmaps; past it, new glyphs
// are drawn as missing rather than grow without bound.
constexpr uint32_t kMaxPoolBytes = 64u << 20;
constexpr int32_t kMaxEntries = 65536;

// Reserves `bytes` in the pool; the offset, or GLYPH_NO_EDGE on failure.
uint32_t PoolReserve(FontRecord* r, uint64_t bytes) {
  uint64_t needed = static_cast<uint64_t>(r->PoolSize) + bytes;
  if (needed > kMaxPoolBytes) return GLYPH_NO_EDGE;
  if (needed > r->PoolCapacity) {
    uint64_t capacity = r->PoolCapacity == 0 ? 16384 : r->PoolCapacity;
    while (capacity < needed) capacity *= 2;
    if (capacity > kMaxPoolBytes) capacity = kMaxPoolBytes;
    void* grown = TrackedRealloc(r->Pool, static_cast<size_t>(capacity), "", 0);
    if (grown == nullptr) return GLYPH_NO_EDGE;
    r->Pool = static_cast<uint8_t*>(grown);
    r->PoolCapacity = static_cast<uint32_t>(capacity);
  }
  auto offset = r->PoolSize;
  r->PoolSize = static_cast<uint32_t>(needed);
  return offset;
}

GlyphEntry* NewEntry(FontRecord* r) {
  if (r->EntryCount >= kMaxEntries) return nullptr;
  if (r->EntryCount == r->EntryCapacity) {
    int32_t capacity = r->EntryCapacity == 0 ? 128 : r->EntryCapacity * 2;
    void* grown = TrackedRealloc(r->Entries, sizeof(GlyphEntry) * static_cast<size_t>(capacity), "", 0);
    if (grown == nullptr) return nullptr;
    r->Entries = static_cast<GlyphEntry*>(grown);
    r->EntryCapacity = capacity;
  }
  GlyphEntry* e = &r->Entries[r->EntryCount++];
  *e = GlyphEntry{};
  e->EdgeOffset = GLYPH_NO_EDGE;
  return e;
}

// A character the face cannot show is kept as a hollow box of the cell's
// width (half the size for single-byte codes), so the text keeps its layout.
bool MakeMissingBox(FontRecord* r, uint16_t code, GlyphEntry* e) {
  int size = r->Size;
  int width = code > 0xFF ? size : (size + 1) / 2;
  int boxW = width - 2 > 1 ? width - 2 : 1;
  int boxH = r->Metrics.Ascent - 1 > 1 ? r->Metrics.Ascent - 1 : 1;
  uint32_t offset = PoolReserve(r, static_cast<uint64_t>(boxW) * static_cast<uint64_t>(boxH));
  if (offset == GLYPH_NO_EDGE) return false;
  uint8_t* bits = r->Pool + offset;
  for (int y = 0; y < boxH; ++y) {
    for (int x = 0; x < boxW; ++x) {
      bool border = y == 0 || y == boxH - 1 || x == 0 || x == boxW - 1;
      bits[y * boxW + x] = border ? 255 : 0;
    }
  }
  e->Left = 1;
  e->Top = static_cast<int16_t>(boxH);
  e->Width = static_cast<uint16_t>(boxW);
  e->Rows = static_cast<uint16_t>(boxH);
  e->Advance = static_cast<int16_t>(width);
  e->Missing = 1;
  e->Offset = offset;
  return true;
}

bool RenderInto(FontRecord* r, uint16_t code, GlyphEntry* e) {
  uint32_t cp = Cp932CodeToUnicode(code);
  PlatGlyph g{};
  if (cp == 0 || PlatFontRenderGlyph(r->Face, cp, &g) != 0) return MakeMissingBox(r, code, e);
  ++r->GlyphsRendered;
  if (g.Width < 0 || g.Rows < 0 || g.Width > 0xFFFF || g.Rows > 0xFFFF || g.Pitch < g.Width)
    return MakeMissingBox(r, code, e);
  uint32_t offset = PoolReserve(r, static_cast<uint64_t>(g.Width) * static_cast<uint64_t>(g.Rows));
  if (offset == GLYPH_NO_EDGE) return false;
  for (int y = 0; y < g.Rows; ++y) {
    std::memcpy(r->Pool + offset + static_cast<size_t>(y) * static_cast<size_t>(g.Width),
                g.Coverage + static_cast<size_t>(y) * static_cast<size_t>(g.Pitch),
                static_cast<size_t>(g.Width));
  }
  e->Left = static_cast<int16_t>(g.Left);
  e->Top = static_cast<int16_t>(g.Top);
  e->Width = static_cast<uint16_t>(g.Width);
  e->Rows = static_cast<uint16_t>(g.Rows);
  e->Advance = static_cast<int16_t>(g.Advance);
  e->Offset = offset;
  return true;
}

}  // namespace

const GlyphEntry* LookupGlyph(FontRecord* r, uint16_t code) {
  int32_t*& page = r->Pages[code >> 8];
  if (page != nullptr && page[code & 0xFF] != 0) return &r->Entries[page[code & 0xFF] - 1];
  if (page == nullptr) {
    page = static_cast<int32_t*>(TrackedAllocZeroed(256 * sizeof(int32_t), "", 0));
    if (page == nullptr) return nullptr;
  }
  GlyphEntry* e = NewEntry(r);
  if (e == nullptr) return nullptr;
  if (!RenderInto(r, code, e)) {
    --r->EntryCount;
    return nullptr;
  }
  page[code & 0xFF] = r->EntryCount;
  return e;
}

const uint8_t* GlyphEdgeBitmap(FontRecord* r, const GlyphEntry* glyph) {
  if (glyph->EdgeOffset != GLYPH_NO_EDGE) return r->Pool + glyph->EdgeOffset;
  // The entry lives in a growable array: find it again by index after any
  // growth of the pool (the pool, not the entries, may move here).
  auto index = static_cast<size_t>(glyph - r->Entries);
  int w = glyph->Width, h = glyph->Rows;
  int ew = w + 2, eh = h + 2;
  uint32_t offset = PoolReserve(r, static_cast<uint64_t>(ew) * static_cast<uint64_t>(eh));
  if (offset == GLYPH_NO_EDGE) return nullptr;
  GlyphEntry* e = &r->Entries[index];
  const uint8_t* src = r->Pool + e->Offset;
  uint8_t* dst = r->Pool + offset;
  // The edge covers every pixel within one step (8 neighbours) of the glyph.
  for (int y = 0; y < eh; ++y) {
    for (int x = 0; x < ew; ++x) {
      int best = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        int sy = y - 1 + dy;
        if (sy < 0 || sy >= h) continue;
        for (int dx = -1; dx <= 1; ++dx) {
          int sx = x - 1 + dx;
          if (sx < 0 || sx >= w) continue;
          int v = src[sy * w + sx];
          if (v > best) best = v;
        }
      }
      dst[y * ew + x] = static_cast<uint8_t>(best);
    }
  }
  e->EdgeOffset = offset;
  return dst;
}

void ClearGlyphCache(FontRecord* r) {
  for (int32_t*& page : r->Pages) {
    TrackedFree(page);
    page = nullptr;
  }
  TrackedFree(r->Entries);
  TrackedFree(r->Pool);
  r->Entries = nullptr;
  r->EntryCount = r->EntryCapacity = 0;
  r->Pool = nullptr;
  r->PoolSize = r->PoolCapacity = 0;
}
