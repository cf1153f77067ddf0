// A program that returns from main with a file read ahead and movies decoding
// (the game does when its window is closed) ends cleanly: the read-ahead and
// decode threads are stopped before the static destructors run, each decode
// thread before the archive thread it reads through, although the first
// movie's decode thread started before any read-ahead thread. The child
// checks it itself at exit; under the sanitizers a use after free shows as a
// report and an abort.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "clip_maker.h"
#include "file/file_test_util.h"

namespace movietest {
namespace {

namespace fs = std::filesystem;

TEST(ExitWithThreads, ReadAheadAndDecodeThreadsEndBeforeTheStaticDestructors) {
  const fs::path program = fs::path(VX_BINARY_DIR) / "bin" / "testprog_exit_with_threads";
  ASSERT_TRUE(fs::exists(program));
  filetest::ScratchDir scratch;
  ClipOptions options;
  options.Pictures = 48;
  const Clip clip = MakeClip(options);
  filetest::WriteBytes(scratch.Path / "clip.ogv", clip.Data);
  ArchiveWriterOptions stored;
  stored.Compress = false;  // read from the archive file on demand
  filetest::WriteBytes(scratch.Path / "pack.vlk",
                       filetest::BuildArchiveBytes({{"clip.ogv", clip.Data, false}}, stored));
  Bytes data(size_t(4) << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + (i >> 12));
  filetest::WriteBytes(scratch.Path / "data.bin", data);

  // Eight runs, four at a time.
  constexpr int kRuns = 8;
  const std::string command = "cd '" + scratch.Path.string() + "' && seq 1 " + std::to_string(kRuns) +
                              " | xargs -P 4 -I{} sh -c 'timeout 60 \"" + program.string() +
                              "\" data.bin clip.ogv pack/clip.ogv > out{}.txt 2>&1; echo $? > rc{}.txt'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (int run = 1; run <= kRuns; ++run) {
    std::ifstream rc(scratch.Path / ("rc" + std::to_string(run) + ".txt"));
    int code = -1;
    rc >> code;
    std::ifstream out(scratch.Path / ("out" + std::to_string(run) + ".txt"));
    std::stringstream text;
    text << out.rdbuf();
    EXPECT_EQ(code, 0) << "run " << run << ":\n" << text.str();
    EXPECT_EQ(text.str().find("Sanitizer"), std::string::npos) << "run " << run << ":\n" << text.str();
    EXPECT_EQ(text.str().find("runtime error"), std::string::npos) << "run " << run << ":\n" << text.str();
  }
}

}  // namespace
}  // namespace movietest
