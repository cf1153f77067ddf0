// A program that returns from main with the library still running (the game
// does when its window is closed) ends cleanly: its sound device thread does
// not outlive what it mixes from. Run under the sanitizers, a use after free
// at exit shows as a report and an abort.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

TEST(ExitWithoutEnd, ClosingTheWindowWhileASoundLoopsEndsCleanly) {
  const fs::path program = fs::path(VX_BINARY_DIR) / "bin" / "testprog_close_without_end";
  const fs::path sound = fs::path(VX_SOURCE_DIR) / "assets" / "sound" / "kasi.wav";
  ASSERT_TRUE(fs::exists(program));
  std::random_device rd;
  const fs::path dir = fs::temp_directory_path() / ("vx_exit_" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  // Twenty runs, four at a time, each with SDL's disk audio driver writing
  // to a file of its own with a short delay, so the device thread mixes
  // nearly all the time while the process ends.
  constexpr int kRuns = 20;
  const std::string command =
      "cd '" + dir.string() + "' && seq 1 " + std::to_string(kRuns) +
      " | xargs -P 4 -I{} sh -c 'SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=audio{}.raw "
      "SDL_DISKAUDIODELAY=1 timeout 60 \"" +
      program.string() + "\" VexloExit{}_" + std::to_string(rd()) + " \"" + sound.string() +
      "\" > out{}.txt 2>&1; echo $? > rc{}.txt'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (int run = 1; run <= kRuns; ++run) {
    std::ifstream rc(dir / ("rc" + std::to_string(run) + ".txt"));
    int code = -1;
    rc >> code;
    std::ifstream out(dir / ("out" + std::to_string(run) + ".txt"));
    std::stringstream text;
    text << out.rdbuf();
    EXPECT_EQ(code, 255) << "run " << run << ":\n" << text.str();
    EXPECT_EQ(text.str().find("Sanitizer"), std::string::npos) << "run " << run << ":\n" << text.str();
    EXPECT_EQ(text.str().find("runtime error"), std::string::npos) << "run " << run << ":\n" << text.str();
    EXPECT_TRUE(fs::exists(dir / ("audio" + std::to_string(run) + ".raw"))) << "run " << run;
  }
  fs::remove_all(dir);
}
