// DIB sections and transfers into them, in plain memory.
#include "image/dib.h"

#include <cstring>

#include "image/decoder_io.h"
#include "platform/heap.h"

namespace {

int g_failCreates = 0;

struct ChannelMask {
  uint32_t Mask;
  unsigned Shift;
  unsigned Width;
};

ChannelMask MakeChannel(uint32_t mask) {
  ChannelMask c{mask, 0, 0};
  if (mask == 0) return c;
  while (((mask >> c.Shift) & 1u) == 0) c.Shift++;
  while (c.Shift + c.Width < 32 && ((mask >> (c.Shift + c.Width)) & 1u) != 0) c.Width++;
  return c;
}

uint8_t Expand(uint32_t pixel, const ChannelMask& c) {
  if (c.Width == 0) return 0;
  uint32_t v = (pixel & c.Mask) >> c.Shift;
  uint32_t max = c.Width >= 32 ? 0xFFFFFFFFu : (1u << c.Width) - 1u;
  if (v > max) v = max;  // bits above a gap in the mask
  return DibExpandChannel(v, c.Width);
}

}  // namespace

uint8_t DibExpandChannel(uint32_t value, unsigned width) {
  if (width == 0) return 0;
  if (width >= 8) return static_cast<uint8_t>(width >= 32 ? value >> 24 : value >> (width - 8));
  uint32_t r = 0;
  unsigned bits = 0;
  while (bits < 8) {
    r = (r << width) | value;
    bits += width;
  }
  return static_cast<uint8_t>(r >> (bits - 8));
}

void DibFailNextCreates(int count) { g_failCreates = count; }

DibSection* CreateDibSection24(int width, int height) { return CreateDibSection(width, height, 24, nullptr); }

DibSection* CreateDibSection(int width, int height, int bitCount, const RGBQUAD* colors) {
  if (g_failCreates > 0) {
    g_failCreates--;
    return nullptr;
  }
  if (width <= 0 || height <= 0 || (bitCount != 24 && bitCount != 8)) return nullptr;
  int64_t pitch = (int64_t{width} * (bitCount / 8) + 3) / 4 * 4;
  if (!ImageBytesWithinLimit(uint64_t(pitch), uint64_t(height))) return nullptr;
  int64_t bytes = pitch * height;
  auto* section = static_cast<DibSection*>(PlatHeapAlloc(sizeof(DibSection)));
  if (section == nullptr) return nullptr;
  section->Bits = static_cast<uint8_t*>(PlatHeapAlloc(static_cast<size_t>(bytes)));
  if (section->Bits == nullptr) {
    PlatHeapFree(section);
    return nullptr;
  }
  std::memset(section->Bits, 0, static_cast<size_t>(bytes));
  std::memset(section->Colors, 0, sizeof section->Colors);
  if (bitCount == 8 && colors != nullptr) std::memcpy(section->Colors, colors, sizeof section->Colors);
  section->BitCount = bitCount;
  section->Width = width;
  section->Height = height;
  section->Pitch = static_cast<int>(pitch);
  return section;
}

void DeleteDibSection(DibSection* section) {
  if (section == nullptr) return;
  PlatHeapFree(section->Bits);
  PlatHeapFree(section);
}

int SetDibBitsToSection(DibSection* section, const BITMAPINFOHEADER* header, const RGBQUAD* colors,
                        int colorCount, const uint32_t* masks, const uint8_t* bits, size_t bitsSize) {
  if (section == nullptr || header == nullptr || bits == nullptr) return -1;
  const int width = header->Width;
  const int64_t height = header->Height < 0 ? -int64_t{header->Height} : int64_t{header->Height};
  if (width != section->Width || height != section->Height) return -1;
  const unsigned bitCount = header->BitCount;
  const bool bitFields = header->Compression == DIB_COMPRESSION_BITFIELDS;
  if (header->Compression != DIB_COMPRESSION_RGB && !bitFields) return -1;
  if (bitFields && bitCount != 16 && bitCount != 32) return -1;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return -1;
  if (bitCount <= 8 && (colors == nullptr || colorCount < 0)) colorCount = 0;

  const int64_t stride = (int64_t{bitCount} * width + 31) / 32 * 4;
  if (stride * height > static_cast<int64_t>(bitsSize)) return -1;

  if (section->BitCount == 8) {
    if (bitCount != 8 || bitFields) return -1;
    for (int64_t y = 0; y < height; y++) {
      const int64_t fileRow = header->Height > 0 ? height - 1 - y : y;
      std::memcpy(section->Bits + y * section->Pitch, bits + fileRow * stride, static_cast<size_t>(width));
    }
    return 0;
  }

  ChannelMask red, green, blue;
  if (bitFields && masks != nullptr) {
    red = MakeChannel(masks[0]);
    green = MakeChannel(masks[1]);
    blue = MakeChannel(masks[2]);
  } else if (bitCount == 16) {
    red = MakeChannel(0x7C00);
    green = MakeChannel(0x3E0);
    blue = MakeChannel(0x1F);
  } else {
    red = MakeChannel(0xFF0000);
    green = MakeChannel(0xFF00);
    blue = MakeChannel(0xFF);
  }

  for (int64_t y = 0; y < height; y++) {
    const int64_t fileRow = header->Height > 0 ? height - 1 - y : y;
    const uint8_t* s = bits + fileRow * stride;
    uint8_t* d = section->Bits + y * section->Pitch;
    for (int x = 0; x < width; x++, d += 3) {
      if (bitCount <= 8) {
        unsigned index;
        if (bitCount == 8)
          index = s[x];
        else if (bitCount == 4)
          index = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        else
          index = (s[x >> 3] >> (7 - (x & 7))) & 1;
        if (static_cast<int>(index) < colorCount) {
          d[0] = colors[index].Blue;
          d[1] = colors[index].Green;
          d[2] = colors[index].Red;
        } else {
          d[0] = d[1] = d[2] = 0;
        }
      } else if (bitCount == 24) {
        std::memcpy(d, s + x * 3, 3);
      } else {
        uint32_t p;
        if (bitCount == 16)
          p = uint32_t{s[x * 2]} | uint32_t{s[x * 2 + 1]} << 8;
        else
          std::memcpy(&p, s + int64_t{x} * 4, 4);
        d[0] = Expand(p, blue);
        d[1] = Expand(p, green);
        d[2] = Expand(p, red);
      }
    }
  }
  return 0;
}
