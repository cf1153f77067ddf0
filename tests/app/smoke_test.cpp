// The whole library on SDL's dummy drivers: start, 100 frames, end, and no
// tracked allocation left behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/system_state.h"
#include "graphics/drawstate.h"
#include "process_state.h"
#include "vexlo.h"

namespace {
// On SDL's own back end, as a program runs; the library is ended after each
// test even when it stopped half way.
class LibrarySmoke : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(LibrarySmoke, HundredFramesHeadlessLeaveNothingBehind) {
  // A title of its own: the class name is the title, and only one copy of a
  // class may run at a time.
  std::random_device rd;
  std::string title = "VexloSmoke" + std::to_string(rd()) + std::to_string(rd());
  SetLogFileOutput(0);
  SetMainWindowTitle(title.c_str());
  ChangeWindowMode(1);
  ASSERT_EQ(InitLibrary(), 0);
  // The warm-up draws leave the front screen as the target, drawn in copy mode.
  EXPECT_EQ(GetDrawTarget(), -4);
  EXPECT_EQ(GraphicsState.BlendMode, 0);
  EXPECT_EQ(GraphicsState.BlendParam, 0);
  SetFlipWaitVBlank(0);  // a hundred frames need not take 100 vertical blanks
  for (int frame = 0; frame < 100; ++frame) {
    ASSERT_EQ(PumpWindowMessages(), 0) << "frame " << frame;
    ClearDrawTarget();
    DrawRectangle(10, 10, 100, 100, MakeColor(255, 0, 0), 1);
    DrawFormattedText(0, 0, MakeColor(255, 255, 255), "%d", frame);
    FlipScreen();
  }
  EXPECT_GE(GetMillisecondClock(), 0u);
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, 0);
  EXPECT_EQ(SystemState.Kept.Alloc.TotalBytes, 0);
  EXPECT_EQ(SystemState.Initialised, 0);
}

// A program may end the library and start it again: each run draws text,
// loads a picture and a sound and plays music, and each end leaves nothing.
TEST_F(LibrarySmoke, TheLibraryStartsAgainAfterItsEnd) {
  std::random_device rd;
  const std::string title = "VexloAgain" + std::to_string(rd()) + std::to_string(rd());
  const std::string assets = std::string(VX_SOURCE_DIR) + "/assets/";
  SetLogFileOutput(0);
  SetMainWindowTitle(title.c_str());
  ChangeWindowMode(1);
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(InitLibrary(), 0) << "run " << run;
    SetFlipWaitVBlank(0);
    const int graph = LoadImageFile((assets + "graphic/dot.bmp").c_str(), 0);
    EXPECT_NE(graph, -1) << "run " << run;
    const int sound = LoadSoundFile((assets + "sound/kasi.wav").c_str(), 1, -1);
    EXPECT_NE(sound, -1) << "run " << run;
    EXPECT_EQ(PlayMusicFile((assets + "sound/violin.mp3").c_str(), 3), 0) << "run " << run;
    for (int frame = 0; frame < 10; ++frame) {
      ASSERT_EQ(PumpWindowMessages(), 0) << "run " << run << " frame " << frame;
      ClearDrawTarget();
      EXPECT_EQ(DrawGraphPart(0, 0, 0, 0, 8, 8, graph, 1, 0), 0);
      EXPECT_GT(DrawFormattedText(0, 0, MakeColor(255, 255, 255), "%d", frame), -1);
      FlipScreen();
    }
    EXPECT_EQ(IsMusicFilePlaying(), 1) << "run " << run;
    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_EQ(SystemState.Initialised, 0);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, 0) << "run " << run;
  }
}

// Two copies of the program on one desktop: the second finds the first by
// its window class and ends at once with -1.
TEST_F(LibrarySmoke, SecondCopyOfTheProgramIsRefused) {
  namespace fs = std::filesystem;
  const fs::path program = VX_QUARRY_PATH;
  ASSERT_TRUE(fs::exists(program));
  std::random_device rd;
  const fs::path dir = fs::temp_directory_path() / ("vx_second_copy_" + std::to_string(rd()));
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all);
  // The lock file of the class "Quarry" (its name spelt in hex).
  const fs::path lock = dir / "vexlo-class-517561727279.lock";
  const fs::path rc = dir / "rc.txt";
  const std::string command =
      "cd '" + program.parent_path().string() + "' && export XDG_RUNTIME_DIR='" + dir.string() +
      "' SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy; timeout 60 '" + program.string() +
      "' >/dev/null 2>&1 & first=$!; i=0; while [ ! -e '" + lock.string() +
      "' ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; timeout 60 '" + program.string() +
      "' >/dev/null 2>&1; echo $? > '" + rc.string() + "'; kill $first; wait $first";
  std::system(command.c_str());
  std::ifstream in(rc);
  int code = -1;
  in >> code;
  EXPECT_EQ(code, 255);
  fs::remove_all(dir);
}
