// DrawMemImg's worked examples and refusals, each with its exact value.
#include "softrender/test_support.h"

namespace {

class BlitEdgeTest : public SoftRenderTest {
 protected:
  // One pixel of src drawn over one pixel of dest at the given state.
  uint32_t Draw1(MemImgColorType type, uint32_t s, uint32_t d, int mode, int p, uint32_t tint = 0xFFFFFF,
                 bool mmx = false) {
    TestImg dst, src;
    EXPECT_EQ(dst.Make(1, 1, type), 0);
    EXPECT_EQ(src.Make(1, 1, type), 0);
    if (type == MEMIMG_TYPE_XRGB32) {
      dst.Set32(0, 0, d);
      src.Set32(0, 0, s);
    } else {
      dst.Set16(0, 0, d);
      src.Set16(0, 0, s);
    }
    ApplyState(RefBlendState{{0, 0, 1, 1}, mode, p, tint, mmx});
    DrawMemImg(&dst.m, &src.m, 0, 0, 0, nullptr);
    return type == MEMIMG_TYPE_XRGB32 ? dst.Get32(0, 0) : dst.Get16(0, 0);
  }
};

TEST_F(BlitEdgeTest, ParameterShortcuts) {
  // Mode 1 at 255 is a copy (fourth byte included); at 0 nothing changes.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0xAB123456, 0x11223344, 1, 255), 0xAB123456u);
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0xAB123456, 0x11223344, 1, 0), 0x11223344u);
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x00FFFFFF, 0x11223344, 2, 0), 0x11223344u);
  // Multiply has no p = 0 shortcut: (d * s) >> 8 per channel.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x00804020, 0x7F808080, 4, 0), 0x7F402010u);
  // Modes 5 to 9, above 11 and negative draw nothing.
  for (int mode : {5, 6, 9, 12, -1}) EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0xFF, 0x00, mode, 255), 0u) << mode;
}

TEST_F(BlitEdgeTest, HalfSumAtOneTwentyEightAndItsRunTableDifference) {
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x000101, 0x000101, 1, 128), 0x000000u);
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x000101, 0x000101, 1, 128, 0xFFFFFF, true), 0x000000u);
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x000101, 0x000101, 1, 129), 0x000101u);
  // The half sum clears the fourth byte.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0xFF000000, 0xFF000000, 1, 128), 0x000000u);

  // Through the run table (transparent flag, valid table, unclipped): the general rule.
  TestImg dst, src;
  ASSERT_EQ(dst.Make(1, 1, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(src.Make(1, 1, MEMIMG_TYPE_XRGB32, 0, 0, 1, -1, 0xFFFFFFFF), 0);
  src.Set32(0, 0, 0x000101);
  dst.Set32(0, 0, 0x000101);
  ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
  ApplyState(RefBlendState{{0, 0, 1, 1}, 1, 128, 0xFFFFFF, true});
  DrawMemImg(&dst.m, &src.m, 0, 0, 1, nullptr);
  EXPECT_EQ(dst.Get32(0, 0), 0x000101u);
  // Clipped, the same image takes the per-pixel loops again.
  TestImg wide;
  ASSERT_EQ(wide.Make(2, 1, MEMIMG_TYPE_XRGB32, 0, 0, 1, -1, 0xFFFFFFFF), 0);
  wide.Set32(0, 0, 0x000101);
  wide.Set32(1, 0, 0x000101);
  ASSERT_EQ(BuildMemImgRunTable(&wide.m), 0);
  dst.Set32(0, 0, 0x000101);
  DrawMemImg(&dst.m, &wide.m, 0, 0, 1, nullptr);
  EXPECT_EQ(dst.Get32(0, 0), 0x000000u);
}

TEST_F(BlitEdgeTest, InvertedSourceAtFullParameter) {
  // 32-bit: floor((255 - s) * 255 / 256) per channel over 0.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x00000A00, 0x00000000, 10, 255), 0x00FEF4FEu);
  // 16-bit: exactly each field's maximum minus the source field.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_RGB565, (3 << 11) | (10 << 5) | 7, 0, 10, 255), (28u << 11) | (53u << 5) | 24u);
}

TEST_F(BlitEdgeTest, ScaledAddDiffersBetweenDepths) {
  // Blend graph of level 255, p = 200, green 63: 16-bit gives P[200][62] = 48,
  // 32-bit gives floor(63 * 255 * 200 / 65536) = 49.
  for (int depth = 0; depth < 2; ++depth) {
    const MemImgColorType type = depth ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dst, src, graph;
    ASSERT_EQ(dst.Make(1, 1, type), 0);
    ASSERT_EQ(src.Make(1, 1, type), 0);
    ASSERT_EQ(graph.Make(1, 1, MEMIMG_TYPE_GRAY8), 0);
    *graph.At(0, 0) = 255;
    BuildBlendGraphLevelTable(128, 255);
    ApplyState(RefBlendState{{0, 0, 1, 1}, 2, 200, 0xFFFFFF, false});
    if (depth) {
      src.Set32(0, 0, 63 << 8);
      dst.Set32(0, 0, 0);
      DrawMemImg(&dst.m, &src.m, 0, 0, 0, &graph.m);
      EXPECT_EQ((dst.Get32(0, 0) >> 8) & 255, 49u);
    } else {
      src.Set16(0, 0, 63 << 5);
      dst.Set16(0, 0, 0);
      DrawMemImg(&dst.m, &src.m, 0, 0, 0, &graph.m);
      EXPECT_EQ((dst.Get16(0, 0) >> 5) & 63, 48u);
    }
  }
}

TEST_F(BlitEdgeTest, PackedForms) {
  // Green 62 + 62: green saturates in its upper bits, red gets the carry in bit 0.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_RGB565, 0x07C0, 0x07C0, 2, 255), 0x0FC0u);
  // 0x0020 - 0: green's bit 0 is lost, red's bit 0 holds green's guard.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_RGB565, 0x0000, 0x0020, 3, 255), 0x0800u);
  // 32-bit packed add: a red carry lands in bit 0 of the fourth byte.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x00800000, 0x55800000, 2, 255), 0x01FF0000u);
  // 32-bit packed subtract clears the fourth byte.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x00000000, 0x77102030, 3, 255) >> 24, 0u);
  // The MMX twins saturate every byte exactly, the fourth included.
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x80800000, 0x90800101, 2, 255, 0xFFFFFF, true), 0xFFFF0101u);
  EXPECT_EQ(Draw1(MEMIMG_TYPE_XRGB32, 0x10000102, 0x90800101, 3, 255, 0xFFFFFF, true), 0x80800000u);
}

TEST_F(BlitEdgeTest, SixteenBitPairsCarryIntoTheSecondPixel) {
  TestImg dst, src;
  ASSERT_EQ(dst.Make(3, 1, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(src.Make(3, 1, MEMIMG_TYPE_RGB565), 0);
  // First pixel's red overflows; the second pixel's blue bit 0 receives it.
  src.Set16(0, 0, 0x8000);
  dst.Set16(0, 0, 0x8000);
  src.Set16(1, 0, 0x0000);
  dst.Set16(1, 0, 0x0000);
  src.Set16(2, 0, 0x0001);  // the odd last pixel goes alone, with the one-pixel mask
  dst.Set16(2, 0, 0x0000);
  ApplyState(RefBlendState{{0, 0, 3, 1}, 2, 255, 0xFFFFFF, false});
  DrawMemImg(&dst.m, &src.m, 0, 0, 0, nullptr);
  EXPECT_EQ(dst.Get16(0, 0), 0xF800u);
  EXPECT_EQ(dst.Get16(1, 0), 0x0001u);
  EXPECT_EQ(dst.Get16(2, 0), 0x0001u);
}

TEST_F(BlitEdgeTest, BlendGraphWeights) {
  // Level 255 in mode 0 gives floor((255 s + d) / 256), not s.
  TestImg dst, src, graph;
  ASSERT_EQ(dst.Make(1, 1, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(src.Make(1, 1, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(graph.Make(1, 1, MEMIMG_TYPE_GRAY8), 0);
  *graph.At(0, 0) = 255;
  src.Set32(0, 0, 0x00FF0000);
  dst.Set32(0, 0, 0x000000FF);
  ApplyState(RefBlendState{{0, 0, 1, 1}, 0, 0, 0xFFFFFF, false});
  DrawMemImg(&dst.m, &src.m, 0, 0, 0, &graph.m);
  EXPECT_EQ(dst.Get32(0, 0), 0x00FE0000u | ((255u * 0 + 255) / 256));
  // An all-zero graph under levels (128, 255) changes nothing.
  *graph.At(0, 0) = 0;
  dst.Set32(0, 0, 0x12345678);
  DrawMemImg(&dst.m, &src.m, 0, 0, 0, &graph.m);
  EXPECT_EQ(dst.Get32(0, 0), 0x12345678u);
}

TEST_F(BlitEdgeTest, AlphaZeroInMultiplyDependsOnTheLoopKind) {
  for (int depth = 0; depth < 2; ++depth) {
    const MemImgColorType type = depth ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dst, src;
    ASSERT_EQ(dst.Make(2, 1, type), 0);
    ASSERT_EQ(src.Make(1, 1, type, 0, 1, 1), 0);
    std::memset(src.m.Pixels, 0xFF, 4);
    src.m.Pixels[depth ? 3 : 2] = 0;  // alpha 0
    ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
    for (int mode : {4, 0, 1, 2}) {
      ApplyState(RefBlendState{{0, 0, 2, 1}, mode, 200, 0xFFFFFF, false});
      // Unclipped with a valid table: the run table skips it.
      std::memset(dst.m.Pixels, 0x66, depth ? 8 : 4);
      DrawMemImg(&dst.m, &src.m, 0, 0, 1, nullptr);
      EXPECT_EQ(dst.m.Pixels[0], 0x66) << mode;
      // Per-pixel loops (no valid table): multiply turns it black, others leave it.
      src.m.Base->RunTableValid = 0;
      DrawMemImg(&dst.m, &src.m, 1, 0, 1, nullptr);
      const uint32_t got = depth ? (dst.Get32(1, 0) & 0xFFFFFF) : dst.Get16(1, 0);
      if (mode == 4)
        EXPECT_EQ(got, 0u);
      else
        EXPECT_EQ(got, depth ? 0x666666u : 0x6666u) << mode;
      ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
    }
  }
}

TEST_F(BlitEdgeTest, SixteenBitModeOneLerpAgainstSignedProduct) {
  const uint32_t s = (31u << 11) | (40u << 5) | 3u, d = (2u << 11) | (10u << 5) | 30u;
  auto lerp = [](int k, int r, int c) {
    return static_cast<uint32_t>(MemImgLerp64Table[(k * 64 + r) * 64 + c]);
  };
  const uint32_t want = lerp(25, 31, 2) << 11 | lerp(25, 40, 10) << 5 | lerp(25, 3, 30);
  EXPECT_EQ(Draw1(MEMIMG_TYPE_RGB565, s, d, 1, 100), want);
  // Through the run table: d + S[100][s - d].
  TestImg dst, src;
  ASSERT_EQ(dst.Make(1, 1, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(src.Make(1, 1, MEMIMG_TYPE_RGB565, 0, 0, 1, -1, 0xFFFF), 0);
  src.Set16(0, 0, s);
  dst.Set16(0, 0, d);
  ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
  ApplyState(RefBlendState{{0, 0, 1, 1}, 1, 100, 0xFFFFFF, false});
  DrawMemImg(&dst.m, &src.m, 0, 0, 1, nullptr);
  auto sp = [](int diff) { return MemImgSignedProductTable[100][diff + 255]; };
  const uint32_t viaRuns = static_cast<uint32_t>(2 + sp(31 - 2)) << 11 |
                           static_cast<uint32_t>(10 + sp(40 - 10)) << 5 |
                           static_cast<uint32_t>(30 + sp(3 - 30));
  EXPECT_EQ(dst.Get16(0, 0), viaRuns);
  EXPECT_NE(viaRuns, want);
}

TEST_F(BlitEdgeTest, AlphaSourceWithoutTransparentFlagCopiesRaw) {
  TestImg dst, src;
  ASSERT_EQ(dst.Make(1, 1, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(src.Make(1, 1, MEMIMG_TYPE_XRGB32, 0, 1), 0);
  src.Set32(0, 0, 0x40112233);
  dst.Set32(0, 0, 0xFFFFFFFF);
  ApplyState(PlainState(1, 1));
  DrawMemImg(&dst.m, &src.m, 0, 0, 0, nullptr);
  EXPECT_EQ(dst.Get32(0, 0), 0x40112233u);
}

TEST_F(BlitEdgeTest, PaletteKeys) {
  for (int depth = 0; depth < 2; ++depth) {
    const MemImgColorType type = depth ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dst, src;
    ASSERT_EQ(dst.Make(8, 1, type), 0);
    ASSERT_EQ(src.Make(8, 1, type, 1, 0, 0, -1, 3), 0);
    for (int i = 0; i < 256; ++i) {
      const uint32_t v = 0x00010101u * static_cast<uint32_t>(i);
      std::memcpy(src.m.Base->Palette + i * (depth ? 4 : 2), &v, depth ? 4 : 2);
    }
    const uint8_t idx[8] = {3, 3, 3, 3, 3, 7, 255, 3};
    std::memcpy(src.m.Pixels, idx, 8);
    std::memset(dst.m.Pixels, 0, depth ? 32 : 16);
    ApplyState(PlainState(8, 1));
    DrawMemImg(&dst.m, &src.m, 0, 0, 1, nullptr);
    for (int i = 0; i < 8; ++i) {
      const uint32_t got = depth ? dst.Get32(i, 0) : dst.Get16(i, 0);
      const uint32_t want = idx[i] == 3 ? 0 : (0x00010101u * idx[i]) & (depth ? 0xFFFFFFFFu : 0xFFFFu);
      EXPECT_EQ(got, want) << i;
    }
    // 0xFFFF names no index: index 255 is drawn like every other.
    src.m.Base->TransColor = 0xFFFF;
    std::memset(src.m.Pixels, 255, 8);
    std::memset(dst.m.Pixels, 0, depth ? 32 : 16);
    DrawMemImg(&dst.m, &src.m, 0, 0, 1, nullptr);
    for (int i = 0; i < 8; ++i) EXPECT_NE(depth ? dst.Get32(i, 0) : dst.Get16(i, 0), 0u) << i;
  }
}

TEST_F(BlitEdgeTest, RefusalsLeaveTheDestinationByteIdentical) {
  TestImg d32, d16, s32, s16, pal32, alpha32, g8, smallG, notGraph;
  ASSERT_EQ(d32.Make(6, 4, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(d16.Make(6, 4, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(s32.Make(3, 3, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(s16.Make(3, 3, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(pal32.Make(6, 4, MEMIMG_TYPE_XRGB32, 1), 0);
  ASSERT_EQ(alpha32.Make(6, 4, MEMIMG_TYPE_XRGB32, 0, 1), 0);
  ASSERT_EQ(g8.Make(3, 3, MEMIMG_TYPE_GRAY8), 0);
  ASSERT_EQ(smallG.Make(2, 3, MEMIMG_TYPE_GRAY8), 0);
  ASSERT_EQ(notGraph.Make(3, 3, MEMIMG_TYPE_DEPTH16), 0);
  std::memset(s32.m.Pixels, 0x5A, s32.Bytes());
  std::memset(s16.m.Pixels, 0x5A, s16.Bytes());
  for (TestImg* d : {&d32, &d16, &pal32, &alpha32}) std::memset(d->m.Base->Pixels, 0x11, d->Bytes());
  const auto before32 = d32.Snapshot(), before16 = d16.Snapshot(), beforeP = pal32.Snapshot(),
             beforeA = alpha32.Snapshot();
  ApplyState(RefBlendState{{0, 0, 6, 4}, 0, 255, 0xFFFFFF, false});
  DrawMemImg(&d32.m, &s16.m, 0, 0, 0, nullptr);      // types differ
  DrawMemImg(&pal32.m, &s32.m, 0, 0, 0, nullptr);    // palette destination
  DrawMemImg(&alpha32.m, &s32.m, 0, 0, 0, nullptr);  // alpha destination
  DrawMemImg(&d32.m, &s32.m, 0, 0, 0, &smallG.m);    // blend graph smaller than the source
  DrawMemImg(&d32.m, &s32.m, 0, 0, 0, &notGraph.m);  // blend graph of another type
  DrawMemImg(&d32.m, &s32.m, 6, 0, 0, nullptr);      // wholly outside
  DrawMemImg(&d32.m, &s32.m, -3, 1, 0, nullptr);
  DrawMemImg(&d16.m, &s16.m, INT32_MAX - 1, INT32_MAX - 1, 0, nullptr);
  ApplyState(RefBlendState{{0, 0, 6, 4}, 7, 255, 0xFFFFFF, false});
  DrawMemImg(&d32.m, &s32.m, 0, 0, 0, nullptr);  // mode 7
  ApplyState(RefBlendState{{0, 0, 6, 4}, 3, 0, 0xFFFFFF, false});
  DrawMemImg(&d16.m, &s16.m, 0, 0, 0, nullptr);  // subtract by 0
  ApplyState(RefBlendState{{3, 3, 3, 3}, 0, 0, 0xFFFFFF, false});
  DrawMemImg(&d16.m, &s16.m, 0, 0, 0, nullptr);  // empty clip
  MEMIMG uninit{};
  DrawMemImg(&d32.m, &uninit, 0, 0, 0, nullptr);
  DrawMemImg(&uninit, &s32.m, 0, 0, 0, nullptr);
  EXPECT_EQ(d32.Snapshot(), before32);
  EXPECT_EQ(d16.Snapshot(), before16);
  EXPECT_EQ(pal32.Snapshot(), beforeP);
  EXPECT_EQ(alpha32.Snapshot(), beforeA);
}

TEST_F(BlitEdgeTest, HalfOutsideIsCutNotShifted) {
  TestImg dst, src;
  ASSERT_EQ(dst.Make(4, 4, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(src.Make(3, 3, MEMIMG_TYPE_XRGB32), 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) src.Set32(x, y, static_cast<uint32_t>(y * 3 + x + 1));
  dst.Fill32(0);
  ApplyState(RefBlendState{{1, 1, 4, 4}, 0, 0, 0xFFFFFF, false});
  DrawMemImg(&dst.m, &src.m, -1, 0, 0, nullptr);
  // Clip left 1, top 1: source column 2 at x = 1; source row 1 at y = 1.
  EXPECT_EQ(dst.Get32(1, 1), 6u);
  EXPECT_EQ(dst.Get32(1, 2), 9u);
  EXPECT_EQ(dst.Get32(0, 1), 0u);
  EXPECT_EQ(dst.Get32(2, 1), 0u);
}

TEST_F(BlitEdgeTest, DrawingInvalidatesTheDestinationsRunTable) {
  TestImg dst, src;
  ASSERT_EQ(dst.Make(2, 2, MEMIMG_TYPE_XRGB32, 0, 0, 1), 0);
  ASSERT_EQ(src.Make(2, 2, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(BuildMemImgRunTable(&dst.m), 0);
  EXPECT_EQ(dst.m.Base->RunTableValid, 1u);
  ApplyState(PlainState(2, 2));
  DrawMemImg(&dst.m, &src.m, 0, 0, 0, nullptr);
  EXPECT_EQ(dst.m.Base->RunTableValid, 0u);
}

}  // namespace
