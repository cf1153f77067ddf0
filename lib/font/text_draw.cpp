// String drawing from the glyph cache.
#include "font/text_draw.h"

#include "font/font.h"
#include "font/text_blend.h"

namespace {

struct ClipBox {
  int Left, Top, Right, Bottom;
};

bool TargetUsable(const TextDrawTarget* t) {
  if (t == nullptr || t->Pixels == nullptr || t->Width <= 0 || t->Height <= 0) return false;
  int bpp = t->Format == TEXT_PIXEL_RGB565 ? 2 : t->Format == TEXT_PIXEL_XRGB8888 ? 4 : 0;
  if (bpp == 0) return false;
  return static_cast<int64_t>(t->Pitch) >= static_cast<int64_t>(t->Width) * bpp;
}

ClipBox TargetClip(const TextDrawTarget* t) {
  ClipBox c{t->ClipLeft, t->ClipTop, t->ClipRight, t->ClipBottom};
  if (c.Left < 0) c.Left = 0;
  if (c.Top < 0) c.Top = 0;
  if (c.Right > t->Width) c.Right = t->Width;
  if (c.Bottom > t->Height) c.Bottom = t->Height;
  return c;
}

// Blends a w x h coverage bitmap with its top left at (x, y), clipped.
void BlitCoverage(const TextDrawTarget* t, const ClipBox& clip, TextSpanFn span, const TextColor& color,
                  const uint8_t* bits, int w, int h, int64_t x, int64_t y) {
  int64_t x0 = x < clip.Left ? clip.Left : x;
  int64_t y0 = y < clip.Top ? clip.Top : y;
  int64_t x1 = x + w > clip.Right ? clip.Right : x + w;
  int64_t y1 = y + h > clip.Bottom ? clip.Bottom : y + h;
  if (x0 >= x1 || y0 >= y1) return;
  int bpp = t->Format == TEXT_PIXEL_RGB565 ? 2 : 4;
  auto n = static_cast<int>(x1 - x0);
  for (int64_t row = y0; row < y1; ++row) {
    uint8_t* dst = t->Pixels + row * t->Pitch + x0 * bpp;
    const uint8_t* cov = bits + (row - y) * w + (x0 - x);
    span(dst, cov, n, color, t->BlendParam);
  }
}

}  // namespace

int DrawTextToTarget(const TextDrawTarget* target, FontRecord* font, int x, int y, const char* text,
                     uint32_t color, uint32_t edgeColor) {
  if (text == nullptr || font == nullptr || !TargetUsable(target)) return -1;
  TextSpanFn span = SelectTextSpan(target->Format, target->BlendMode, target->BlendParam);
  // A blend mode that draws nothing here is not an error.
  if (span == nullptr) return 0;
  ClipBox clip = TargetClip(target);
  if (clip.Left >= clip.Right || clip.Top >= clip.Bottom) return 0;
  TextColor fill = MakeTextColor(target->Format, color);
  TextColor edge = MakeTextColor(target->Format, edgeColor);
  bool withEdge = edgeColor != 0;
  font->LastUse = ++FontState.UseCounter;

  // Positions are 64-bit so that far-away pens cannot overflow.
  int64_t penX = x;
  int64_t lineTop = y;
  const char* p = text;
  uint16_t code = 0;
  for (int step; (step = NextSjisChar(p, &code)) != 0; p += step) {
    if (code == '\n') {
      penX = x;
      lineTop += font->Metrics.LineHeight;
      continue;
    }
    if (code < 0x20) continue;  // other control characters show nothing
    const GlyphEntry* g = LookupGlyph(font, code);
    if (g == nullptr) continue;  // out of memory: skip the character
    int64_t baseline = lineTop + font->Metrics.Ascent;
    int64_t gx = penX + g->Left;
    int64_t gy = baseline - g->Top;
    if (withEdge) {
      const uint8_t* edgeBits = GlyphEdgeBitmap(font, g);
      if (edgeBits != nullptr)
        BlitCoverage(target, clip, span, edge, edgeBits, g->Width + 2, g->Rows + 2, gx - 1, gy - 1);
    }
    // Taken after the edge: making the edge may move the pool.
    BlitCoverage(target, clip, span, fill, GlyphBitmap(font, g), g->Width, g->Rows, gx, gy);
    penX += g->Advance;
  }
  return 0;
}

int DrawDefaultFontStringTo(const TextDrawTarget* target, int x, int y, const char* text, uint32_t color,
                            uint32_t edgeColor) {
  if (text == nullptr) return -1;
  FontRecord* font = GetDefaultFontRecord();
  if (font == nullptr) return -1;
  return DrawTextToTarget(target, font, x, y, text, color, edgeColor);
}

int DrawDefaultFontString(int x, int y, const char* text, uint32_t color, uint32_t edgeColor) {
  if (text == nullptr) return -1;
  TextDrawTarget target{};
  if (GetTextDrawTarget(&target) != 0) return -1;
  return DrawDefaultFontStringTo(&target, x, y, text, color, edgeColor);
}

int GetDefaultFontStringWidth(const char* text) {
  if (text == nullptr) return 0;
  FontRecord* font = GetDefaultFontRecord();
  if (font == nullptr) return 0;
  int64_t width = 0, line = 0;
  uint16_t code = 0;
  for (int step; (step = NextSjisChar(text, &code)) != 0; text += step) {
    if (code == '\n') {
      line = 0;
      continue;
    }
    if (code < 0x20) continue;
    const GlyphEntry* g = LookupGlyph(font, code);
    if (g != nullptr) line += g->Advance;
    if (line > width) width = line;
  }
  return width > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(width);
}
