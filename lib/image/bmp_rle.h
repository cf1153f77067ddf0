// Run-length decoding of bitmap data (internal to the BMP decoder).
#pragma once
#include <cstddef>
#include <cstdint>

// The output: one byte per pixel, zeroed by the caller; rows are filled from
// the bottom for a bottom-up bitmap.
struct RleTarget {
  uint8_t* Pixels;
  int64_t Pitch;
  int Width;
  int Height;
  bool BottomUp;
};

// Decodes until the end-of-bitmap escape or the end of the data. Runs,
// literals and deltas that leave the image are cut at its edge; nothing is
// read past `size` or written outside the image.
void DecodeBmpRle8(const uint8_t* data, size_t size, const RleTarget& target);
void DecodeBmpRle4(const uint8_t* data, size_t size, const RleTarget& target);
