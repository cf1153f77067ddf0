// Run-length decoding of 8- and 4-bit bitmap data.
#include "image/bmp_rle.h"

namespace {

// The decoding position: x across, y counted in decoding order (from the
// bottom of the image for a bottom-up bitmap).
struct Cursor {
  const RleTarget& T;
  int64_t X = 0;
  int64_t Y = 0;

  bool Finished() const { return Y >= T.Height; }
  void Put(uint8_t v) {
    if (X < T.Width && Y < T.Height) {
      int64_t row = T.BottomUp ? T.Height - 1 - Y : Y;
      T.Pixels[row * T.Pitch + X] = v;
    }
    X++;
  }
};

// Escape codes shared by both encodings; returns false at the end of the bitmap
// or of the data. Literal runs are left to the caller (code >= 3).
bool Escape(uint8_t code, const uint8_t* data, size_t size, size_t* pos, Cursor* c) {
  switch (code) {
    case 0:  // end of line
      c->X = 0;
      c->Y++;
      return !c->Finished();
    case 1:  // end of bitmap
      return false;
    case 2:  // delta: right and on
      if (size - *pos < 2) return false;
      c->X += data[*pos];
      c->Y += data[*pos + 1];
      *pos += 2;
      return !c->Finished();
    default:
      return true;
  }
}

// Pixel i of a run or literal: the byte itself at 8 bits; at 4 bits the
// high nibble first, then the low one.
template <int Bits>
uint8_t Sample(uint8_t b, size_t i) {
  if constexpr (Bits == 8)
    return b;
  else
    return (i & 1) ? b & 0xF : b >> 4;
}

// Both encodings: a pair (count, value) is a run of count pixels taken from
// value; a zero count starts an escape or a literal run of `value` pixels,
// padded to an even byte count.
template <int Bits>
void DecodeRle(const uint8_t* data, size_t size, const RleTarget& target) {
  Cursor c{target};
  size_t pos = 0;
  while (size - pos >= 2) {
    uint8_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (size_t i = 0; i < count; i++) c.Put(Sample<Bits>(value, i));
      continue;
    }
    if (value < 3) {
      if (!Escape(value, data, size, &pos, &c)) return;
      continue;
    }
    size_t n = value;
    constexpr size_t kPerByte = 8 / Bits;
    size_t bytes = (n + kPerByte - 1) / kPerByte;
    for (size_t i = 0; i < n; i++) {
      if (pos + i / kPerByte >= size) return;
      c.Put(Sample<Bits>(data[pos + i / kPerByte], i));
    }
    pos += (bytes + 1) & ~size_t{1};
    if (pos > size) return;
  }
}

}  // namespace

void DecodeBmpRle8(const uint8_t* data, size_t size, const RleTarget& target) {
  DecodeRle<8>(data, size, target);
}

void DecodeBmpRle4(const uint8_t* data, size_t size, const RleTarget& target) {
  DecodeRle<4>(data, size, target);
}
