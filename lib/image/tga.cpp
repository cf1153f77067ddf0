// Truevision TGA: colour-mapped and true-colour images, plain or run-length
// encoded, 16, 24 or 32 bits, in any of the four orientations.
#include "image/imagedecode.h"

#include <cstring>

#include "core/alloc.h"
#include "image/decoder_io.h"

namespace {
constexpr int kTgaHeaderSize = 18;
constexpr int kTgaFooterSize = 26;
// The format's own side limit, well inside the limits of every image.
constexpr int kTgaMaxSide = 8192;
static_assert(ImageWithinLimits(kTgaMaxSide, kTgaMaxSide, kTgaMaxSide * 4));

struct TgaBuffers {
  uint8_t* Pixels = nullptr;
  uint8_t* Packed = nullptr;
  uint8_t* Indices = nullptr;
  ~TgaBuffers() {
    TrackedFree(Pixels);
    TrackedFree(Packed);
    TrackedFree(Indices);
  }
};

// Expands run-length packets of `valueSize`-byte values from `src` until
// `count` values are produced; false when the data ends first.
bool DecodeTgaRle(const uint8_t* src, size_t srcSize, uint8_t* dest, size_t count, size_t valueSize) {
  size_t pos = 0, produced = 0;
  while (produced < count) {
    if (pos >= srcSize) return false;
    uint8_t h = src[pos++];
    size_t run = size_t(h & 0x7F) + 1;
    if (run > count - produced) run = count - produced;  // a packet is cut at the image's end
    if (h & 0x80) {
      if (srcSize - pos < valueSize) return false;
      for (size_t i = 0; i < run; ++i) std::memcpy(dest + (produced + i) * valueSize, src + pos, valueSize);
      pos += valueSize;
    } else {
      if ((srcSize - pos) / valueSize < run) return false;
      std::memcpy(dest + produced * valueSize, src + pos, run * valueSize);
      pos += run * valueSize;
    }
    produced += run;
  }
  return true;
}

void SetTgaFormat(ColorFormat* f, int depth) {
  f->BitDepth = uint16_t(depth);
  f->BytesPerPixel = uint16_t(depth / 8);
  if (depth == 16) {
    f->RedWidth = f->GreenWidth = f->BlueWidth = 5;
    f->AlphaWidth = 0;
    f->RedShift = 10, f->GreenShift = 5, f->BlueShift = 0, f->AlphaShift = 0;
    f->RedMask = 0x7C00, f->GreenMask = 0x3E0, f->BlueMask = 0x1F, f->AlphaMask = 0;
    f->UnusedMask = 0x8000;
  } else if (depth == 32) {
    SetARGB8ColorFormat(f);
  } else {
    SetRGB24ColorFormat(f);
  }
}
}  // namespace

int LoadTgaImage(StreamData* stream, PixelImage* out) {
  StreamHandle h = stream->DataHandle;
  const StreamFunctions& fn = stream->Functions;

  // A TGA 2.0 footer marks where the run-length data must stop.
  int64_t fileSize = -1;
  if (fn.Seek(h, 0, 2) == 0) fileSize = fn.Tell(h);
  if (fileSize < kTgaHeaderSize) return -1;
  int64_t dataEnd = fileSize;
  if (fileSize >= kTgaHeaderSize + kTgaFooterSize && fn.Seek(h, fileSize - kTgaFooterSize, 0) == 0) {
    uint8_t footer[kTgaFooterSize];
    if (DecoderReadExact(stream, footer, sizeof footer) &&
        std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 && LoadLe32(footer) == 0) {
      dataEnd = fileSize - kTgaFooterSize;
    }
  }

  uint8_t hd[kTgaHeaderSize];
  if (fn.Seek(h, 0, 0) != 0 || !DecoderReadExact(stream, hd, sizeof hd)) return -1;
  int idLength = hd[0];
  int mapType = hd[1];
  int type = hd[2];
  int mapFirst = LoadLe16(hd + 3), mapLength = LoadLe16(hd + 5), mapEntryBits = hd[7];
  int originX = LoadLe16(hd + 8), originY = LoadLe16(hd + 10);
  int width = LoadLe16(hd + 12), height = LoadLe16(hd + 14);
  int pixelBits = hd[16], descriptor = hd[17];

  bool mapped = type == 1 || type == 9;
  bool rle = type == 9 || type == 10;
  if (!mapped && type != 2 && type != 10) return -1;
  if (originX != 0 || originY != 0) return -1;
  if (width == 0 || height == 0 || width > kTgaMaxSide || height > kTgaMaxSide) return -1;
  int depth = mapped ? mapEntryBits : pixelBits;
  if (depth != 16 && depth != 24 && depth != 32) return -1;
  if (mapped && (pixelBits != 8 || mapType != 1 || mapFirst + mapLength > 256)) return -1;
  int bpp = depth / 8;
  size_t count = size_t(width) * size_t(height);

  // The image ID field, and a colour map that a true-colour image carries
  // anyway, are stepped over.
  int64_t pos = kTgaHeaderSize + idLength;
  TgaBuffers buf;
  uint8_t map[256 * 4] = {};
  if (mapped) {
    if (fn.Seek(h, pos, 0) != 0 || !DecoderReadExact(stream, map + mapFirst * bpp, size_t(mapLength) * bpp)) {
      return -1;
    }
  } else if (mapType == 1) {
    pos += int64_t(mapLength) * ((mapEntryBits + 7) / 8);
    if (fn.Seek(h, pos, 0) != 0) return -1;
  } else if (fn.Seek(h, pos, 0) != 0) {
    return -1;
  }

  buf.Pixels = static_cast<uint8_t*>(TrackedAlloc(count * bpp, "", 0));
  if (!buf.Pixels) return -1;
  uint8_t* decoded = buf.Pixels;
  size_t valueSize = mapped ? 1 : size_t(bpp);
  uint8_t* values = decoded;
  if (mapped) {
    buf.Indices = static_cast<uint8_t*>(TrackedAlloc(count, "", 0));
    if (!buf.Indices) return -1;
    values = buf.Indices;
  }
  if (rle) {
    int64_t here = fn.Tell(h);
    if (here < 0 || here > dataEnd) return -1;
    size_t packedSize = size_t(dataEnd - here);
    buf.Packed = static_cast<uint8_t*>(TrackedAlloc(packedSize, "", 0));
    if (!buf.Packed || !DecoderReadExact(stream, buf.Packed, packedSize)) return -1;
    if (!DecodeTgaRle(buf.Packed, packedSize, values, count, valueSize)) return -1;
  } else if (!DecoderReadExact(stream, values, count * valueSize)) {
    return -1;
  }
  if (mapped) {
    for (size_t i = 0; i < count; ++i) std::memcpy(decoded + i * bpp, map + buf.Indices[i] * bpp, bpp);
  }

  // Reorder into rows top to bottom, pixels left to right.
  bool bottomUp = (descriptor & 0x20) == 0;
  bool rightToLeft = (descriptor & 0x10) != 0;
  if (bottomUp || rightToLeft) {
    uint8_t* ordered = static_cast<uint8_t*>(TrackedAlloc(count * bpp, "", 0));
    if (!ordered) return -1;
    size_t pitch = size_t(width) * bpp;
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = decoded + size_t(bottomUp ? height - 1 - y : y) * pitch;
      uint8_t* dst = ordered + size_t(y) * pitch;
      if (!rightToLeft) {
        std::memcpy(dst, src, pitch);
      } else {
        for (int x = 0; x < width; ++x)
          std::memcpy(dst + size_t(x) * bpp, src + size_t(width - 1 - x) * bpp, bpp);
      }
    }
    TrackedFree(buf.Pixels);
    buf.Pixels = ordered;
  }

  SetTgaFormat(&out->Format, depth);
  DecoderSetImage(out, width, height, width * bpp, buf.Pixels);
  buf.Pixels = nullptr;
  return 0;
}
