#pragma once
#include <cstdint>

// The 32-byte pixel-format record of a display surface (size, flags, four-char
// code, bit count and the red, green, blue and alpha masks).
struct PixelFormatRecord {
  uint32_t Size;
  uint32_t Flags;  // 0x40: RGB
  uint32_t FourCC;
  uint32_t BitCount;
  uint32_t RedMask;
  uint32_t GreenMask;
  uint32_t BlueMask;
  uint32_t AlphaMask;
};
static_assert(sizeof(PixelFormatRecord) == 32, "pixel-format record is 32 bytes");
