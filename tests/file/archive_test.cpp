// Archives standing in for directories, the open-file table, and members
// read through the file-access table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "file/archive.h"
#include "file/openfile.h"
#include "file/vlkformat.h"
#include "file_test_util.h"
#include "process_state.h"

namespace {

using filetest::ScratchDir;
using filetest::Text;

std::vector<ArchiveWriterMember> DataMembers() {
  return {
      {"IMG\\A.BMP", Text("picture A"), false},
      {"b.wav", filetest::CompressibleBytes(20000, 1), false},
      {"img\\Sub\\deep.txt", Text("deep inside"), false},
      {"fifteen.bin", Text("0123456789ABCDE"), false},
      {"MISSING", Text("a file, not a directory"), false},
      {"noise.bin", filetest::RandomBytes(70000, 2), false},
      {"empty.txt", {}, false},
      {"Void", {}, true},
      {"img\\\x95\x5C.txt", Text("shift-jis name"), false},  // second byte is '\\'
  };
}

class ArchiveFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    InitFileAccess();
  }
  void TearDown() override { teststate::ResetProcessState(); }
  void Write(const char* name, const std::vector<ArchiveWriterMember>& members,
             ArchiveWriterOptions options = {}) {
    filetest::WriteBytes(dir_.Path / name, filetest::BuildArchiveBytes(members, options));
  }
  std::vector<uint8_t> Read(const char* path, uint32_t async = 0) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(filetest::ReadThroughTable(path, &out, async)) << path;
    return out;
  }
  ScratchDir dir_;
};

TEST_F(ArchiveFiles, ArchiveStandsInForItsDirectory) {
  Write("DATA.VLK", DataMembers());
  // A real directory of the same name is not looked at.
  filetest::WriteBytes(dir_.Path / "data" / "plain_only.txt", Text("plain"));
  for (uint32_t async : {0u, 1u}) {
    EXPECT_EQ(Read("data\\img\\a.bmp", async), Text("picture A"));
    EXPECT_EQ(Read("data/IMG/A.Bmp", async), Text("picture A"));
    EXPECT_EQ(Read("data\\img\\sub\\DEEP.TXT", async), Text("deep inside"));
    EXPECT_EQ(Read("DATA\\b.wav", async), filetest::CompressibleBytes(20000, 1));
    EXPECT_EQ(Read("data\\noise.bin", async), filetest::RandomBytes(70000, 2));
    EXPECT_TRUE(Read("data\\empty.txt", async).empty());
  }
  EXPECT_EQ(Read("data\\IMG\\\x95\x5C.TXT"), Text("shift-jis name"));
  EXPECT_EQ(FileOpOpen("data\\plain_only.txt", 0, 1, 0), 0u);
  EXPECT_EQ(FileOpOpen("data\\nothere.bmp", 0, 1, 0), 0u);
  EXPECT_EQ(FileOpOpen("data\\img", 0, 1, 0), 0u);
  EXPECT_EQ(FileOpOpen("data\\void", 0, 1, 0), 0u);
  EXPECT_EQ(FileOpOpen("data\\img\\a.bmp\\x", 0, 1, 0), 0u);
  // A missing directory does not fall back to a file of that name.
  EXPECT_EQ(FileOpOpen("data\\MISSING\\A.BMP", 0, 1, 0), 0u);
  EXPECT_EQ(Read("data\\MISSING"), Text("a file, not a directory"));
  EXPECT_EQ(ArchiveTable.Count, 1);
}

TEST_F(ArchiveFiles, RememberedArchiveIsReusedAndReferencesCounted) {
  Write("data.vlk", DataMembers());
  FileHandle a = FileOpOpen("data\\img\\a.bmp", 0, 1, 0);
  ASSERT_NE(a, 0u);
  ASSERT_GT(FileAccess.RememberedPrefixLength, 0u);
  const std::string remembered = FileAccess.RememberedArchivePath;
  EXPECT_EQ(remembered.substr(remembered.size() - 9), "\\DATA.VLK");
  const int index = FileAccess.RememberedArchiveIndex;
  FileHandle b = FileOpOpen("data\\b.wav", 0, 1, 0);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(FileAccess.RememberedArchivePath, remembered);
  EXPECT_EQ(ArchiveTable.Count, 1);
  EXPECT_EQ(ArchiveTable.Slots[index]->RefCount, 2);
  EXPECT_EQ(FileOpOpen("data\\gone.txt", 0, 1, 0), 0u);
  EXPECT_EQ(ArchiveTable.Slots[index]->RefCount, 2);
  EXPECT_EQ(FileOpClose(a), 0);
  EXPECT_EQ(FileOpClose(b), 0);
  EXPECT_EQ(ArchiveTable.Slots[index]->RefCount, 0);
  EXPECT_EQ(ArchiveTable.Count, 1);  // stays open, cached
  EXPECT_EQ(OpenArchiveCached(-1, remembered.c_str()), index);
  ReleaseArchive(index);
  EndFileAccess();
  EXPECT_EQ(ArchiveTable.Count, 0);
}

TEST_F(ArchiveFiles, ArchiveNearerTheRootWins) {
  Write("outer.vlk", {{"inner\\x.txt", Text("from outer"), false}});
  std::filesystem::create_directory(dir_.Path / "outer");
  Write("outer/inner.vlk", {{"x.txt", Text("from inner"), false}});
  EXPECT_EQ(Read("outer\\inner\\x.txt"), Text("from outer"));
  EndFileAccess();
  std::filesystem::remove(dir_.Path / "outer.vlk");
  EXPECT_EQ(Read("outer\\inner\\x.txt"), Text("from inner"));
}

TEST_F(ArchiveFiles, FallbackKeyVersionOneAndVersionFour) {
  ArchiveWriterOptions fallback;
  fallback.UseFallbackKey = true;
  Write("fb.vlk", DataMembers(), fallback);
  EXPECT_EQ(Read("fb\\img\\a.bmp"), Text("picture A"));
  EXPECT_EQ(Read("fb\\b.wav"), filetest::CompressibleBytes(20000, 1));

  ArchiveWriterOptions v1;
  v1.Version = 1;
  auto bytes = filetest::BuildArchiveBytes(DataMembers(), v1);
  filetest::WriteBytes(dir_.Path / "v1.vlk", bytes);
  EXPECT_EQ(Read("v1\\img\\sub\\deep.txt"), Text("deep inside"));
  EXPECT_EQ(Read("v1\\b.wav"), filetest::CompressibleBytes(20000, 1));
  ArchiveRecord record{};
  ASSERT_EQ(OpenArchiveFromFile(&record, "v1.vlk"), 0);
  EXPECT_EQ(record.FileEntrySize, 40u);
  CloseArchive(&record);

  // The same archive marked version 4 is refused.
  ArchiveKey key;
  MakeArchiveKey(&key);
  ArchiveKeyXor(bytes.size(), bytes.data(), 0, &key);
  bytes[2] = 4;
  ArchiveKeyXor(bytes.size(), bytes.data(), 0, &key);
  filetest::WriteBytes(dir_.Path / "v4.vlk", bytes);
  EXPECT_EQ(OpenArchiveFromFile(&record, "v4.vlk"), -1);
  EXPECT_EQ(FileOpOpen("v4\\b.wav", 0, 1, 0), 0u);
  // Neither key gives the magic: refused.
  filetest::WriteBytes(dir_.Path / "junk.vlk", filetest::RandomBytes(500, 3));
  EXPECT_EQ(OpenArchiveFromFile(&record, "junk.vlk"), -1);
}

TEST_F(ArchiveFiles, MemberReadsSeeksAndPartialElements) {
  Write("d.vlk", DataMembers());
  for (uint32_t async : {0u, 1u}) {
    FileHandle h = FileOpOpen("d\\fifteen.bin", 0, 1, async);
    ASSERT_NE(h, 0u);
    char out[16] = {};
    EXPECT_EQ(FileOpRead(out, 1, 10, h), 10u);
    EXPECT_EQ(FileOpRead(out + 10, 1, 10, h), 5u);
    EXPECT_EQ(FileOpIsIdle(h) == 0 || FileOpIsIdle(h) == 1, true);
    EXPECT_EQ(FileOpTell(h), 15);
    EXPECT_STREQ(out, "0123456789ABCDE");
    EXPECT_EQ(FileOpEof(h), 0);
    EXPECT_EQ(FileOpRead(out, 1, 10, h), 0u);
    EXPECT_EQ(FileOpEof(h), -1);
    // Two elements of 8 with 12 left: one element, the 12 bytes consumed.
    EXPECT_EQ(FileOpSeek(h, 3, 0), 0);
    EXPECT_EQ(FileOpEof(h), 0);
    EXPECT_EQ(FileOpRead(out, 8, 2, h), 1u);
    EXPECT_EQ(FileOpTell(h), 15);
    // Seeks clamp to the member.
    EXPECT_EQ(FileOpSeek(h, 100, 0), 0);
    EXPECT_EQ(FileOpTell(h), 15);
    EXPECT_EQ(FileOpSeek(h, -100, 1), 0);
    EXPECT_EQ(FileOpTell(h), 0);
    EXPECT_EQ(FileOpSeek(h, -5, 2), 0);
    EXPECT_EQ(FileOpRead(out, 1, 16, h), 5u);
    EXPECT_EQ(FileOpTell(h), 15);
    EXPECT_EQ(FileOpSeek(h, INT64_MIN, 2), 0);
    EXPECT_EQ(FileOpTell(h), 0);
    EXPECT_EQ(FileOpRead(out, 0, 16, h), 0u);  // element size 0 reads nothing
    EXPECT_EQ(FileOpTell(h), 0);
    EXPECT_EQ(FileOpRead(out, SIZE_MAX, 2, h), 0u);
    EXPECT_EQ(FileOpClose(h), 0);
  }
}

// Random reads and seeks on stored and compressed members, synchronous and
// asynchronous, always match the reference bytes.
TEST_F(ArchiveFiles, RandomMemberReadSeekStressMatchesReference) {
  const auto noise = filetest::RandomBytes(70000, 2);       // stored
  const auto text = filetest::CompressibleBytes(20000, 1);  // compressed
  Write("d.vlk", DataMembers());
  std::mt19937 rng(99);
  for (uint32_t async : {0u, 1u}) {
    for (const auto* ref : {&noise, &text}) {
      FileHandle h = FileOpOpen(ref == &noise ? "d\\noise.bin" : "d\\b.wav", 0, 1, async);
      ASSERT_NE(h, 0u);
      int64_t position = 0;
      std::vector<uint8_t> buffer(9000);
      for (int step = 0; step < 150; ++step) {
        if (rng() % 3 == 0) {
          int64_t target = static_cast<int64_t>(rng() % (ref->size() + 500));
          ASSERT_EQ(FileOpSeek(h, target, 0), 0);
          position = std::min<int64_t>(target, static_cast<int64_t>(ref->size()));
          continue;
        }
        size_t n = 1 + rng() % buffer.size();
        size_t got = FileOpRead(buffer.data(), 1, n, h);
        while (FileOpIsIdle(h) == 0) PlatSleep(0);
        size_t expect = std::min<size_t>(n, ref->size() - static_cast<size_t>(position));
        ASSERT_EQ(got, expect);
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got),
                               ref->begin() + position));
        position += static_cast<int64_t>(got);
        ASSERT_EQ(FileOpTell(h), position);
      }
      EXPECT_EQ(FileOpClose(h), 0);
    }
  }
}

TEST_F(ArchiveFiles, BadHandlesFailEverywhere) {
  filetest::WriteBytes(dir_.Path / "p.txt", Text("plain"));
  FileHandle h = FileOpOpen("p.txt", 0, 1, 0);
  ASSERT_EQ(h, FILE_HANDLE_TAG);
  char out[8];
  for (FileHandle bad :
       {FileHandle{0}, FileHandle{1}, h | 5u, h & FILE_HANDLE_INDEX_MASK, 0xF0000200u, 0xE0000000u}) {
    EXPECT_EQ(FileOpClose(bad), -1);
    EXPECT_EQ(FileOpTell(bad), -1);
    EXPECT_EQ(FileOpSeek(bad, 0, 0), -1);
    EXPECT_EQ(FileOpRead(out, 1, 8, bad), 0u);
    EXPECT_EQ(FileOpEof(bad), -1);
    EXPECT_EQ(FileOpIsIdle(bad), -1);
  }
  EXPECT_EQ(FileOpClose(h), 0);
  EXPECT_EQ(FileOpTell(h), -1);  // stale
  EXPECT_EQ(FileOpClose(h), -1);
  // A path longer than the fixed buffers fails the open.
  std::string longPath = std::string(250, 'd') + "\\" + std::string(20, 'f');
  EXPECT_EQ(FileOpOpen(longPath.c_str(), 0, 1, 0), 0u);
  EXPECT_EQ(FileOpOpen(nullptr, 0, 1, 0), 0u);
}

TEST_F(ArchiveFiles, FiveHundredTwelveHandles) {
  filetest::WriteBytes(dir_.Path / "p.txt", Text("plain"));
  Write("d.vlk", DataMembers());
  std::vector<FileHandle> handles;
  for (int i = 0; i < OPEN_FILE_MAX; ++i) {
    FileHandle h = FileOpOpen(i % 2 ? "p.txt" : "d\\fifteen.bin", 0, 1, 0);
    ASSERT_EQ(h, FILE_HANDLE_TAG | static_cast<uint32_t>(i));
    handles.push_back(h);
  }
  EXPECT_EQ(FileOpOpen("p.txt", 0, 1, 0), 0u);
  EXPECT_EQ(FileOpClose(handles[37]), 0);
  EXPECT_EQ(FileOpClose(handles[12]), 0);
  EXPECT_EQ(FileOpOpen("p.txt", 0, 1, 0), handles[12]);
  EXPECT_EQ(FileOpOpen("d\\fifteen.bin", 0, 1, 0), handles[37]);
  EXPECT_EQ(FileAccess.FileCount, OPEN_FILE_MAX);
  // The end of file access closes what is still open.
  EndFileAccess();
  EXPECT_EQ(FileAccess.FileCount, 0);
  EXPECT_EQ(ArchiveTable.Count, 0);
}

TEST_F(ArchiveFiles, PackedDirectoryRoundTripsBitForBit) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"src/a.txt", filetest::CompressibleBytes(30000, 9)},
      {"src/Sub/Noise.bin", filetest::RandomBytes(4000, 9)},
      {"src/Sub/deeper/e.bin", {}},
      {"src/esc.bin", std::vector<uint8_t>(5000, 0)},
  };
  for (auto& f : files) filetest::WriteBytes(dir_.Path / f.first, f.second);
  std::filesystem::create_directories(dir_.Path / "src" / "emptydir");
  std::string error;
  ASSERT_TRUE(PackDirectory((dir_.Path / "src").c_str(), (dir_.Path / "pack.vlk").c_str(), {}, &error))
      << error;
  for (auto& f : files) {
    std::string path = "pack" + f.first.substr(3);
    EXPECT_EQ(Read(path.c_str()), f.second) << path;
    EXPECT_EQ(Read(path.c_str(), 1), f.second) << path;
  }
  EXPECT_EQ(FileOpOpen("pack\\emptydir", 0, 1, 0), 0u);
  // Bad members are refused by the writer.
  std::vector<uint8_t> out;
  EXPECT_FALSE(BuildArchive({{"a\\\\b", {}, false}}, {}, &out, &error));
  EXPECT_FALSE(BuildArchive({{"x", {}, false}, {"X", {}, false}}, {}, &out, &error));
  EXPECT_FALSE(BuildArchive({{"x", {}, false}, {"x\\y", {}, false}}, {}, &out, &error));
}

}  // namespace
