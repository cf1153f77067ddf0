// Font faces over fontconfig and FreeType: finding a face by family name and
// rendering its glyphs as 8-bit coverage bitmaps at a pixel size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct PlatFontFaceRec;
using PlatFontFace = PlatFontFaceRec*;

// Finds the file of the best face for `family` through fontconfig. Returns 0
// and the path when a face of that family (or, with `exactFamily` 0, any
// face fontconfig offers for it) exists, else -1.
int PlatFontFindFile(const char* family, int exactFamily, std::string* path);

// Opens the face in `path` at `pixelSize` pixels per em; null on failure.
PlatFontFace PlatFontOpen(const char* path, int pixelSize);
void PlatFontClose(PlatFontFace face);

struct PlatFontMetrics {
  int32_t Ascent;      // pixels from the top of a line to the baseline
  int32_t Descent;     // pixels from the baseline to the bottom of a line
  int32_t LineHeight;  // pixels from one line to the next
};
void PlatFontGetMetrics(PlatFontFace face, PlatFontMetrics* out);

// One rendered glyph. Coverage rows run top to bottom, `Pitch` bytes apart,
// 0 (empty) to 255 (covered); it stays valid until the next render on the
// same face.
struct PlatGlyph {
  int32_t Width, Rows, Pitch;
  int32_t Left;     // pixels from the pen position to the bitmap's left edge
  int32_t Top;      // pixels from the baseline up to the bitmap's top row
  int32_t Advance;  // pixels the pen moves on
  const uint8_t* Coverage;
};
// Renders the glyph of a Unicode code point. 0, or -1 when the face has no
// glyph for it (or it cannot be rendered); `out` is then untouched.
int PlatFontRenderGlyph(PlatFontFace face, uint32_t codePoint, PlatGlyph* out);
