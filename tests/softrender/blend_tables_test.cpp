// The product, signed product, lerp and blend-graph level tables.
#include "softrender/test_support.h"

namespace {

class BlendTablesTest : public SoftRenderTest {};

TEST_F(BlendTablesTest, ProductTableTruncatesTheQuotient) {
  EXPECT_EQ(MemImgProductTable[128][255], 128u);
  EXPECT_EQ(MemImgProductTable[255][255], 255u);
  EXPECT_EQ(MemImgProductTable[200][62], 48u);
  EXPECT_EQ(MemImgProductTable[0][200], 0u);
  EXPECT_EQ(MemImgProductTable[254][254], 253u);  // 64516 / 255 = 253.0039
}

TEST_F(BlendTablesTest, SignedProductTableRoundsTowardZero) {
  EXPECT_EQ(MemImgSignedProductTable[128][-255 + 255], -128);
  EXPECT_EQ(MemImgSignedProductTable[255][-1 + 255], -1);
  EXPECT_EQ(MemImgSignedProductTable[100][-1 + 255], 0);  // -0.39 toward zero
  EXPECT_EQ(MemImgSignedProductTable[100][1 + 255], 0);
  EXPECT_EQ(MemImgSignedProductTable[255][255 + 255], 255);
  for (int a = 0; a < 256; a += 17)
    for (int x = 0; x <= 255; x += 5)
      EXPECT_EQ(MemImgSignedProductTable[a][255 - x], -MemImgSignedProductTable[a][255 + x]);
}

TEST_F(BlendTablesTest, LerpTableCorners) {
  auto lerp = [](int k, int r, int c) { return MemImgLerp64Table[(k * 64 + r) * 64 + c]; };
  EXPECT_EQ(lerp(0, 63, 0), 0);  // k = 0 keeps c
  EXPECT_EQ(lerp(0, 0, 63), 63);
  EXPECT_EQ(lerp(63, 63, 0), 63);  // k = 63 takes r
  EXPECT_EQ(lerp(63, 0, 63), 0);
  EXPECT_EQ(lerp(63, 63, 63), 63);
  EXPECT_EQ(lerp(0, 0, 0), 0);
  EXPECT_EQ(lerp(32, 63, 0), 32);  // floor(63 * 32 / 63)
  EXPECT_EQ(lerp(25, 31, 0), 12);  // floor(31 * 25 / 63) = 12.3
}

TEST_F(BlendTablesTest, LevelTableIdentityAllOpaqueAndHardStep) {
  BuildBlendGraphLevelTable(128, 255);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(BlendGraphLevelTable[i], i);
  BuildBlendGraphLevelTable(0, 77);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(BlendGraphLevelTable[i], 255);
  BuildBlendGraphLevelTable(100, 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(BlendGraphLevelTable[i], 0) << i;
  EXPECT_EQ(BlendGraphLevelTable[100], 156);  // 100 * 256 + 256 - 257 * 100
  for (int i = 101; i < 256; ++i) ASSERT_EQ(BlendGraphLevelTable[i], 255) << i;
}

}  // namespace

namespace {

// Every entry against its formula, with all divisions done here afresh.
TEST(BlendTablesFormulaTest, EveryEntryMatchesItsFormula) {
  InitMemImgTables();
  int bad = 0;
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) bad += MemImgProductTable[a][b] != static_cast<uint32_t>(a * b / 255);
  for (int a = 0; a < 256; ++a)
    for (int x = -255; x <= 255; ++x) bad += MemImgSignedProductTable[a][x + 255] != x * a / 255;
  for (int k = 0; k < 64; ++k)
    for (int r = 0; r < 64; ++r)
      for (int c = 0; c < 64; ++c)
        bad += MemImgLerp64Table[(k * 64 + r) * 64 + c] != (r * k + c * (63 - k)) / 63;
  EXPECT_EQ(bad, 0);
  for (int border = 0; border < 256; border += 3) {
    for (int range = 0; range < 256; range += 5) {
      BuildBlendGraphLevelTable(border, range);
      const int r = range + 1, base = 256 - (65536 / r + 256) * border / 256;
      for (int i = 0; i < 256; ++i) {
        const int v = i * 256 / r + base;
        ASSERT_EQ(BlendGraphLevelTable[i], v < 0     ? 0
                                           : v > 255 ? 255
                                                     : v)
            << border << " " << range << " " << i;
      }
    }
  }
}

}  // namespace
