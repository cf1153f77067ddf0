// Plain files: direct and threaded reads, seeks past the end, the read-ahead
// cache, and a randomised read/seek stress against a reference copy.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "file/winfile.h"
#include "file_test_util.h"
#include "platform/clock.h"

namespace {

using filetest::ScratchDir;

struct Mode {
  uint32_t Cache, Async;
};

class WinFileModes : public ::testing::TestWithParam<Mode> {};

std::vector<uint8_t> ReadElements(WinFileRecord* r, size_t e, size_t n, size_t* count) {
  std::vector<uint8_t> out(e * n + 1, 0xEE);
  *count = WinFileRead(out.data(), e, n, r);
  WinFileWaitIdle(r);
  return out;
}

TEST_P(WinFileModes, WholeElementsOnlyAndSeekPastEnd) {
  ScratchDir dir;
  filetest::WriteBytes(dir.Path / "f.bin", filetest::Text("ABCDEFGHIJ"));  // 10 bytes
  WinFileRecord* r = WinFileOpen("F.BIN", GetParam().Cache, 1, GetParam().Async);
  ASSERT_NE(r, nullptr);
  size_t count;
  // 3 elements of 4 bytes with 10 left: 2, the position advances by 8.
  auto out = ReadElements(r, 4, 3, &count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(std::memcmp(out.data(), "ABCDEFGH", 8), 0);
  EXPECT_EQ(out[8], 0xEE);
  EXPECT_EQ(WinFileTell(r), 8);
  EXPECT_EQ(WinFileEof(r), 0);
  ReadElements(r, 4, 3, &count);  // 2 bytes left: no partial element
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(WinFileEof(r), -1);
  EXPECT_EQ(WinFileTell(r), 8);
  // Seek past the size: the position is kept; a read gives 0 with eof.
  EXPECT_EQ(WinFileSeek(r, 100, 0), 0);
  EXPECT_EQ(WinFileEof(r), 0);
  EXPECT_EQ(WinFileTell(r), 100);
  out = ReadElements(r, 1, 5, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(WinFileEof(r), -1);
  EXPECT_EQ(WinFileTell(r), 100);
  // Origins 1 and 2, and targets outside 0..4 GiB are refused.
  EXPECT_EQ(WinFileSeek(r, -4, 2), 0);
  EXPECT_EQ(WinFileSeek(r, 1, 1), 0);
  out = ReadElements(r, 1, 5, &count);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(std::memcmp(out.data(), "HIJ", 3), 0);
  EXPECT_EQ(WinFileSeek(r, -1, 0), -1);
  EXPECT_EQ(WinFileSeek(r, INT64_MAX, 1), -1);
  EXPECT_EQ(WinFileSeek(r, int64_t{1} << 33, 0), -1);
  EXPECT_EQ(WinFileTell(r), 10);
  // Huge products do not wrap.
  EXPECT_EQ(WinFileSeek(r, 0, 0), 0);
  out.assign(16, 0);
  EXPECT_EQ(WinFileRead(out.data(), 2, SIZE_MAX, r), 5u);
  WinFileWaitIdle(r);
  EXPECT_EQ(WinFileRead(out.data(), 0, 5, r), 0u);
  EXPECT_EQ(WinFileClose(r), 0);
}

TEST_P(WinFileModes, MissingFileAndOverlongPathFail) {
  ScratchDir dir;
  EXPECT_EQ(WinFileOpen("missing.bin", GetParam().Cache, 1, GetParam().Async), nullptr);
  std::string longName(300, 'a');
  filetest::WriteBytes(dir.Path / "x", {1});
  EXPECT_EQ(WinFileOpen((std::string("x") + std::string(270, '/')).c_str(), 0, 1, 0), nullptr);
  EXPECT_EQ(WinFileOpen(longName.c_str(), GetParam().Cache, 1, GetParam().Async), nullptr);
  EXPECT_EQ(WinFileOpen("", 0, 1, 0), nullptr);
  EXPECT_EQ(WinFileOpen(nullptr, 0, 1, 0), nullptr);
}

// Random reads and seeks must always match a reference copy; in cached mode
// pauses longer than the thread's idle time let it fill the cache between.
TEST_P(WinFileModes, RandomReadSeekStressMatchesReference) {
  ScratchDir dir;
  const auto reference = filetest::RandomBytes(300000, 7);
  filetest::WriteBytes(dir.Path / "ref.bin", reference);
  WinFileRecord* r = WinFileOpen("ref.bin", GetParam().Cache, 1, GetParam().Async);
  ASSERT_NE(r, nullptr);
  std::mt19937 rng(42);
  uint64_t position = 0;
  bool eof = false;
  std::vector<uint8_t> buffer(70000);
  int pauses = 0;
  for (int step = 0; step < 400; ++step) {
    if (GetParam().Cache && step % 100 == 50 && pauses < 3) {
      PlatSleep(WIN_FILE_CACHE_IDLE_MS + 60);
      ++pauses;
    }
    switch (rng() % 4) {
      case 0: {
        int64_t target = static_cast<int64_t>(rng() % (reference.size() + 2000));
        ASSERT_EQ(WinFileSeek(r, target, 0), 0);
        position = static_cast<uint64_t>(target);
        eof = false;
        break;
      }
      case 1: {
        int64_t delta = static_cast<int64_t>(rng() % 20000) - 10000;
        if (static_cast<int64_t>(position) + delta < 0) delta = -static_cast<int64_t>(position);
        ASSERT_EQ(WinFileSeek(r, delta, 1), 0);
        position += delta;
        eof = false;
        break;
      }
      default: {
        static const size_t kSizes[] = {1, 3, 8, 4096, 65536};
        size_t e = rng() % 3 == 0 ? 1 + rng() % 7 : 1;
        size_t n = kSizes[rng() % 5] / e + 1;
        std::fill(buffer.begin(), buffer.end(), 0xCD);
        size_t got = WinFileRead(buffer.data(), e, n, r);
        WinFileWaitIdle(r);
        size_t left = position < reference.size() ? reference.size() - position : 0;
        size_t expect = std::min(n, left / e);
        ASSERT_EQ(got, expect) << "step " << step;
        ASSERT_EQ(std::memcmp(buffer.data(), reference.data() + position, got * e), 0) << "step " << step;
        ASSERT_EQ(buffer[got * e], 0xCD);
        position += got * e;
        if (expect == 0) eof = true;
        break;
      }
    }
    ASSERT_EQ(WinFileTell(r), static_cast<int64_t>(position));
    ASSERT_EQ(WinFileEof(r), eof ? -1 : 0);
  }
  EXPECT_EQ(WinFileClose(r), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, WinFileModes,
                         ::testing::Values(Mode{0, 0}, Mode{0, 1}, Mode{1, 0}, Mode{1, 1}),
                         [](const auto& info) {
                           return std::string(info.param.Cache ? "Cached" : "Uncached") +
                                  (info.param.Async ? "Async" : "Sync");
                         });

TEST(WinFile, AsyncReadReturnsAtOnceAndIsIdleAfterwards) {
  ScratchDir dir;
  const auto reference = filetest::RandomBytes(1 << 20, 3);
  filetest::WriteBytes(dir.Path / "big.bin", reference);
  WinFileRecord* r = WinFileOpen("big.bin", 0, 1, 1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(WinFileIsIdle(r), 1);
  std::vector<uint8_t> out(reference.size() + 100);
  EXPECT_EQ(WinFileRead(out.data(), 1000, 2000, r), reference.size() / 1000);  // clamped at once
  EXPECT_EQ(WinFileTell(r), static_cast<int64_t>(reference.size() / 1000 * 1000));
  WinFileWaitIdle(r);
  EXPECT_EQ(WinFileIsIdle(r), 1);
  EXPECT_EQ(WinFileLastReadSize(r), reference.size() / 1000 * 1000);
  EXPECT_EQ(std::memcmp(out.data(), reference.data(), reference.size() / 1000 * 1000), 0);
  EXPECT_EQ(WinFileClose(r), 0);
}

TEST(WinFile, SyncThreadedReadReturnsWhatTheThreadRead) {
  ScratchDir dir;
  filetest::WriteBytes(dir.Path / "s.bin", filetest::RandomBytes(5000, 9));
  // The file shrinks after open: the thread reads fewer bytes than asked and
  // a synchronous reader must see that count, not the one it asked for.
  WinFileRecord* r = WinFileOpen("s.bin", 1, 1, 0);
  ASSERT_NE(r, nullptr);
  filetest::WriteBytes(dir.Path / "s.bin", filetest::RandomBytes(1000, 9));
  ASSERT_EQ(WinFileSeek(r, 0, 0), 0);  // empties whatever the cache read before
  std::vector<uint8_t> out(5000);
  EXPECT_EQ(WinFileRead(out.data(), 100, 50, r), 10u);
  EXPECT_EQ(WinFileTell(r), 1000);
  EXPECT_GE(WinFileShortReadCount(r), 1u);
  EXPECT_EQ(WinFileClose(r), 0);
}

TEST(WinFile, TempFileIsNewAndWritable) {
  char path[WIN_FILE_PATH_SIZE];
  PlatFile f = CreateTempFileForWrite(path);
  ASSERT_NE(f, PLAT_INVALID_FILE);
  EXPECT_EQ(path[0], '\\');
  EXPECT_EQ(PlatWriteFile(f, "abc", 3), 3);
  PlatCloseFile(f);
  EXPECT_EQ(PlatIsFile(path), 1);
  EXPECT_EQ(PlatDeleteFile(path), 0);
}

TEST(MakeFullPath, RulesOnDriveAndPosixBases) {
  char out[WIN_FILE_PATH_SIZE];
  ASSERT_EQ(MakeFullPath("..\\x", out, "C:\\a\\b"), 0);
  EXPECT_STREQ(out, "C:\\a\\x");
  ASSERT_EQ(MakeFullPath("C:\\a\\..\\x", out, "D:\\q"), 0);
  EXPECT_STREQ(out, "C:\\x");
  EXPECT_EQ(MakeFullPath("a\\\\b", out, "C:\\a"), -1);
  ASSERT_EQ(MakeFullPath("x\\..", out, "C:\\a"), 0);
  EXPECT_STREQ(out, "C:\\a\\x\\..");  // a last ".." stays as written
  ASSERT_EQ(MakeFullPath("..\\..\\..\\y", out, "C:\\a"), 0);
  EXPECT_STREQ(out, "C:\\y");  // never past the drive
  ASSERT_EQ(MakeFullPath("Graphic/./BG.bmp", out, "/home/u/game"), 0);
  EXPECT_STREQ(out, "\\home\\u\\game\\Graphic\\BG.bmp");
  ASSERT_EQ(MakeFullPath("..\\..\\..\\..\\etc", out, "/home/u/game"), 0);
  EXPECT_STREQ(out, "\\etc");  // ".." stops at the root
  ASSERT_EQ(MakeFullPath("/tmp/f", out, "/home/u"), 0);
  EXPECT_STREQ(out, "\\tmp\\f");
  // A Shift-JIS pair whose second byte is '\' is one character.
  ASSERT_EQ(MakeFullPath("\x95\x5C\\a", out, "/r"), 0);
  EXPECT_STREQ(out, "\\r\\\x95\x5C\\a");
  ASSERT_EQ(MakeFullPath(nullptr, out, "/r/s"), 0);
  EXPECT_STREQ(out, "\\r\\s");
  EXPECT_EQ(MakeFullPath(std::string(300, 'a').c_str(), out, "/r"), -1);
}

TEST(MakeFullPathFromCurrentDir, UpperCasedAbsolute) {
  ScratchDir dir;
  char out[FULL_PATH_SIZE];
  ASSERT_EQ(MakeFullPathFromCurrentDir("data\\img//./a.bmp", out), 0);
  std::string expected = "\\";
  for (char c : dir.Path.string().substr(1))
    expected.push_back(c == '/' ? '\\' : static_cast<char>(std::toupper(c)));
  EXPECT_EQ(std::string(out), expected + "\\DATA\\IMG\\A.BMP");
  ASSERT_EQ(MakeFullPathFromCurrentDir("\\\\srv\\x", out), 0);
  EXPECT_STREQ(out, "\\SRV\\X");
  EXPECT_EQ(MakeFullPathFromCurrentDir(std::string(300, 'b').c_str(), out), -1);
}

}  // namespace
