#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/thread.h"
#include "process_state.h"

namespace {

// A fresh directory under the temporary directory, made the current one.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = PlatGetCurrentDirectory();
    std::string file = PlatCreateTempFile(nullptr, "vxplat");
    ASSERT_FALSE(file.empty());
    PlatDeleteFile(file.c_str());
    dir_ = file;
    ASSERT_EQ(PlatCreateDirectory(dir_.c_str()), 0);
    ASSERT_EQ(PlatSetCurrentDirectory(dir_.c_str()), 0);
  }
  void TearDown() override { PlatSetCurrentDirectory(old_.c_str()); }
  void WriteFile(const char* path, const std::string& data) {
    PlatFile f = PlatOpenFile(path, PLAT_CREATE_ALWAYS);
    ASSERT_NE(f, PLAT_INVALID_FILE);
    ASSERT_EQ(PlatWriteFile(f, data.data(), data.size()), int64_t(data.size()));
    PlatCloseFile(f);
  }
  std::string old_, dir_;
};

TEST_F(TempDirTest, PathsUseEitherSeparatorAndAnyCase) {
  ASSERT_EQ(PlatCreateDirectory("graphic"), 0);
  WriteFile("graphic/bg.bmp", "BM");
  EXPECT_EQ(PlatMapPath("graphic\\BG.bmp"), "graphic/bg.bmp");
  EXPECT_EQ(PlatMapPath("GRAPHIC/Bg.BMP"), "graphic/bg.bmp");
  EXPECT_EQ(PlatIsFile("Graphic\\BG.BMP"), 1);
  EXPECT_EQ(PlatIsDirectory("GRAPHIC"), 1);
  // Missing components are kept as written so that files can be created.
  EXPECT_EQ(PlatMapPath("graphic\\New.bmp"), "graphic/New.bmp");
  EXPECT_EQ(PlatMapPath("\\"), "/");
  EXPECT_EQ(PlatMapPath(dir_.c_str()), dir_);
}

TEST_F(TempDirTest, ShiftJisNamesBecomeUtf8AndTheirSecondBytesDoNotSplit) {
  // 0x95 0x5C is a two-byte character whose second byte is '\'.
  const char name[] = {'\x95', '\x5C', '.', 't', 'x', 't', 0};
  WriteFile(name, "x");
  std::string utf8;
  ASSERT_TRUE(PlatCp932ToUtf8(name, strlen(name), &utf8));
  EXPECT_EQ(PlatMapPath(name), utf8);
  EXPECT_EQ(PlatIsFile(utf8.c_str()), 0);  // UTF-8 bytes are not read as CP932
  std::string back;
  ASSERT_TRUE(PlatUtf8ToCp932(utf8.data(), utf8.size(), &back));
  EXPECT_EQ(back, std::string(name));
}

TEST_F(TempDirTest, FilesReadWriteSeekAndRefuseWhatIsMissing) {
  WriteFile("a.bin", "0123456789");
  EXPECT_EQ(PlatOpenFile("missing.bin", PLAT_OPEN_READ), PLAT_INVALID_FILE);
  EXPECT_EQ(PlatOpenFile("a.bin", PLAT_CREATE_NEW), PLAT_INVALID_FILE);
  EXPECT_EQ(PlatOpenFile(".", PLAT_OPEN_READ), PLAT_INVALID_FILE);
  PlatFile f = PlatOpenFile("A.BIN", PLAT_OPEN_READ);
  ASSERT_NE(f, PLAT_INVALID_FILE);
  EXPECT_EQ(PlatFileSize(f), 10);
  char buf[16] = {};
  EXPECT_EQ(PlatSeekFile(f, -3, PLAT_SEEK_END), 7);
  EXPECT_EQ(PlatReadFile(f, buf, sizeof buf), 3);
  EXPECT_EQ(std::string(buf, 3), "789");
  EXPECT_EQ(PlatReadFile(f, buf, sizeof buf), 0);
  EXPECT_EQ(PlatSeekFile(f, -1, PLAT_SEEK_SET), -1);
  PlatCloseFile(f);
  EXPECT_EQ(PlatDeleteFile("a.BIN"), 0);
  EXPECT_EQ(PlatDeleteFile("a.bin"), -1);

  PlatDir d = PlatOpenDir(".");
  ASSERT_NE(d, nullptr);
  PlatDirEntry e;
  EXPECT_EQ(PlatReadDir(d, &e), 0);  // "." and ".." are skipped, nothing else is left
  PlatCloseDir(d);
}

class PlatformHeap : public teststate::FreshProcessTest {};

TEST_F(PlatformHeap, FailureSeamAndZeroedGrowth) {
  char* p = static_cast<char*>(PlatHeapAlloc(4));
  ASSERT_NE(p, nullptr);
  memset(p, 0xAB, 4);
  p = static_cast<char*>(PlatHeapReallocZeroed(p, 4, 64));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<unsigned char>(p[3]), 0xAB);
  for (int i = 4; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;

  PlatHeapFailAfter(1);
  void* q = PlatHeapAlloc(8);
  EXPECT_NE(q, nullptr);
  EXPECT_EQ(PlatHeapAlloc(8), nullptr);
  EXPECT_EQ(PlatHeapReallocZeroed(p, 64, 128), nullptr);  // the old block stays valid
  EXPECT_EQ(static_cast<unsigned char>(p[0]), 0xAB);
  PlatHeapFailAfter(-1);
  PlatHeapFree(q);
  PlatHeapFree(p);
}

uint32_t g_fakeMs = 0;
uint32_t FakeMs() { return g_fakeMs; }

class PlatformClock : public teststate::FreshProcessTest {};

TEST_F(PlatformClock, HookReplacesTheMillisecondClock) {
  g_fakeMs = 0xFFFFFFF0u;
  PlatSetMillisecondHook(FakeMs);
  EXPECT_EQ(PlatGetMilliseconds(), 0xFFFFFFF0u);
  PlatSetMillisecondHook(nullptr);
  uint32_t a = PlatGetMilliseconds();
  PlatSleep(2);
  EXPECT_GE(uint32_t(PlatGetMilliseconds() - a), 1u);
  EXPECT_GT(PlatCounterFrequency(), 0u);
}

struct Handoff {
  PlatEvent Ready;
  int Payload;
};

uint32_t Producer(void* arg) {
  Handoff* h = static_cast<Handoff*>(arg);
  h->Payload = 42;  // published by the event
  PlatSetEvent(h->Ready);
  return 7;
}

TEST(PlatformThread, ManualResetEventPublishesAndStaysSet) {
  Handoff h{PlatCreateEvent(0), 0};
  EXPECT_EQ(PlatWaitEvent(h.Ready, 0), 0);
  PlatThread t = PlatCreateThread(Producer, &h);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(PlatWaitEvent(h.Ready, PLAT_INFINITE), 1);
  EXPECT_EQ(h.Payload, 42);
  EXPECT_EQ(PlatWaitEvent(h.Ready, 0), 1);  // manual reset: still set
  EXPECT_EQ(PlatJoinThread(t), 7u);
  PlatResetEvent(h.Ready);
  EXPECT_EQ(PlatIsEventSet(h.Ready), 0);
  EXPECT_EQ(PlatWaitEvent(h.Ready, 5), 0);
  PlatDestroyEvent(h.Ready);
}

TEST(PlatformThread, CriticalSectionIsRecursiveAndThreadIdsDiffer) {
  PlatCriticalSection cs = PlatCreateCriticalSection();
  PlatEnterCriticalSection(cs);
  PlatEnterCriticalSection(cs);
  PlatLeaveCriticalSection(cs);
  PlatLeaveCriticalSection(cs);
  PlatDestroyCriticalSection(cs);

  static std::atomic<uint32_t> other{0};
  PlatThread t = PlatCreateThread(
      [](void*) -> uint32_t {
        other = PlatCurrentThreadId();
        return 0;
      },
      nullptr);
  PlatJoinThread(t);
  EXPECT_NE(other.load(), 0u);
  EXPECT_NE(other.load(), PlatCurrentThreadId());
}

}  // namespace
