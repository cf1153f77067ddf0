// Pixel access helpers shared by the converter's paths (internal).
#pragma once
#include <cstdint>
#include <cstring>

#include "image/colorformat.h"

namespace convert_detail {

inline uint32_t LoadPixel(const uint8_t* p, unsigned bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return p[0];
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case 3:
      return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

inline void StorePixel(uint8_t* p, unsigned bytesPerPixel, uint32_t v) {
  switch (bytesPerPixel) {
    case 1:
      p[0] = static_cast<uint8_t>(v);
      break;
    case 2: {
      uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(p, &w, 2);
      break;
    }
    case 3:
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      break;
    default:
      std::memcpy(p, &v, 4);
      break;
  }
}

// The colour key cut to the width of a pixel, as LoadPixel reads one.
inline uint32_t KeyForWidth(uint32_t key, unsigned bytesPerPixel) {
  return bytesPerPixel == 1   ? key & 0xFF
         : bytesPerPixel == 2 ? key & 0xFFFF
         : bytesPerPixel == 3 ? key & 0xFFFFFF
                              : key;
}

// A palette entry read as the little-endian u32 0xXXRRGGBB (reserved byte on top).
inline uint32_t PaletteValue(const ColorFormat& f, uint32_t index) {
  const PaletteEntry& e = f.Palette[index & 0xFF];
  return uint32_t{e.Reserved} << 24 | uint32_t{e.Red} << 16 | uint32_t{e.Green} << 8 | e.Blue;
}

inline uint32_t SafeShl(uint32_t v, unsigned s) { return s >= 32 ? 0 : v << s; }
inline uint32_t SafeShr(uint32_t v, unsigned s) { return s >= 32 ? 0 : v >> s; }

// Rescales a channel value between widths: narrowing truncates, widening
// scales proportionally (c x (2^to - 1) / (2^from - 1)). A source of width 0
// carries nothing and gives 0.
inline uint32_t RescaleChannel(uint32_t c, unsigned from, unsigned to) {
  if (from == to) return c;
  if (from == 0 || to == 0) return 0;
  if (from > to) return SafeShr(c, from - to);
  uint64_t maxFrom = ChannelMax(from);
  if (c > maxFrom) c = static_cast<uint32_t>(maxFrom);
  return static_cast<uint32_t>(uint64_t{c} * ChannelMax(to) / maxFrom);
}

// The bytes per pixel of a depth the converter handles, or 0.
inline unsigned DepthBytes(const ColorFormat& f) {
  switch (f.BitDepth) {
    case 8:
      return 1;
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

}  // namespace convert_detail
