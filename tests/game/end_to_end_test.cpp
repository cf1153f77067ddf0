// The quarry program itself, headless, played by a key script: title, settings (computer player
// at level 4), a few seconds of play against it, then Escape.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(EndToEnd, TitleToPlayAgainstTheComputerPlayerAndEscape) {
  const fs::path program = VX_QUARRY_PATH;
  ASSERT_TRUE(fs::exists(program));
  ASSERT_TRUE(fs::exists(program.parent_path() / "graphic" / "dot.bmp"));
  const fs::path dir = fs::temp_directory_path() / ("quarry_e2e_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const fs::path script = dir / "keys.txt";
  const fs::path trace = dir / "trace.txt";
  const fs::path rc = dir / "rc.txt";
  {
    // Times count from the moment input starts. A tap lasts 80 ms, so a frame that stalls
    // longer (a loaded machine, sanitizer builds) can swallow one: every step is repeated, and
    // the repeats do nothing once the step is done (level and row stop at their ends, Z does
    // nothing on the first three settings rows and only turns the piece in play).
    std::ofstream out(script);
    for (int i = 0; i < 3; ++i) out << 1500 + 400 * i << " tap Z      # title -> settings\n";
    for (int i = 0; i < 6; ++i) out << 2700 + 250 * i << " tap Right  # level 4\n";
    for (int i = 0; i < 5; ++i) out << 4200 + 250 * i << " tap Down   # the start row\n";
    for (int i = 0; i < 2; ++i) out << 5600 + 300 * i << " tap Z      # start\n";
    out << "8600 down Escape\n";
  }
  const std::string command =
      "cd '" + program.parent_path().string() + "' && XDG_RUNTIME_DIR='" + dir.string() +
      "' SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy VX_INPUT_SCRIPT='" + script.string() +
      "' QUARRY_TRACE='" + trace.string() + "' timeout 90 '" + program.string() + "' > '" +
      (dir / "out.txt").string() + "' 2>&1; echo $? > '" + rc.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string log = ReadFile(trace);
  EXPECT_EQ(ReadFile(rc), "0\n") << log << ReadFile(dir / "out.txt");
  EXPECT_NE(log.find("screen 0\nscreen 2\nscreen 1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("mode 0 level 4"), std::string::npos) << log;
  EXPECT_NE(log.find("exit 0"), std::string::npos) << log;
  // The computer player has placed pieces in its well.
  const size_t last = log.rfind("play frame");
  ASSERT_NE(last, std::string::npos) << log;
  int frame = 0, mode = 0, level = 0, leftCells = 0, rightCells = 0;
  ASSERT_EQ(std::sscanf(log.c_str() + last, "play frame %d mode %d level %d cells %d %d", &frame, &mode,
                        &level, &leftCells, &rightCells),
            5);
  EXPECT_GE(frame, 60);
  EXPECT_GT(rightCells, 0) << log;
  fs::remove_all(dir);
}

}  // namespace
