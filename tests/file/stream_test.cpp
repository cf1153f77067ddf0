// Memory streams, the stream tables and the file-access table's dispatch.
#include <gtest/gtest.h>

#include <cstring>

#include "file/fileaccess.h"
#include "file/openfile.h"
#include "file/stream.h"
#include "file_test_util.h"
#include "process_state.h"

namespace {

TEST(MemoryStream, PartialElementSequenceThenEof) {
  uint8_t data[30];
  for (int i = 0; i < 30; ++i) data[i] = static_cast<uint8_t>(i);
  MemoryStream* s = OpenMemoryStream(data, sizeof(data));
  ASSERT_NE(s, nullptr);
  StreamData sd = MakeMemoryStreamData(s);
  uint8_t out[64] = {};
  ASSERT_EQ(sd.Functions.Seek(sd.DataHandle, 20, 0), 0);  // 10 bytes left
  EXPECT_EQ(sd.Functions.Read(out, 4, 5, sd.DataHandle), 2u);
  EXPECT_EQ(sd.Functions.Tell(sd.DataHandle), 28);
  EXPECT_EQ(out[0], 20);
  EXPECT_EQ(sd.Functions.Read(out, 4, 5, sd.DataHandle), 1u);  // the 2-byte tail
  EXPECT_EQ(out[0], 28);
  EXPECT_EQ(out[1], 29);
  EXPECT_EQ(sd.Functions.Eof(sd.DataHandle), 0);
  EXPECT_EQ(sd.Functions.Read(out, 4, 5, sd.DataHandle), 0u);
  EXPECT_EQ(sd.Functions.Eof(sd.DataHandle), 1);
  EXPECT_EQ(sd.Functions.Seek(sd.DataHandle, 0, 1), 0);
  EXPECT_EQ(sd.Functions.Eof(sd.DataHandle), 0);
  EXPECT_EQ(sd.Functions.IsIdle(sd.DataHandle), 1);
  EXPECT_EQ(sd.Functions.Close(sd.DataHandle), 0);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(data[i], i);  // the block is untouched
}

TEST(MemoryStream, SeekClampsAndHugeCountsDoNotWrap) {
  uint8_t data[16] = {};
  MemoryStream* s = OpenMemoryStream(data, sizeof(data));
  StreamHandle h = reinterpret_cast<StreamHandle>(s);
  MemoryStreamSeek(h, 116, 0);
  EXPECT_EQ(MemoryStreamTell(h), 16);
  MemoryStreamSeek(h, -5, 0);
  EXPECT_EQ(MemoryStreamTell(h), 0);
  MemoryStreamSeek(h, INT64_MAX, 1);
  EXPECT_EQ(MemoryStreamTell(h), 16);
  MemoryStreamSeek(h, INT64_MIN, 2);
  EXPECT_EQ(MemoryStreamTell(h), 0);
  uint8_t out[16];
  // element size × count overflows 64 bits: only whole elements that fit.
  EXPECT_EQ(MemoryStreamRead(out, 8, SIZE_MAX, h), 2u);
  MemoryStreamSeek(h, 0, 0);
  EXPECT_EQ(MemoryStreamRead(out, SIZE_MAX / 2, 3, h), 1u);  // less than one element: the tail
  EXPECT_EQ(MemoryStreamRead(out, 0, 3, h), 0u);
  CloseMemoryStream(h);
}

class FileAccessTable : public teststate::FreshProcessTest {};

TEST_F(FileAccessTable, HandleIndexAndDispatchToInstalledSet) {
  EXPECT_EQ((FILE_HANDLE_TAG | 3u) & FILE_HANDLE_INDEX_MASK, 3u);
  filetest::ScratchDir dir;
  InitFileAccess();
  EXPECT_EQ(SelectFileAccessBackend(), 0);
  filetest::WriteBytes(dir.Path / "a.bin", filetest::Text("0123456789"));
  FileHandle h = FileOpenDispatch("a.bin", 0, 1, 0);
  ASSERT_EQ(h, FILE_HANDLE_TAG | 0u);
  StreamData sd = MakeFileStreamData(h);
  EXPECT_EQ(sd.Functions.Seek(sd.DataHandle, -3, 2), 0);
  char out[8] = {};
  EXPECT_EQ(sd.Functions.Read(out, 1, 8, sd.DataHandle), 3u);
  EXPECT_STREQ(out, "789");
  EXPECT_EQ(sd.Functions.Tell(sd.DataHandle), 10);
  EXPECT_EQ(sd.Functions.Eof(sd.DataHandle), 0);
  EXPECT_EQ(sd.Functions.Read(out, 1, 8, sd.DataHandle), 0u);
  EXPECT_EQ(sd.Functions.Eof(sd.DataHandle), -1);
  EXPECT_EQ(sd.Functions.IsIdle(sd.DataHandle), 1);
  EXPECT_EQ(sd.Functions.Close(sd.DataHandle), 0);
  // A handle that does not fit 32 bits names no file.
  EXPECT_EQ(GetFileStreamFunctions()->Tell(StreamHandle{1} << 40), -1);

  char cwd[FILE_CURRENT_DIR_SIZE];
  EXPECT_EQ(GetDirDispatch(cwd), 0);
  std::filesystem::create_directory(dir.Path / "Sub");
  EXPECT_EQ(ChangeDirDispatch("sub"), 0);
  char now[FILE_CURRENT_DIR_SIZE];
  EXPECT_EQ(GetDirDispatch(now), 0);
  EXPECT_EQ(std::string(now), std::string(cwd) + "/Sub");
  EndFileAccess();
}

}  // namespace
