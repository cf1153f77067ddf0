// The drawing state: setters and their ranges, the clip rectangle across
// target changes, refused targets, colour values of each screen format.
#include "graph_fixture.h"
#include "softrender/memimg_tables.h"

using namespace graphtest;

namespace {

TEST_F(Graphics16Test, DefaultsAfterStart) {
  const GraphicsStateBlock& s = GraphicsState;
  EXPECT_EQ(s.DrawTarget, DRAW_TARGET_FRONT);
  EXPECT_EQ(s.BlendGraph, -1);
  EXPECT_EQ(s.Tint, 0xFFFFFFu);
  EXPECT_EQ(s.TextureGraphSetting, 1);
  EXPECT_EQ(s.NewGraphAlphaTest, 1);
  EXPECT_EQ(s.Draw3DWords[2], 4);
  EXPECT_EQ(s.Draw3DWords[3], 3);
  EXPECT_FLOAT_EQ(s.Draw3DFloat, 0.2f);
  EXPECT_EQ(s.ClipRect.Right, 640);
  EXPECT_EQ(s.ClipRect.Bottom, 480);
  EXPECT_EQ(IsTextureGraphMode(), 0);
  EXPECT_NE(GetLightRecord(s.Lights.DefaultLight), nullptr);
}

TEST_F(Graphics16Test, BlendParameterIsClampedButComparedAsGiven) {
  SetBlendModeParam(1, 300);
  EXPECT_EQ(GraphicsState.BlendParam, 255);
  EXPECT_EQ(SoftDrawState.BlendParam, 255);
  GraphicsState.BlendParam = 17;  // shows whether the next call stores again
  SetBlendModeParam(1, 300);
  EXPECT_EQ(GraphicsState.BlendParam, 255);
  GraphicsState.BlendParam = 255;
  SetBlendModeParam(1, 255);
  EXPECT_EQ(GraphicsState.BlendParam, 255);
  SetBlendModeParam(2, -4);
  EXPECT_EQ(GraphicsState.BlendMode, 2);
  EXPECT_EQ(GraphicsState.BlendParam, 0);
  EXPECT_EQ(SoftDrawState.BlendMode, 2);
}

TEST_F(Graphics16Test, TintIsClampedPerChannel) {
  SetDrawTint(-5, 128, 999);
  EXPECT_EQ(GraphicsState.Tint, 0x0080FFu);
  EXPECT_EQ(SoftDrawState.Tint, 0x0080FFu);
}

TEST_F(Graphics16Test, ClipRectangleIsOrderedAndHeldToTheTarget) {
  SetDrawTargetImpl(DRAW_TARGET_BACK);
  SetDrawClipRect(500, 400, 100, 50);
  Rect r;
  GetDrawClipRect(&r);
  EXPECT_EQ(r.Left, 100);
  EXPECT_EQ(r.Top, 50);
  EXPECT_EQ(r.Right, 500);
  EXPECT_EQ(r.Bottom, 400);
  EXPECT_EQ(GraphicsState.EmptyClip, 0);
  EXPECT_FLOAT_EQ(GetDrawClipRectF().Right, 500.0f);
  SetDrawClipRect(-10, -10, 700, 500);
  GetDrawClipRect(&r);
  EXPECT_EQ(r.Left, 0);
  EXPECT_EQ(r.Right, 640);
  EXPECT_EQ(r.Bottom, 480);
  // The arguments as given are kept, so a window move can apply them again
  // to a target whose rectangle has grown back.
  GetStoredDrawClipArgs(&r);
  EXPECT_EQ(r.Left, -10);
  EXPECT_EQ(r.Right, 700);
  EXPECT_EQ(r.Bottom, 500);
  SetDrawClipRect(5, 5, 5, 100);
  EXPECT_EQ(GraphicsState.EmptyClip, 1);
  EXPECT_EQ(GraphicsState.ClipArgs[3], 100);
}

TEST_F(Graphics16Test, ASameSizedTargetKeepsTheClipAndAnotherSizeResetsIt) {
  SetNewGraphDrawValid(1);
  const int a = CreateGraphOfSize(64, 32, 0, 0, 0);
  const int b = CreateGraphOfSize(64, 32, 0, 0, 0);
  const int c = CreateGraphOfSize(16, 16, 0, 0, 0);
  SetNewGraphDrawValid(0);
  ASSERT_EQ(SetDrawTargetImpl(a), 0);
  SetDrawClipRect(4, 4, 20, 20);
  ASSERT_EQ(SetDrawTargetImpl(b), 0);
  EXPECT_EQ(GraphicsState.ClipRect.Right, 20);
  ASSERT_EQ(SetDrawTargetImpl(c), 0);
  EXPECT_EQ(GraphicsState.ClipRect.Left, 0);
  EXPECT_EQ(GraphicsState.ClipRect.Right, 16);
  EXPECT_EQ(GraphicsState.TargetWidth, 16);
}

TEST_F(Graphics16Test, ARefusedTargetPutsTheOldOneBackOnce) {
  SetNewGraphDrawValid(1);
  const int target = CreateGraphOfSize(32, 32, 0, 0, 0);
  SetNewGraphDrawValid(0);
  const int plain = CreateGraphOfSize(32, 32, 0, 0, 0);  // not made to be drawn into
  ASSERT_EQ(SetDrawTargetImpl(target), 0);
  EXPECT_EQ(SetDrawTargetImpl(plain), -1);
  EXPECT_EQ(GetDrawTarget(), target);
  EXPECT_EQ(GetDrawTargetImage(), GraphImage(target));
  EXPECT_EQ(SetDrawTargetImpl(0x0800ABCD), -1);
  EXPECT_EQ(GetDrawTarget(), target);
  // An old target that is itself refused now: the back screen takes over
  // instead of an endless round of retries.
  GraphicsState.DrawTarget = 0x0800ABCD;
  EXPECT_EQ(SetDrawTargetImpl(0x0800ABCE), -1);
  EXPECT_EQ(GetDrawTarget(), -2);
  EXPECT_EQ(GetDrawTargetImage(), &DirectDrawState.BackImage);
}

TEST_F(Graphics16Test, ARefusedTargetReselectsTheOldOneAsAChangeFromTheRefusedOne) {
  const int small = CreateGraphOfSize(32, 32, 0, 0, 0);  // not made to be drawn into
  const int screenSized = CreateGraphOfSize(640, 480, 0, 0, 0);
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_BACK), 0);
  SetDrawClipRect(10, 10, 100, 100);
  // Put back after a target of another size: the old target's whole area.
  EXPECT_EQ(SetDrawTargetImpl(small), -1);
  EXPECT_EQ(GetDrawTarget(), -2);
  EXPECT_EQ(GraphicsState.ClipRect.Left, 0);
  EXPECT_EQ(GraphicsState.ClipRect.Right, 640);
  EXPECT_EQ(GraphicsState.ClipRect.Bottom, 480);
  // After one of the same size the clip rectangle stays.
  SetDrawClipRect(10, 10, 100, 100);
  EXPECT_EQ(SetDrawTargetImpl(screenSized), -1);
  EXPECT_EQ(GetDrawTarget(), -2);
  EXPECT_EQ(GraphicsState.ClipRect.Left, 10);
  EXPECT_EQ(GraphicsState.ClipRect.Right, 100);
  EXPECT_EQ(SoftDrawState.Clip->Right, 100);
}

TEST_F(Graphics16Test, ScreenTargetsSetTheTransforms) {
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_BACK), 0);
  const Matrix4& v = GraphicsState.View;
  EXPECT_NEAR(v.M[3][0], -320.0f, 1e-3);
  EXPECT_NEAR(v.M[3][1], -240.0f, 1e-3);
  EXPECT_NEAR(v.M[3][2], 240.0f * 1.7320509f, 1e-2);
  EXPECT_FLOAT_EQ(GraphicsState.Viewport.M[0][0], 320.0f);
  EXPECT_FLOAT_EQ(GraphicsState.Viewport.M[1][1], -240.0f);
  EXPECT_FLOAT_EQ(GraphicsState.World.M[2][2], 1.0f);
}

TEST_F(Graphics16Test, FlipCounterAndVerticalBlankSetting) {
  ResetFlipCount();
  IncrementFlipCount();
  IncrementFlipCount();
  EXPECT_EQ(GetFlipCount(), 2u);
  SetFlipWaitVBlank(0);
  EXPECT_EQ(GetFlipWaitVBlank(), 0);
  EXPECT_EQ(GraphicsState.NoVBlankWait, 1);
  SetFlipWaitVBlank(1);
  EXPECT_EQ(GetFlipWaitVBlank(), 1);
}

TEST_F(Graphics16Test, ColoursOnA565Screen) {
  EXPECT_EQ(MakeColorImpl(255, 0, 0), 0xF800);
  EXPECT_EQ(MakeColorImpl(255, 255, 255), 0xFFFF);
  EXPECT_EQ(MakeColorImpl(7, 3, 7), 0);
  int r, g, b;
  ASSERT_EQ(SplitColorValue(0xF800, &r, &g, &b), 0);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
  SplitColorValue(0x07E0, &r, &g, &b);
  EXPECT_EQ(g, 255);
}

class Graphics32Test : public ::testing::Test {
 protected:
  void SetUp() override { StartGraphics(32); }
  void TearDown() override { EndGraphics(); }
};

TEST_F(Graphics32Test, ColoursOnAnXrgbScreenSetTheUnusedByte) {
  EXPECT_EQ(uint32_t(MakeColorImpl(1, 2, 3)), 0xFF010203u);
  int r, g, b;
  SplitColorValue(0xFF102030u, &r, &g, &b);
  EXPECT_EQ(r, 0x10);
  EXPECT_EQ(g, 0x20);
  EXPECT_EQ(b, 0x30);
  int bits = 0;
  GetScreenModeInfo(nullptr, nullptr, &bits);
  EXPECT_EQ(bits, 32);
}

class PaletteScreen : public teststate::FreshProcessTest {};

TEST_F(PaletteScreen, ColoursAreTheNearestPaletteEntryLowestFirst) {
  DirectDrawState.ScreenBits = 8;
  for (int i = 0; i < 256; ++i) DirectDrawState.ScreenPalette[i] = ScreenPaletteEntry{uint8_t(i), 0, 0, 0};
  DirectDrawState.ScreenPalette[3] = ScreenPaletteEntry{10, 200, 30, 0};
  DirectDrawState.ScreenPalette[7] = ScreenPaletteEntry{10, 200, 30, 0};
  EXPECT_EQ(MakeColorImpl(10, 200, 30), 3);
  EXPECT_EQ(MakeColorImpl(100, 0, 0), 100);
  int r, g, b;
  EXPECT_EQ(SplitColorValue(7, &r, &g, &b), 0);
  EXPECT_EQ(g, 200);
  EXPECT_EQ(SplitColorValue(256, &r, &g, &b), -1);
}

}  // namespace
