#include "softrender/memimg_tables.h"

uint32_t MemImgProductTable[256][256];
int32_t MemImgSignedProductTable[256][512];
uint8_t MemImgLerp64Table[64 * 64 * 64];
uint8_t BlendGraphLevelTable[256];

namespace {
// Until the graphics core points the renderer at its clip rectangle nothing
// is drawn.
constexpr Rect kNoClip{0, 0, 0, 0};
}  // namespace

SoftDrawStateBlock SoftDrawState = {&kNoClip, 0, 0, 0xFFFFFF};

int InitMemImgTables() {
  for (int a = 0; a < 256; ++a) {
    for (int x = -255; x <= 255; ++x) MemImgSignedProductTable[a][x + 255] = x * a / 255;
    MemImgSignedProductTable[a][511] = 0;
  }
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) MemImgProductTable[a][b] = static_cast<uint32_t>(a * b / 255);
  for (int k = 0; k < 64; ++k)
    for (int r = 0; r < 64; ++r)
      for (int c = 0; c < 64; ++c)
        MemImgLerp64Table[(k * 64 + r) * 64 + c] = static_cast<uint8_t>((r * k + c * (63 - k)) / 63);
  return 0;
}

void BuildBlendGraphLevelTable(int border, int range) {
  if (border < 0) border = 0;
  if (border > 255) border = 255;
  if (range < 0) range = 0;
  if (range > 255) range = 255;
  const int r = range + 1;
  const int base = 256 - (65536 / r + 256) * border / 256;
  for (int i = 0; i < 256; ++i) {
    int v = i * 256 / r + base;
    if (v < 0) v = 0;
    if (v > 255) v = 255;
    BlendGraphLevelTable[i] = static_cast<uint8_t>(v);
  }
}
