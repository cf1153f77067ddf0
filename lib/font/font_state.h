// The font subsystem's state block: font records (at most 40), each a face at
// one pixel size with its glyph cache, and the default font settings.
#pragma once
#include <cstdint>

#include "platform/font.h"

constexpr int FONT_MAX_RECORDS = 40;
constexpr int FONT_DEFAULT_SIZE = 16;
constexpr int FONT_MAX_SIZE = 512;
constexpr uint32_t GLYPH_NO_EDGE = 0xFFFFFFFFu;

// One cached glyph. Its coverage bitmap (Width x Rows bytes) and, once an
// edge was asked for, its edge bitmap ((Width + 2) x (Rows + 2) bytes) live
// in the record's pool.
struct GlyphEntry {
  int16_t Left;  // bitmap left edge relative to the pen
  int16_t Top;   // bitmap top row above the baseline
  uint16_t Width, Rows;
  int16_t Advance;
  uint8_t Missing;  // 1: the face has no such character; a box is kept instead
  uint32_t Offset;
  uint32_t EdgeOffset;  // GLYPH_NO_EDGE until made
};

struct FontRecord {
  int32_t InUse;
  int32_t Size;  // pixels per em
  PlatFontFace Face;
  PlatFontMetrics Metrics;
  int32_t* Pages[256];  // by first byte of the code: entry index + 1 per second byte (0 = not cached)
  GlyphEntry* Entries;
  int32_t EntryCount, EntryCapacity;
  uint8_t* Pool;
  uint32_t PoolSize, PoolCapacity;
  uint32_t LastUse;         // use counter at the last draw, for reuse of the oldest record
  uint32_t GlyphsRendered;  // glyphs rasterised since the record was made
};

struct FontStateBlock {
  int32_t Initialised;
  int32_t DefaultSize;
  int32_t DefaultRecord;  // index into Records, -1 none
  int32_t FaceFound;
  char FacePath[512];
  uint32_t UseCounter;
  FontRecord Records[FONT_MAX_RECORDS];
};

extern FontStateBlock FontState;

// The record of the default font at the default size (made on first use);
// null when no face is available.
FontRecord* GetDefaultFontRecord();
// The record for a pixel size, made when missing (the oldest unused record
// gives way when all 40 are live); null when no face is available.
FontRecord* AcquireFontRecord(int size);
// Frees a record's face and cache.
void ReleaseFontRecord(FontRecord* record);
// Empties a record's glyph cache (the face stays open).
void ClearGlyphCache(FontRecord* record);

// The cached glyph of a Shift-JIS code (a byte below 0x100 or lead << 8 |
// trail), rasterised on first use; null only when memory runs out.
const GlyphEntry* LookupGlyph(FontRecord* record, uint16_t code);
// The glyph's edge bitmap, made on first use; null when memory runs out.
const uint8_t* GlyphEdgeBitmap(FontRecord* record, const GlyphEntry* glyph);
// The glyph's coverage bitmap.
inline const uint8_t* GlyphBitmap(const FontRecord* record, const GlyphEntry* glyph) {
  return record->Pool + glyph->Offset;
}

// Reads one character of Shift-JIS text at p: returns the bytes it takes (0
// at the terminator) and its code. A lead byte at the end of the text is
// taken alone.
int NextSjisChar(const char* p, uint16_t* code);
// The Unicode code point of a code-page-932 character code; 0 when it has
// none.
uint32_t Cp932CodeToUnicode(uint16_t code);
