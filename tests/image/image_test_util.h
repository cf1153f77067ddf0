// Shared helpers of the image tests (and the fuzzing seeds): BMP, PNG, BGRA,
// TGA and DDS files built in memory,
// decoding through a memory stream, and the live-block count of the allocator.
#pragma once
#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/system_state.h"
#include "file/stream.h"
#include "image/imagedecode.h"
#include "image/pixelimage.h"

namespace imgtest {

using Bytes = std::vector<uint8_t>;

inline int LiveBlocks() { return SystemState.Kept.Alloc.BlockCount; }

inline void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}

// Little-endian numbers appended to a file being built.
inline void PushLe16(Bytes& b, uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
inline void PushLe32(Bytes& b, uint32_t v) { PushLe16(b, uint16_t(v)), PushLe16(b, uint16_t(v >> 16)); }

// The library's raw "BGRA" image: header, then `data` as it lies in the file.
inline Bytes BgraFile(uint32_t bits, uint32_t w, uint32_t h, const Bytes& data) {
  Bytes b = {'B', 'G', 'R', 'A'};
  PushLe32(b, bits), PushLe32(b, w), PushLe32(b, h);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// A TGA file: header, ID field, `body` (colour map and pixel data), and the
// TGA 2.0 footer when asked.
inline Bytes TgaFile(int type, int w, int h, int depth, int descriptor, const Bytes& body, int mapLength = 0,
                     int mapBits = 0, int idLength = 0, bool footer = false) {
  Bytes b = {uint8_t(idLength), uint8_t(mapLength ? 1 : 0), uint8_t(type)};
  PushLe16(b, 0), PushLe16(b, uint16_t(mapLength));
  b.push_back(uint8_t(mapBits));
  PushLe16(b, 0), PushLe16(b, 0), PushLe16(b, uint16_t(w)), PushLe16(b, uint16_t(h));
  b.push_back(uint8_t(depth)), b.push_back(uint8_t(descriptor));
  for (int i = 0; i < idLength; ++i) b.push_back('I');
  b.insert(b.end(), body.begin(), body.end());
  if (footer) {
    PushLe32(b, 0), PushLe32(b, 0);
    for (char c : std::string("TRUEVISION-XFILE")) b.push_back(uint8_t(c));
    b.push_back('.'), b.push_back(0);
  }
  return b;
}

// The magic and 124-byte header of a DirectDraw Surface file.
inline Bytes DdsHeader(uint32_t flags, uint32_t w, uint32_t h, uint32_t pitch, uint32_t pfFlags,
                       uint32_t fourCC, uint32_t bits = 0, uint32_t r = 0, uint32_t g = 0, uint32_t b = 0,
                       uint32_t a = 0) {
  Bytes d = {'D', 'D', 'S', ' '};
  Bytes hd(124, 0);
  auto set = [&](int off, uint32_t v) { std::memcpy(&hd[off], &v, 4); };
  set(0, 124), set(4, flags), set(8, h), set(12, w), set(16, pitch), set(72, 32), set(76, pfFlags),
      set(80, fourCC);
  set(84, bits), set(88, r), set(92, g), set(96, b), set(100, a);
  d.insert(d.end(), hd.begin(), hd.end());
  return d;
}

inline uint32_t FourCC(const char* s) {
  return uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
}

// A bitmap file: 14-byte file header, 40-byte info header, then `table`
// (colour table or masks) and `data` (the pixel data as it lies in the file).
inline Bytes MakeBmp(int width, int height, int bits, uint32_t compression, const Bytes& table,
                     const Bytes& data, uint32_t colorsUsed = 0) {
  Bytes f(54);
  f[0] = 'B';
  f[1] = 'M';
  uint32_t offset = uint32_t(54 + table.size());
  Put32(f, 2, uint32_t(offset + data.size()));
  Put32(f, 10, offset);
  Put32(f, 14, 40);
  Put32(f, 18, uint32_t(width));
  Put32(f, 22, uint32_t(height));
  Put16(f, 26, 1);
  Put16(f, 28, uint32_t(bits));
  Put32(f, 30, compression);
  Put32(f, 34, uint32_t(data.size()));
  Put32(f, 46, colorsUsed);
  f.insert(f.end(), table.begin(), table.end());
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

// A colour table of n entries: entry i = (blue i, green 2i, red 3i).
inline Bytes MakeColorTable(int n) {
  Bytes t;
  for (int i = 0; i < n; i++) {
    t.push_back(uint8_t(i));
    t.push_back(uint8_t(2 * i));
    t.push_back(uint8_t(3 * i));
    t.push_back(0x77);  // reserved byte: must come back as 0
  }
  return t;
}

// Runs one decoder on a memory stream.
inline int DecodeWith(int (*decoder)(StreamData*, PixelImage*), const Bytes& file, PixelImage* out) {
  std::memset(out, 0, sizeof(*out));
  MemoryStream* m = OpenMemoryStream(file.data(), file.size());
  if (m == nullptr) return -2;
  StreamData s = MakeMemoryStreamData(m);
  int r = decoder(&s, out);
  s.Functions.Close(s.DataHandle);
  return r;
}

// Runs the decoder table (every format) on a memory stream.
inline int DecodeMemory(const Bytes& file, PixelImage* out) {
  return DecodeWith(DecodeImageStream, file, out);
}

// A decoded image released when it goes out of scope.
struct Decoded {
  PixelImage Img{};
  int Result = -1;
  ~Decoded() { ReleasePixelImageImpl(&Img); }
};

// Reads every byte of every pixel row (the sanitizers catch a buffer shorter
// than the image claims); the sum keeps the reads from being dropped.
inline uint32_t ReadEveryByte(const PixelImage& img) {
  uint32_t sum = 0;
  for (int y = 0; y < img.Height; y++)
    for (int x = 0; x < img.Width * img.Format.BytesPerPixel; x++)
      sum += img.Pixels[size_t(y) * img.Pitch + x];
  return sum;
}

// A colour format from its bit count and channel masks.
inline ColorFormat MakeFormat(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  MakeColorFormatImpl(&f, bits, r, g, b, a);
  return f;
}

// A PNG file written by libpng. `rows` holds height rows of the packed
// samples libpng expects for the colour type and depth.
struct PngLayout {
  int Width = 1;
  int Height = 1;
  int BitDepth = 8;
  int ColorType = PNG_COLOR_TYPE_RGB;
  bool Interlaced = false;
  std::vector<png_color> Palette;
  Bytes Trans;             // palette alpha entries
  bool GrayTrans = false;  // a grey/RGB tRNS colour
  png_color_16 TransColor{};
  std::vector<Bytes> Rows;
};

inline void PngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
inline void PngFlushNothing(png_structp) {}

inline Bytes MakePng(const PngLayout& layout) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Bytes();
  }
  png_set_write_fn(png, &out, PngWriteToVector, PngFlushNothing);
  png_set_IHDR(png, info, layout.Width, layout.Height, layout.BitDepth, layout.ColorType,
               layout.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!layout.Palette.empty())
    png_set_PLTE(png, info, const_cast<png_colorp>(layout.Palette.data()), int(layout.Palette.size()));
  if (!layout.Trans.empty())
    png_set_tRNS(png, info, const_cast<png_bytep>(layout.Trans.data()), int(layout.Trans.size()), nullptr);
  if (layout.GrayTrans) png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16p>(&layout.TransColor));
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const Bytes& r : layout.Rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A small RGBA PNG with a varied pattern (used by several tests).
inline Bytes MakeRgbaPng(int w, int h, bool interlaced = false) {
  PngLayout s;
  s.Width = w;
  s.Height = h;
  s.ColorType = PNG_COLOR_TYPE_RGBA;
  s.Interlaced = interlaced;
  for (int y = 0; y < h; y++) {
    Bytes row;
    for (int x = 0; x < w; x++) {
      row.push_back(uint8_t(x * 17 + y));
      row.push_back(uint8_t(y * 29 + x));
      row.push_back(uint8_t(x ^ y));
      row.push_back(uint8_t(255 - x - y));
    }
    s.Rows.push_back(row);
  }
  return MakePng(s);
}

inline const uint8_t* Pixel(const PixelImage& img, int x, int y) {
  return img.Pixels + size_t(y) * img.Pitch + size_t(x) * img.Format.BytesPerPixel;
}

}  // namespace imgtest
