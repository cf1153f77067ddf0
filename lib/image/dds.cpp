// DirectDraw Surface files: the top-level image only, DXT1 to DXT5 decoded to
// 32-bit ARGB, or uncompressed data described by masks or a format code.
#include "image/imagedecode.h"

#include <cstring>

#include "core/alloc.h"
#include "image/decoder_io.h"

namespace {
constexpr uint32_t kDdsdPitch = 0x8;
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfFourCC = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr int kDdsHeaderSize = 124;

struct DdsFormatRow {
  int Code, Bits;
  uint32_t Red, Green, Blue, Alpha;
};

// Direct3D format codes a file may name instead of masks. R5G6B5 is the
// ordinary 5-6-5 layout.
constexpr DdsFormatRow DdsFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {-1, 0, 0, 0, 0, 0},
};

struct Rgba {
  uint32_t R, G, B, A;
};

Rgba Expand565(uint16_t c) {
  return Rgba{((c >> 11) & 31) * 255u / 31u, ((c >> 5) & 63) * 255u / 63u, (c & 31) * 255u / 31u, 255u};
}

// Decodes one block's colour half into 16 pixels (alpha left in `pal[i].A`).
void DecodeColorBlock(const uint8_t* block, bool dxt1, Rgba out[16]) {
  uint16_t c0 = LoadLe16(block), c1 = LoadLe16(block + 2);
  Rgba pal[4] = {Expand565(c0), Expand565(c1), {}, {}};
  if (!dxt1 || c0 > c1) {
    pal[2] = Rgba{(2 * pal[0].R + pal[1].R) / 3, (2 * pal[0].G + pal[1].G) / 3, (2 * pal[0].B + pal[1].B) / 3,
                  255};
    pal[3] = Rgba{(pal[0].R + 2 * pal[1].R) / 3, (pal[0].G + 2 * pal[1].G) / 3, (pal[0].B + 2 * pal[1].B) / 3,
                  255};
  } else {
    pal[2] = Rgba{(pal[0].R + pal[1].R) / 2, (pal[0].G + pal[1].G) / 2, (pal[0].B + pal[1].B) / 2, 255};
    pal[3] = pal[2];
    pal[3].A = 0;
  }
  uint32_t indices = LoadLe32(block + 4);
  for (int i = 0; i < 16; ++i) out[i] = pal[(indices >> (2 * i)) & 3];
}

void DecodeExplicitAlpha(const uint8_t* block, Rgba px[16]) {
  for (int i = 0; i < 16; ++i) px[i].A = ((block[i / 2] >> ((i & 1) * 4)) & 0xF) * 17u;
}

void DecodeInterpolatedAlpha(const uint8_t* block, Rgba px[16]) {
  uint32_t a0 = block[0], a1 = block[1];
  uint32_t pal[8] = {a0, a1};
  if (a0 > a1) {
    for (int i = 1; i <= 6; ++i) pal[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i <= 4; ++i) pal[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    pal[6] = 0;
    pal[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) px[i].A = pal[(bits >> (3 * i)) & 7];
}

// Premultiplied colour back to straight colour; alpha 0 gives black.
void Unpremultiply(Rgba px[16]) {
  for (int i = 0; i < 16; ++i) {
    Rgba& p = px[i];
    if (p.A == 0) {
      p.R = p.G = p.B = 0;
      continue;
    }
    p.R = p.R * 255 / p.A > 255 ? 255 : p.R * 255 / p.A;
    p.G = p.G * 255 / p.A > 255 ? 255 : p.G * 255 / p.A;
    p.B = p.B * 255 / p.A > 255 ? 255 : p.B * 255 / p.A;
  }
}

int DecodeDxt(StreamData* stream, int variant, uint32_t width, uint32_t height, PixelImage* out) {
  // Blocks cover the image rounded up to whole blocks; each is clipped.
  uint64_t blocksX = (uint64_t(width) + 3) / 4, blocksY = (uint64_t(height) + 3) / 4;
  uint64_t blockSize = variant == 1 ? 8 : 16;
  uint64_t dataSize = blocksX * blocksY * blockSize;
  if (!ImageWithinLimits(width, height, uint64_t(width) * 4)) return -1;
  uint64_t pixelBytes = uint64_t(width) * height * 4;
  int64_t left = DecoderBytesLeft(stream);
  if (left < 0 || dataSize > uint64_t(left)) return -1;
  uint8_t* blocks = static_cast<uint8_t*>(TrackedAlloc(size_t(dataSize), "", 0));
  uint8_t* pixels = static_cast<uint8_t*>(TrackedAlloc(size_t(pixelBytes), "", 0));
  if (!blocks || !pixels || !DecoderReadExact(stream, blocks, size_t(dataSize))) {
    TrackedFree(blocks);
    TrackedFree(pixels);
    return -1;
  }
  const uint8_t* block = blocks;
  for (uint64_t by = 0; by < blocksY; ++by) {
    for (uint64_t bx = 0; bx < blocksX; ++bx, block += blockSize) {
      Rgba px[16];
      if (variant == 1) {
        DecodeColorBlock(block, true, px);
      } else {
        DecodeColorBlock(block + 8, false, px);
        if (variant <= 3)
          DecodeExplicitAlpha(block, px);
        else
          DecodeInterpolatedAlpha(block, px);
        if (variant == 2 || variant == 4) Unpremultiply(px);
      }
      for (int i = 0; i < 16; ++i) {
        uint64_t x = bx * 4 + (i & 3), y = by * 4 + (i >> 2);
        if (x >= width || y >= height) continue;
        uint32_t v = (px[i].A << 24) | (px[i].R << 16) | (px[i].G << 8) | px[i].B;
        std::memcpy(pixels + (y * width + x) * 4, &v, 4);
      }
    }
  }
  TrackedFree(blocks);
  DecoderSetARGB8Image(out, int(width), int(height), pixels);
  return 0;
}
}  // namespace

int LoadDdsImage(StreamData* stream, PixelImage* out) {
  uint8_t magic[4];
  if (!DecoderReadExact(stream, magic, 4) || std::memcmp(magic, "DDS ", 4) != 0) return -1;
  uint8_t hd[kDdsHeaderSize];
  if (!DecoderReadExact(stream, hd, sizeof hd)) return -1;
  uint32_t flags = LoadLe32(hd + 4);
  uint32_t height = LoadLe32(hd + 8), width = LoadLe32(hd + 12);
  uint32_t pitchField = LoadLe32(hd + 16);
  uint32_t pfFlags = LoadLe32(hd + 76);
  uint32_t fourCC = LoadLe32(hd + 80);
  uint32_t bitCount = LoadLe32(hd + 84);
  uint32_t masks[4] = {LoadLe32(hd + 88), LoadLe32(hd + 92), LoadLe32(hd + 96), LoadLe32(hd + 100)};
  if (width == 0 || height == 0) return -1;

  if (pfFlags & kDdpfFourCC) {
    uint8_t cc[4];
    std::memcpy(cc, hd + 80, 4);
    if (cc[0] == 'D' && cc[1] == 'X' && cc[2] == 'T' && cc[3] >= '1' && cc[3] <= '5') {
      return DecodeDxt(stream, cc[3] - '0', width, height, out);
    }
  }

  // Uncompressed: a format code from the table, or the header's own masks.
  int bits = 0;
  uint32_t red = 0, green = 0, blue = 0, alpha = 0;
  bool found = false;
  if (pfFlags & kDdpfFourCC) {
    for (const DdsFormatRow* row = DdsFormatTable; row->Code != -1; ++row) {
      if (uint32_t(row->Code) == fourCC) {
        bits = row->Bits, red = row->Red, green = row->Green, blue = row->Blue, alpha = row->Alpha;
        found = true;
        break;
      }
    }
  } else if (pfFlags & kDdpfRgb) {
    bits = int(bitCount);
    red = masks[0], green = masks[1], blue = masks[2];
    alpha = (pfFlags & kDdpfAlphaPixels) ? masks[3] : 0;
    found = true;
  }
  if (!found || (bits != 16 && bits != 24 && bits != 32)) return -1;
  if (red == 0 || green == 0 || blue == 0) return -1;
  if (bits < 32) {
    uint32_t limit = (1u << bits) - 1;
    if ((red | green | blue | alpha) & ~limit) return -1;
  }
  uint64_t row = uint64_t(bits / 8) * width;
  uint64_t pitch = (flags & kDdsdPitch) ? pitchField : row;
  if (pitch < row || !ImageWithinLimits(width, height, pitch)) return -1;
  uint64_t dataSize = pitch * height;
  int64_t left = DecoderBytesLeft(stream);
  if (left < 0 || dataSize > uint64_t(left)) return -1;

  ColorFormat format{};
  if (MakeColorFormatImpl(&format, bits, red, green, blue, alpha) != 0) return -1;
  uint8_t* pixels = static_cast<uint8_t*>(TrackedAlloc(size_t(dataSize), "", 0));
  if (!pixels) return -1;
  if (!DecoderReadExact(stream, pixels, size_t(dataSize))) {
    TrackedFree(pixels);
    return -1;
  }
  out->Format = format;
  DecoderSetImage(out, int(width), int(height), int(pitch), pixels);
  return 0;
}
