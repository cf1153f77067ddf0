// The display back end without a display device: what it answers, the
// screen at 16 and 32 bits, mode changes, and frames reaching the window.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/system_state.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "platform/present.h"
#include "platform/window_backend.h"
#include "platform/window_fake.h"
#include "process_state.h"
#include "vexlo.h"

namespace {

// A display back end as a new process has it: no settings made.
class DisplayBackEnd : public teststate::FreshProcessTest {};

TEST_F(DisplayBackEnd, AnswersAsAMachineWithoutADisplayDevice) {
  EXPECT_EQ(GetScreenColorBits(), 16);
  int w = 0, h = 0;
  GetScreenSize(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  SystemState.Window.Active = 1;
  // Not asked for software drawing: the first start fails and the graphics
  // device falls back to it.
  ASSERT_EQ(InitGraphicsDevice(nullptr), 0);
  EXPECT_EQ(GetDirectDrawObject(), nullptr);
  EXPECT_EQ(IsDevice3DValid(), 0);
  EXPECT_EQ(HasDirectDrawOutput(), 0);
  EXPECT_EQ(IsSoftwareDrawing(), 1);
  EXPECT_EQ(GetSoftwareRenderRequest(), 1);
  EXPECT_EQ(GraphicsManager.Direct3DUsable, 0);
  const PixelFormatRecord* f = GetScreenPixelFormatImpl();
  EXPECT_EQ(f->BitCount, 16u);
  EXPECT_EQ(f->RedMask, 0xF800u);
  EXPECT_EQ(f->GreenMask, 0x07E0u);
  EXPECT_EQ(DirectDrawState.BackImage.Base->Type, MEMIMG_TYPE_RGB565);
  // Texture graphs are asked for but never made.
  GraphRecord* r = nullptr;
  const int g = AddGraphData(8, 8, 1, &r, 0, 0);
  EXPECT_EQ(r->Format.Texture, 0);
  FreeGraphHandle(g, 0);
  EXPECT_EQ(CreateGraphSurface3D(nullptr), -1);
  TermGraphicsDevice();
}

TEST_F(DisplayBackEnd, A32BitScreenDrawsXrgbPixels) {
  SystemState.Window.Active = 1;
  ASSERT_EQ(SetScreenModeSetting(640, 480, 32), 0);
  ASSERT_EQ(InitGraphicsDevice(nullptr), 0);
  EXPECT_EQ(GetScreenPixelFormatImpl()->BitCount, 32u);
  EXPECT_EQ(DirectDrawState.BackImage.Base->Type, MEMIMG_TYPE_XRGB32);
  SetDrawTargetImpl(DRAW_TARGET_BACK);
  ASSERT_EQ(FillRectangle(10, 10, 20, 20, MakeColorImpl(0, 255, 0)), 0);
  const uint8_t* row = DirectDrawState.BackImage.Pixels + 15 * DirectDrawState.BackImage.Base->Pitch;
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(row)[15] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(row)[25] & 0xFFFFFF, 0u);
  EXPECT_EQ(SetScreenModeSetting(640, 480, 16), -1);  // only before the start
  TermGraphicsDevice();
  EXPECT_EQ(SetScreenModeSetting(640, 480, 24), -1);
}

TEST_F(DisplayBackEnd, AScreenModeChangeStartsTheManagerAfresh) {
  SystemState.Window.Active = 1;
  SelectRenderMode(0);
  ASSERT_EQ(InitGraphicsDevice(nullptr), 0);
  const int g = CreateGraphOfSize(16, 16, 0, 0, 0);
  SetBlendModeParam(1, 100);
  GraphicsState.TransparentColor = 0x123456;
  ASSERT_EQ(ChangeScreenMode(-1, -1, 32, 1, -1), 0);
  EXPECT_EQ(IsGraphHandleValid(g), 0);
  EXPECT_EQ(GraphicsState.BlendMode, 0);
  EXPECT_EQ(GraphicsState.TransparentColor, 0x123456u);
  EXPECT_EQ(GetScreenColorBits(), 32);
  EXPECT_EQ(GraphicsManager.SurfaceData.Count, 0);
  EXPECT_EQ(ChangeScreenMode(-1, -1, 24, 1, -1), -1);
  EXPECT_EQ(ChangeScreenMode(800, 600, 16, 1, -1), 0);
  int w = 0, h = 0;
  GetScreenSize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(DirectDrawState.BackImage.Width, 800);
  TermGraphicsDevice();
}

// Frames go to the scripted window back end, which keeps the last one shown.
class WindowFrames : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { Start(1); }
  void Start(int fake) {
    teststate::ResetProcessState();
    if (fake) {
      ASSERT_EQ(PlatUseFakeWindowBackend(), 0);
    }
    SetLogFileOutput(0);
    // A class name of its own: tests running side by side are not second copies.
    std::string title =
        std::string("VexloTest_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : title)
      if (c == '/') c = '_';
    SetMainWindowTitle(title.c_str());
    ChangeWindowMode(1);
    ASSERT_EQ(SetScreenModeSetting(640, 480, GetParam()), 0);
    ASSERT_EQ(InitLibrary(), 0);
  }
  void TearDown() override { teststate::ResetProcessState(); }
  static uint32_t Captured(int x, int y) {
    int w = 0, h = 0;
    const uint32_t* p = PlatFakePresentedFrame(&w, &h);
    return p ? p[size_t(y) * size_t(w) + size_t(x)] : 0xDEADBEEF;
  }
};

// Frames shown by the SDL2 back end (its dummy driver).
class SdlWindowFrames : public WindowFrames {
 protected:
  void SetUp() override { Start(0); }
};

TEST_P(WindowFrames, AFlipShowsTheBackScreen) {
  SetDrawTarget(DRAW_TARGET_BACK);
  ClearDrawTarget();
  DrawRectangle(100, 100, 200, 150, MakeColor(255, 0, 0), 1);
  const int frames = PlatPresentFrameCount();
  ASSERT_EQ(FlipScreen(), 0);
  EXPECT_EQ(PlatPresentFrameCount(), frames + 1);
  int w = 0, h = 0;
  ASSERT_NE(PlatFakePresentedFrame(&w, &h), nullptr);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(Captured(150, 120), 0xFF0000u);
  EXPECT_EQ(Captured(50, 50), 0u);
  EXPECT_EQ(DirectDrawState.FrontStale, 1);
}

TEST_P(WindowFrames, DrawingOnTheFrontScreenShowsAtOnceOverTheLastFrame) {
  SetDrawTarget(DRAW_TARGET_BACK);
  ClearDrawTarget();
  DrawRectangle(0, 0, 640, 480, MakeColor(0, 0, 255), 1);
  FlipScreen();
  ASSERT_EQ(SetDrawTarget(DRAW_TARGET_FRONT), 0);
  const int frames = PlatPresentFrameCount();
  DrawRectangle(10, 10, 30, 30, MakeColor(255, 255, 255), 1);
  EXPECT_EQ(PlatPresentFrameCount(), frames + 1);
  EXPECT_EQ(Captured(20, 20), 0xFFFFFFu);
  // The front image was brought up to date with the flipped frame first.
  EXPECT_EQ(Captured(300, 300), 0x0000FFu);
  EXPECT_EQ(DirectDrawState.FrontStale, 0);
  // A rectangle partly off the screen is cut to it before it is shown.
  EXPECT_EQ(PresentFrontImageRect(nullptr), -1);
  const Rect off{-50, -50, 10000, 20};
  EXPECT_EQ(PresentFrontImageRect(&off), 0);
}

TEST_P(SdlWindowFrames, TheVerticalBlankSettingAndTheFullScreenSwitch) {
  SetFlipWaitVBlank(0);
  EXPECT_EQ(FlipScreen(), 0);
  SetFlipWaitVBlank(1);
  EXPECT_EQ(FlipScreen(), 0);
  const int g = LoadImageFile("nothing-here.png", 0);
  EXPECT_EQ(g, -1);
  ASSERT_EQ(ChangeWindowMode(0), 0);
  EXPECT_EQ(GetDrawTarget(), -4);  // the manager started afresh
  EXPECT_EQ(GetScreenColorBits(), GetParam());
  EXPECT_EQ(FlipScreen(), 0);
  ASSERT_EQ(ChangeWindowMode(1), 0);
  EXPECT_EQ(FlipScreen(), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, WindowFrames, ::testing::Values(16, 32));
INSTANTIATE_TEST_SUITE_P(Depths, SdlWindowFrames, ::testing::Values(16, 32));

}  // namespace
