// The game's title, settings and play screens drawn headless into the back
// screen through the real library, at 16 and 32 bits, checked at chosen
// pixels against the game's own pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game_globals.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "image/imagedecode.h"
#include "image/pixelimage.h"
#include "process_state.h"
#include "screens.h"
#include "vexlo.h"

namespace {

struct Picture {
  PixelImage Image{};
  explicit Picture(const char* path) {
    EXPECT_EQ(LoadImageToPixelImage(path, nullptr, 0, 0, 0, 0, &Image, nullptr, nullptr), 0) << path;
  }
  ~Picture() { ReleasePixelImageImpl(&Image); }
  // 0xRRGGBB of a pixel.
  uint32_t At(int x, int y) const {
    int r = 0, g = 0, b = 0;
    ReadPixelImageRGBA(&Image, uint32_t(x), uint32_t(y), &r, &g, &b, nullptr);
    return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
  }
};

uint32_t Back(int x, int y) {
  const MEMIMG& img = DirectDrawState.BackImage;
  const uint8_t* row = img.Pixels + size_t(y) * img.Base->Pitch;
  return img.Base->Type == MEMIMG_TYPE_RGB565 ? reinterpret_cast<const uint16_t*>(row)[x]
                                              : reinterpret_cast<const uint32_t*>(row)[x];
}

uint32_t Screen(uint32_t rgb) {
  return uint32_t(MakeColor(int(rgb >> 16), int((rgb >> 8) & 255), int(rgb & 255)));
}

class GameScreensTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(VX_BINARY_DIR "/bin");
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
    LoadGameImages();
    for (int slot : {kImageBlocks, kImageTitle, kImageBackground1P, kImageSettings, kImageFaces})
      ASSERT_GE(g_game.imageHandles[slot], 0) << slot;
    StartSession(session_);
    ASSERT_EQ(SetDrawTarget(DRAW_TARGET_BACK), 0);
    ASSERT_EQ(ClearDrawTarget(), 0);
  }
  void TearDown() override {
    teststate::ResetProcessState();
    std::filesystem::current_path(previous_);
  }
  GameSession session_;
  std::filesystem::path previous_;
};

TEST_P(GameScreensTest, TitleShowsThePictureTheCursorAndBlackWhereThePictureIsBlack) {
  Picture title("graphic/bomb_title.png"), blocks("graphic/dot.bmp");
  RunTitleScreen(session_);
  EXPECT_EQ(GetScreenColorBits(), GetParam());
  int checked = 0, black = 0;
  for (int y = 10; y < 170; y += 7)
    for (int x = 10; x < 440; x += 13) {
      const uint32_t src = title.At(x, y);
      EXPECT_EQ(Back(x, y), Screen(src)) << x << "," << y;
      ++checked;
      black += src == 0;
    }
  EXPECT_GT(checked, 100);
  // The cursor: cell (0, 40) of the block sheet at (450, 180), over the picture.
  for (int dy = 2; dy < 40; dy += 5)
    for (int dx = 2; dx < 40; dx += 5) {
      const uint32_t c = blocks.At(dx, 40 + dy);
      const uint32_t expected = c != 0 ? Screen(c) : Screen(title.At(450 + dx, 180 + dy));
      EXPECT_EQ(Back(450 + dx, 180 + dy), expected) << dx << "," << dy;
    }
}

TEST_P(GameScreensTest, SettingsShowThePictureAndTheComputerPlayersFace) {
  Picture settings("graphic/select.png"), faces("graphic/chara2.bmp");
  session_.screen = kScreenSettings;
  RunSettingsScreen(session_);
  EXPECT_EQ(Back(5, 5), Screen(settings.At(5, 5)));
  EXPECT_EQ(Back(600, 100), Screen(settings.At(600, 100)));
  // Level 0 shows the face at column 4 of the sheet, at (250, 160).
  for (int dy = 5; dy < 140; dy += 9)
    for (int dx = 5; dx < 140; dx += 9) {
      const uint32_t c = faces.At(560 + dx, dy);
      const uint32_t expected = c != 0 ? Screen(c) : Screen(settings.At(250 + dx, 160 + dy));
      EXPECT_EQ(Back(250 + dx, 160 + dy), expected) << dx << "," << dy;
    }
}

TEST_P(GameScreensTest, PlayShowsTheBackgroundAndEmptyCellsOfBothWells) {
  Picture background("graphic/BG.bmp"), blocks("graphic/dot.bmp");
  StartRound(session_);
  session_.screen = kScreenPlay;
  RunPlayScreen(session_);
  // Bottom row of each well is empty at the start: an empty cell is the
  // sheet's cell (0, 0), its black pixels showing the background.
  for (int well : {20, 420}) {
    const int y0 = 60 + 19 * 20;
    for (int dy = 1; dy < 20; dy += 3)
      for (int dx = 1; dx < 20; dx += 3) {
        const uint32_t c = blocks.At(dx, dy);
        const uint32_t expected = c != 0 ? Screen(c) : Screen(background.At(well + 40 + dx, y0 + dy));
        EXPECT_EQ(Back(well + 40 + dx, y0 + dy), expected) << well << ":" << dx << "," << dy;
      }
  }
  // The red line above each well: two rows from (well, 59), of which
  // the cells cover the lower one and the new piece, entering in the
  // middle columns, covers a part; red 255 comes out one step darker.
  const uint32_t red = GetParam() == 16 ? 0xF000u : 0xFE0000u;
  const uint32_t mask = GetParam() == 16 ? 0xFFFFu : 0xFFFFFFu;
  for (int well : {20, 420}) {
    for (int x = well; x < well + 200; ++x) {
      if (x >= well + 60 && x < well + 140) continue;
      EXPECT_EQ(Back(x, 59) & mask, red) << well << ":" << x;
    }
    EXPECT_NE(Back(well - 1, 59) & mask, red) << well;
    EXPECT_NE(Back(well + 200, 59) & mask, red) << well;
    EXPECT_NE(Back(well + 100, 58) & mask, red) << well;
  }
  // Between the wells, below the panels, the background shows as it is.
  EXPECT_EQ(Back(320, 470), Screen(background.At(320, 470)));
}

TEST_P(GameScreensTest, AFlipShowsTheBackScreenAndClearingMakesItBlack) {
  RunTitleScreen(session_);
  const uint32_t before = Back(200, 100);
  EXPECT_EQ(FlipScreen(), 0);
  EXPECT_EQ(Back(200, 100), before);
  EXPECT_EQ(GetFlipCount(), 1u);
  ClearDrawTarget();
  EXPECT_EQ(Back(200, 100), Screen(0));
  EXPECT_EQ(Back(639, 479), Screen(0));
}

INSTANTIATE_TEST_SUITE_P(Depths, GameScreensTest, ::testing::Values(16, 32));

}  // namespace
