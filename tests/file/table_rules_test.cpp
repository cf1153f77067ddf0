// Rules of the tables and readers that the other file tests do not reach: the
// archive slot a new archive takes, end-of-file on reads of nothing at the end,
// and doubled separators at the start of a path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/alloc.h"
#include "file/archive.h"
#include "file/openfile.h"
#include "file/stream.h"
#include "file/winfile.h"
#include "file_test_util.h"
#include "process_state.h"

namespace {

using filetest::ScratchDir;
using filetest::Text;

class ArchiveSlots : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    InitFileAccess();
  }
  void TearDown() override {
    // The references the test took itself go back, so the end closes the archives.
    for (int i = 0; i < ARCHIVE_MAX; ++i)
      while (ArchiveTable.Slots[i] && ArchiveTable.Slots[i]->RefCount > 0) ReleaseArchive(i);
    teststate::ResetProcessState();
  }
  int Open(const std::string& name) {
    filetest::WriteBytes(dir_.Path / name, filetest::BuildArchiveBytes({{"x.txt", Text(name), false}}));
    return OpenArchiveCached(-1, name.c_str());
  }
  // Empties a slot by hand, as the table does when it closes an archive.
  void Drop(int index) {
    CloseArchive(&ArchiveTable.Slots[index]->Record);
    TrackedFree(ArchiveTable.Slots[index]);
    ArchiveTable.Slots[index] = nullptr;
    --ArchiveTable.Count;
  }
  ScratchDir dir_;
};

// A new archive takes the last hole met before every occupied slot has been
// seen, and the lowest empty slot when there is no hole.
TEST_F(ArchiveSlots, NewArchiveTakesTheLastHoleBeforeTheOccupiedEnd) {
  ASSERT_EQ(Open("a.vlk"), 0);
  ASSERT_EQ(Open("b.vlk"), 1);
  ASSERT_EQ(Open("c.vlk"), 2);
  ASSERT_EQ(Open("d.vlk"), 3);
  Drop(1);
  Drop(2);
  EXPECT_EQ(Open("e.vlk"), 2);  // holes 1 and 2 before slot 3: the later one
  EXPECT_EQ(Open("f.vlk"), 1);
  EXPECT_EQ(Open("g.vlk"), 4);  // no hole: lowest empty
  Drop(0);
  EXPECT_EQ(Open("h.vlk"), 0);
  // The same path again is the same slot, one more reference.
  EXPECT_EQ(OpenArchiveCached(-1, "e.vlk"), 2);
  EXPECT_EQ(ArchiveTable.Slots[2]->RefCount, 2);
  EXPECT_EQ(ArchiveTable.Count, 5);
}

// A read at the end sets end-of-file even when it asks for nothing.
TEST(EndOfFile, ReadOfNothingAtTheEndSetsTheFlag) {
  uint8_t data[4] = {1, 2, 3, 4};
  MemoryStream* m = OpenMemoryStream(data, sizeof(data));
  ASSERT_NE(m, nullptr);
  StreamHandle h = reinterpret_cast<StreamHandle>(m);
  uint8_t out[8];
  EXPECT_EQ(MemoryStreamRead(out, 1, 0, h), 0u);  // not at the end: nothing, no flag
  EXPECT_EQ(MemoryStreamEof(h), 0);
  EXPECT_EQ(MemoryStreamTell(h), 0);
  ASSERT_EQ(MemoryStreamSeek(h, 0, 2), 0);
  EXPECT_EQ(MemoryStreamRead(out, 1, 0, h), 0u);
  EXPECT_EQ(MemoryStreamEof(h), 1);
  ASSERT_EQ(MemoryStreamSeek(h, 0, 2), 0);
  EXPECT_EQ(MemoryStreamRead(out, 0, 3, h), 0u);
  EXPECT_EQ(MemoryStreamEof(h), 1);
  CloseMemoryStream(h);

  ScratchDir dir;
  filetest::WriteBytes(dir.Path / "f.bin", Text("ABCD"));
  for (uint32_t async : {0u, 1u}) {
    WinFileRecord* r = WinFileOpen("f.bin", 0, 1, async);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(WinFileRead(out, 1, 0, r), 0u);
    EXPECT_EQ(WinFileEof(r), 0);
    ASSERT_EQ(WinFileSeek(r, 0, 2), 0);
    EXPECT_EQ(WinFileRead(out, 1, 0, r), 0u);
    EXPECT_EQ(WinFileEof(r), -1);
    EXPECT_EQ(WinFileTell(r), 4);
    EXPECT_EQ(WinFileClose(r), 0);
  }
}

// Two separators in a row fail wherever they stand, the start included;
// the current-directory form skips them instead.
TEST(MakeFullPath, DoubledLeadingSeparatorFails) {
  char out[WIN_FILE_PATH_SIZE];
  EXPECT_EQ(MakeFullPath("\\\\x", out, "C:\\a"), -1);
  EXPECT_EQ(MakeFullPath("//x", out, "/home"), -1);
  EXPECT_EQ(MakeFullPath("C:\\\\x", out, "D:\\q"), -1);
  ASSERT_EQ(MakeFullPath("\\x", out, "C:\\a"), 0);
  EXPECT_STREQ(out, "C:\\x");  // the base's drive is kept
  ASSERT_EQ(MakeFullPath("/x/./y", out, "/home/u"), 0);
  EXPECT_STREQ(out, "\\x\\y");
  ASSERT_EQ(MakeFullPath("C:x", out, "D:\\q"), 0);
  EXPECT_STREQ(out, "C:\\x");
  ASSERT_EQ(MakeFullPath("\\", out, "/home"), 0);
  EXPECT_STREQ(out, "\\");
  ScratchDir dir;
  char full[FULL_PATH_SIZE];
  ASSERT_EQ(MakeFullPathFromCurrentDir("//tmp//x", full), 0);
  EXPECT_STREQ(full, "\\TMP\\X");
}

}  // namespace
