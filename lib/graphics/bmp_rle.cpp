// Run-length decoding of 8- and 4-bit bitmap data.
#include "graphics/bmp_rle.h"

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

}  // namespace

void DecodeBmpRle8(const uint8_t* data, size_t size, const RleTarget& target) {
  Cursor c{target};
  size_t pos = 0;
  while (size - pos >= 2) {
    uint8_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; i++) c.Put(value);
      continue;
    }
    if (value < 3) {
      if (!Escape(value, data, size, &pos, &c)) return;
      continue;
    }
    // Literal run of `value` bytes, padded to an even count.
    size_t n = value;
    for (size_t i = 0; i < n; i++) {
      if (pos + i >= size) return;
      c.Put(data[pos + i]);
    }
    pos += (n + 1) & ~size_t{1};
    if (pos > size) return;
  }
}

void DecodeBmpRle4(const uint8_t* data, size_t size, const RleTarget& target) {
  Cursor c{target};
  size_t pos = 0;
  while (size - pos >= 2) {
    uint8_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; i++) c.Put((i & 1) ? value & 0xF : value >> 4);
      continue;
    }
    if (value < 3) {
      if (!Escape(value, data, size, &pos, &c)) return;
      continue;
    }
    // Literal run of `value` nibbles, high before low, padded to an even byte count.
    size_t n = value;
    size_t bytes = (n + 1) / 2;
    for (size_t i = 0; i < n; i++) {
      if (pos + i / 2 >= size) return;
      uint8_t b = data[pos + i / 2];
      c.Put((i & 1) ? b & 0xF : b >> 4);
    }
    pos += (bytes + 1) & ~size_t{1};
    if (pos > size) return;
  }
}
