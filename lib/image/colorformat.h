// Pixel layouts: the ColorFormat record, the fixed formats, building a format
// from channel masks, and moving single colours in and out of a format.
#pragma once
#include <cstdint>

// One palette entry as it lies in memory (and in a bitmap colour table).
struct PaletteEntry {
  uint8_t Blue;
  uint8_t Green;
  uint8_t Red;
  uint8_t Reserved;
};

// How one pixel is laid out. Copied by value, palette included (1,064 bytes).
// A one-byte format is a palette format: the pixel is an index, and the red,
// green and blue masks describe the palette entry read as a little-endian u32.
struct ColorFormat {
  uint16_t BitDepth;                                    // 8, 16, 24 or 32; 0 for a format without a depth
  uint16_t BytesPerPixel;                               // BitDepth / 8: the step from one pixel to the next
  uint8_t RedWidth, GreenWidth, BlueWidth, AlphaWidth;  // 0 = channel absent
  uint8_t RedShift, GreenShift, BlueShift, AlphaShift;  // lowest bit of each channel
  uint32_t RedMask, GreenMask, BlueMask, AlphaMask;
  uint32_t UnusedMask;  // bits of the pixel that belong to no channel
  PaletteEntry Palette[256];
  uint8_t UnusedShift, UnusedWidth;
  uint32_t FormatCode;  // 0 in every format built here
};

// Fixed formats. Each writes only the fields of its layout; the palette keeps
// what the caller left there (the grey setter writes all 256 entries).
int SetPaletteColorFormat(ColorFormat* format);
int SetXRGB8ColorFormat(ColorFormat* format);
int SetARGB8ColorFormat(ColorFormat* format);
int SetRGB24ColorFormat(ColorFormat* format);
int SetGrayPaletteColorFormat(ColorFormat* format);

// Builds a format from a bit depth and four channel masks (a mask of 0 is an
// absent channel; bits above a gap in a mask stay in the mask but not in the width).
int MakeColorFormatImpl(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask,
                        uint32_t blueMask, uint32_t alphaMask);

// Recomputes the unused mask from the bit depth and the channel masks.
void UpdateColorFormatUnusedBits(ColorFormat* format);

// 1 when both describe the same pixel layout (depth and masks), else 0.
int IsSameColorFormat(const ColorFormat* a, const ColorFormat* b);

// The pixel value for a colour (each component's low byte is used). Narrowing
// truncates; unused bits are set. A palette format gives the nearest entry
// (lowest index on ties).
uint32_t PackColorForFormat(const ColorFormat* format, int r, int g, int b, int a);

// A pixel of `source` re-expressed in `dest` by plain shifting; a source
// without alpha gives full alpha; unused bits of `dest` are set.
uint32_t RepackColorValue(const ColorFormat* dest, const ColorFormat* source, uint32_t pixel);

// The components of a pixel value scaled to 0..255 (each output may be null).
// Alpha is 0 when the format has none. A palette pixel must be resolved first.
int UnpackColorForFormat(const ColorFormat* format, uint32_t pixel, int* r, int* g, int* b, int* a);

// Helpers shared by the converter and the decoders.
// Largest value a channel of `width` bits holds (0 for width 0, 0xFFFFFFFF for 32+).
inline uint32_t ChannelMax(unsigned width) {
  return width == 0 ? 0u : width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
}
