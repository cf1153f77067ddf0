// Font faces: fontconfig finds the file, FreeType rasterises the outlines.
#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <mutex>
#include <vector>

struct PlatFontFaceRec {
  FT_Face Face;
  int PixelSize;
  std::vector<unsigned char> Expanded;  // one-bit glyphs widened to bytes
};

namespace {

// One FreeType library for every face, alive while any face is open.
struct FreeTypeShared {
  std::mutex Mutex;
  FT_Library Library = nullptr;
  int Faces = 0;
};

FreeTypeShared g_freeType;

// From this size up glyphs are anti-aliased.
constexpr int kSmoothFromSize = 24;

int Round26Dot6(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

}  // namespace

int PlatFontFindFile(const char* family, int exactFamily, std::string* path) {
  if (family == nullptr || path == nullptr) return -1;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return -1;
  int result = -1;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  if (pattern != nullptr) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult match = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pattern, &match);
    if (found != nullptr) {
      FcChar8* file = nullptr;
      FcChar8* foundFamily = nullptr;
      bool familyOk = !exactFamily;
      // A face is the one asked for when any of its family names matches.
      for (int i = 0; exactFamily && FcPatternGetString(found, FC_FAMILY, i, &foundFamily) == FcResultMatch;
           ++i) {
        if (FcStrCmpIgnoreCase(foundFamily, reinterpret_cast<const FcChar8*>(family)) == 0) familyOk = true;
      }
      if (familyOk && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        path->assign(reinterpret_cast<const char*>(file));
        result = 0;
      }
      FcPatternDestroy(found);
    }
    FcPatternDestroy(pattern);
  }
  FcConfigDestroy(config);
  return result;
}

PlatFontFace PlatFontOpen(const char* path, int pixelSize) {
  if (path == nullptr || pixelSize <= 0) return nullptr;
  std::lock_guard<std::mutex> guard(g_freeType.Mutex);
  if (g_freeType.Library == nullptr && FT_Init_FreeType(&g_freeType.Library) != 0) {
    g_freeType.Library = nullptr;
    return nullptr;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(g_freeType.Library, path, 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
    if (face != nullptr) FT_Done_Face(face);
    if (g_freeType.Faces == 0) {
      FT_Done_FreeType(g_freeType.Library);
      g_freeType.Library = nullptr;
    }
    return nullptr;
  }
  ++g_freeType.Faces;
  return new PlatFontFaceRec{face, pixelSize, {}};
}

void PlatFontClose(PlatFontFace face) {
  if (face == nullptr) return;
  std::lock_guard<std::mutex> guard(g_freeType.Mutex);
  FT_Done_Face(face->Face);
  delete face;
  if (--g_freeType.Faces == 0) {
    FT_Done_FreeType(g_freeType.Library);
    g_freeType.Library = nullptr;
  }
}

void PlatFontGetMetrics(PlatFontFace face, PlatFontMetrics* out) {
  if (face == nullptr || out == nullptr) return;
  const FT_Size_Metrics& m = face->Face->size->metrics;
  out->Ascent = Round26Dot6(m.ascender);
  out->Descent = Round26Dot6(-m.descender);
  out->LineHeight = Round26Dot6(m.height);
  if (out->LineHeight < out->Ascent + out->Descent) out->LineHeight = out->Ascent + out->Descent;
}

int PlatFontRenderGlyph(PlatFontFace face, uint32_t codePoint, PlatGlyph* out) {
  if (face == nullptr || out == nullptr) return -1;
  FT_UInt index = FT_Get_Char_Index(face->Face, codePoint);
  if (index == 0) return -1;
  // Small sizes are drawn as crisp one-bit glyphs (grey edges blur strokes
  // that are one pixel wide); larger ones are anti-aliased.
  bool mono = face->PixelSize < kSmoothFromSize;
  FT_Int32 load = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(face->Face, index, load) != 0) return -1;
  FT_GlyphSlot slot = face->Face->glyph;
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return -1;
  const FT_Bitmap& b = slot->bitmap;
  if (b.pitch < 0) return -1;
  auto width = static_cast<int32_t>(b.width);
  auto rows = static_cast<int32_t>(b.rows);
  if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
    // Widen the bits to 0/255 coverage in the face's own buffer.
    face->Expanded.assign(static_cast<size_t>(width) * static_cast<size_t>(rows), 0);
    for (int32_t y = 0; y < rows; ++y) {
      const unsigned char* row = b.buffer + static_cast<size_t>(y) * static_cast<size_t>(b.pitch);
      for (int32_t x = 0; x < width; ++x) {
        if (row[x >> 3] & (0x80 >> (x & 7))) face->Expanded[static_cast<size_t>(y * width + x)] = 255;
      }
    }
    out->Coverage = face->Expanded.data();
    out->Pitch = width;
  } else if (b.pixel_mode == FT_PIXEL_MODE_GRAY && b.num_grays == 256) {
    out->Coverage = b.buffer;
    out->Pitch = b.pitch;
  } else if (width != 0 && rows != 0) {
    return -1;  // no other layout is asked for; refuse rather than misread
  } else {
    out->Coverage = b.buffer;
    out->Pitch = 0;
  }
  out->Width = width;
  out->Rows = rows;
  out->Left = slot->bitmap_left;
  out->Top = slot->bitmap_top;
  out->Advance = Round26Dot6(slot->advance.x);
  return 0;
}
