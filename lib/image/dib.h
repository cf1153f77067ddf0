// Device-independent bitmaps: the bitmap header record and a small stand-in
// for the system's DIB sections: a 24-bit top-down pixel block and a transfer
// that converts any uncompressed bitmap (1, 4, 8, 16, 24, 32 bits, colour
// table or bit fields, bottom-up or top-down) into it.
#pragma once
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// The 40-byte bitmap information header, as it lies in a file.
struct BITMAPINFOHEADER {
  uint32_t Size;  // bytes of this header (40, or more for later versions)
  int32_t Width;
  int32_t Height;  // positive: rows bottom to top; negative: top to bottom
  uint16_t Planes;
  uint16_t BitCount;
  uint32_t Compression;  // DIB_COMPRESSION_*
  uint32_t SizeImage;
  int32_t XPelsPerMeter;
  int32_t YPelsPerMeter;
  uint32_t ClrUsed;  // colours in the table; 0 = all 2^BitCount
  uint32_t ClrImportant;
};
// One colour-table entry: blue, green, red, reserved.
struct RGBQUAD {
  uint8_t Blue;
  uint8_t Green;
  uint8_t Red;
  uint8_t Reserved;
};
// A header with room for a full colour table (or three bit-field masks).
struct BITMAPINFO {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the bitmap header is 40 packed bytes");
static_assert(sizeof(BITMAPINFO) == 1064, "header and 256 colours");

constexpr uint32_t DIB_COMPRESSION_RGB = 0;
constexpr uint32_t DIB_COMPRESSION_RLE8 = 1;
constexpr uint32_t DIB_COMPRESSION_RLE4 = 2;
constexpr uint32_t DIB_COMPRESSION_BITFIELDS = 3;

// A top-down pixel block, rows padded to 4 bytes: 24-bit (blue, green, red per
// pixel) or 8-bit indices into its own colour table.
struct DibSection {
  int Width;
  int Height;
  int Pitch;
  int BitCount;  // 24 or 8
  uint8_t* Bits;
  RGBQUAD Colors[256];  // the colour table of an 8-bit section
};

// A section of width x height, its bits zeroed; null when the size is not
// positive, too large, or the memory cannot be had.
DibSection* CreateDibSection24(int width, int height);
// The same with a bit count of 24 or 8; an 8-bit section takes its colour
// table from `colors` (256 entries; null gives black).
DibSection* CreateDibSection(int width, int height, int bitCount, const RGBQUAD* colors);
void DeleteDibSection(DibSection* section);

// Converts a whole bitmap into the section (which must have the bitmap's width
// and absolute height). An 8-bit section takes only uncompressed 8-bit
// bitmaps, whose indices it copies. `header` describes the source; `colors` holds
// `colorCount` table entries for 1-, 4- and 8-bit bitmaps (missing entries read
// as black); `masks` holds the red, green and blue masks for bit fields (may be
// null otherwise: 16-bit defaults to 5-5-5, 32-bit to 8-8-8). `bits` holds
// `bitsSize` bytes of rows padded to 4 bytes. 0, or -1 for a kind it cannot
// convert, a size mismatch or too little data.
int SetDibBitsToSection(DibSection* section, const BITMAPINFOHEADER* header, const RGBQUAD* colors,
                        int colorCount, const uint32_t* masks, const uint8_t* bits, size_t bitsSize);

// Widens a channel value of `width` bits to 8 bits by repeating its bits
// (a 5-bit 31 gives 255, 16 gives 132); wider channels keep their top 8 bits.
uint8_t DibExpandChannel(uint32_t value, unsigned width);

// Test seam: the next `count` section creations fail.
void DibFailNextCreates(int count);
