#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/alloc.h"
#include "core_test_util.h"
#include "platform/heap.h"
#include "process_state.h"

using coretest::TempLog;

namespace {
// Walks the list from the newest block and checks every back link; returns
// the number of live blocks, or -1 when the list is broken.
int WalkList() {
  const AllocState& s = SystemState.Kept.Alloc;
  if (s.Newest == nullptr) return 0;
  int count = 0;
  const AllocHeader* expectedNewer = nullptr;
  for (const AllocHeader* h = s.Newest; h != &s.Sentinel; h = h->Fields.Older) {
    if (h == nullptr || h->Fields.Newer != expectedNewer) return -1;
    if (std::memcmp(&h->Check, &h->Fields, sizeof h->Fields) != 0) return -1;
    expectedNewer = h;
    ++count;
  }
  if (s.Sentinel.Fields.Newer != expectedNewer) return -1;
  return count;
}

struct HeapFailureGuard {
  ~HeapFailureGuard() { PlatHeapFailAfter(-1); }
};
}  // namespace

namespace {
class TrackedAllocator : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(TrackedAllocator, ListLinksTotalsAndSentinel) {
  const int baseCount = SystemState.Kept.Alloc.BlockCount;
  const int64_t baseBytes = SystemState.Kept.Alloc.TotalBytes;
  void* a = TrackedAlloc(10, "a.cpp", 1);
  void* b = TrackedAlloc(20, "b.cpp", 2);
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(a) % 16);
  EXPECT_EQ(baseCount + 2, WalkList());
  EXPECT_EQ(baseBytes + 30, SystemState.Kept.Alloc.TotalBytes);
  AllocHeader* hb = GetAllocHeader(b);
  EXPECT_EQ(uint16_t(GetAllocHeader(a)->Fields.Serial + 1), hb->Fields.Serial);

  TrackedFree(a);
  EXPECT_EQ(baseCount + 1, WalkList());
  EXPECT_EQ(baseBytes + 20, SystemState.Kept.Alloc.TotalBytes);
  EXPECT_EQ(hb, SystemState.Kept.Alloc.Newest);
  if (baseCount == 0) {
    EXPECT_EQ(&SystemState.Kept.Alloc.Sentinel, hb->Fields.Older);
  }

  TrackedFree(b);
  EXPECT_EQ(baseCount, WalkList());
  if (baseCount == 0) {
    EXPECT_EQ(&SystemState.Kept.Alloc.Sentinel, SystemState.Kept.Alloc.Newest);
  }
  void* c = TrackedAlloc(1, nullptr, 0);
  EXPECT_EQ(baseCount + 1, WalkList());
  EXPECT_EQ(GetAllocHeader(c), SystemState.Kept.Alloc.Newest);
  EXPECT_STREQ("", GetAllocHeader(c)->Fields.FileName);
  TrackedFree(c);
  TrackedFree(nullptr);
  EXPECT_EQ(baseCount, SystemState.Kept.Alloc.BlockCount);
}

TEST_F(TrackedAllocator, LongFileNameKeepsItsLast15Characters) {
  void* p = TrackedAlloc(4, "abcdefghijklmnopqrst", 70000);
  EXPECT_STREQ("fghijklmnopqrst", GetAllocHeader(p)->Fields.FileName);
  EXPECT_EQ(uint16_t(70000), GetAllocHeader(p)->Fields.Line);
  TrackedFree(p);
}

TEST_F(TrackedAllocator, ZeroSizeBlocksAreLogged) {
  TempLog log;
  void* p = TrackedAlloc(0, "", 0);
  ASSERT_NE(nullptr, p);
  TrackedFree(p);
  std::string text = log.Contents();
  EXPECT_EQ(0u, text.find("0:mem alloc  \tsize:0(0.000kb)  file:  line:0  ID:")) << text;
  size_t second = text.find("0:mem free  \tsize:0(0.000kb)");
  ASSERT_NE(std::string::npos, second) << text;
  EXPECT_EQ("data:<> []\r\n", text.substr(second - 12, 12));
  EXPECT_EQ("data:<> []\r\n", text.substr(text.size() - 12));
}

TEST_F(TrackedAllocator, RecordShowsBytesAsTextAndHex) {
  TempLog log;
  unsigned char* p = static_cast<unsigned char*>(TrackedAlloc(4, "rec.cpp", 9));
  p[0] = 0x41;
  p[1] = 0x42;
  p[2] = 0x01;
  p[3] = 0xFF;
  LogAllocRecord(GetAllocHeader(p));
  std::string text = log.Contents();
  EXPECT_NE(std::string::npos, text.find("0:\tsize:4(0.004kb)  file:rec.cpp  line:9  ID:")) << text;
  const std::string tail = "data:<AB..> [41 42 01 ff]\r\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;
  // The whole address is printed.
  char addr[40];
  FormatStringN(addr, sizeof addr, "addr:%016llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  EXPECT_NE(std::string::npos, text.find(addr)) << text;
  TrackedFree(p);
}

TEST_F(TrackedAllocator, DamagedHeaderIsReported) {
  TempLog log;
  EXPECT_EQ(0, CheckAllocationHeaders());
  void* a = TrackedAlloc(4, "a", 1);
  void* b = TrackedAlloc(4, "b", 2);
  AllocHeader* ha = GetAllocHeader(a);
  ha->Fields.Size = 0x7FFFFFF0;  // damaged: must not lead the record past the block
  EXPECT_EQ(-1, CheckAllocationHeaders());
  std::string text = log.Contents();
  EXPECT_NE(std::string::npos, text.find("0:以下のメモリ確保情報が破損しました\tsize:2147483632")) << text;
  ha->Fields.Size = 4;
  EXPECT_EQ(0, CheckAllocationHeaders());
  GetAllocHeader(b)->Fields.FileName[3] = 'x';
  EXPECT_EQ(-1, CheckAllocationHeaders());
  GetAllocHeader(b)->Fields.FileName[3] = '\0';
  EXPECT_EQ(0, CheckAllocationHeaders());
  TrackedFree(b);
  TrackedFree(a);
}

TEST_F(TrackedAllocator, ZeroedAndReallocGrowthAreZero) {
  unsigned char* z = static_cast<unsigned char*>(TrackedAllocZeroed(100, "", 0));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(0, z[i]);
  const int64_t bytes = SystemState.Kept.Alloc.TotalBytes;
  void* other = TrackedAlloc(8, "", 0);  // z gets a newer neighbour
  std::memset(z, 0xAA, 100);
  uint16_t oldSerial = GetAllocHeader(z)->Fields.Serial;
  unsigned char* g = static_cast<unsigned char*>(TrackedRealloc(z, 100000, "grow.cpp", 5));
  ASSERT_NE(nullptr, g);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(0xAA, g[i]);
  for (int i = 100; i < 100000; ++i) ASSERT_EQ(0, g[i]) << i;
  EXPECT_NE(oldSerial, GetAllocHeader(g)->Fields.Serial);
  EXPECT_STREQ("grow.cpp", GetAllocHeader(g)->Fields.FileName);
  EXPECT_EQ(bytes + 8 - 100 + 100000, SystemState.Kept.Alloc.TotalBytes);
  EXPECT_GE(WalkList(), 2);
  EXPECT_EQ(0, CheckAllocationHeaders());
  TrackedFree(other);
  void* fresh = TrackedRealloc(nullptr, 12, "", 0);  // a null block is allocated afresh
  EXPECT_EQ(GetAllocHeader(fresh), SystemState.Kept.Alloc.Newest);
  TrackedFree(fresh);
  TrackedFree(g);
  EXPECT_EQ(bytes - 100, SystemState.Kept.Alloc.TotalBytes);
}

TEST_F(TrackedAllocator, HeapFailureReturnsNullAndDumpsTheList) {
  TempLog log;
  HeapFailureGuard guard;
  void* keep = TrackedAlloc(16, "keep.cpp", 3);
  std::memset(keep, 'k', 16);
  const int count = SystemState.Kept.Alloc.BlockCount;
  PlatHeapFailAfter(0);
  EXPECT_EQ(nullptr, TrackedAlloc(32, "", 0));
  EXPECT_EQ(nullptr, TrackedAllocZeroed(32, "", 0));
  EXPECT_EQ(nullptr, TrackedRealloc(keep, 4096, "", 0));
  PlatHeapFailAfter(-1);
  EXPECT_EQ(count, SystemState.Kept.Alloc.BlockCount);
  EXPECT_EQ(count, WalkList());
  for (int i = 0; i < 16; ++i) EXPECT_EQ('k', static_cast<char*>(keep)[i]);
  std::string text = log.Contents();
  EXPECT_NE(std::string::npos, text.find("Alloc memory dump\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("file:keep.cpp  line:3")) << text;
  EXPECT_NE(std::string::npos, text.find("\tTotal size:")) << text;
  // Sizes the header cannot describe are refused without touching the heap.
  EXPECT_EQ(nullptr, TrackedAlloc(size_t(-1), "", 0));
  EXPECT_EQ(nullptr, TrackedRealloc(keep, size_t(1) << 40, "", 0));
  EXPECT_EQ(count, WalkList());
  TrackedFree(keep);
}

TEST_F(TrackedAllocator, TwoThreadsKeepTheListIntact) {
  const int baseCount = SystemState.Kept.Alloc.BlockCount;
  const int64_t baseBytes = SystemState.Kept.Alloc.TotalBytes;
  auto worker = [](unsigned seed) {
    std::vector<void*> live;
    for (int i = 0; i < 4000; ++i) {
      seed = seed * 1103515245u + 12345u;
      if (live.size() < 50 && (seed >> 16) % 3 != 0) {
        live.push_back(TrackedAlloc(1 + (seed >> 20) % 64, "thread", i));
      } else if (!live.empty()) {
        size_t k = (seed >> 8) % live.size();
        if ((seed >> 4) % 4 == 0) {
          void* r = TrackedRealloc(live[k], 1 + (seed >> 12) % 128, "re", i);
          if (r) live[k] = r;
        } else {
          TrackedFree(live[k]);
          live[k] = live.back();
          live.pop_back();
        }
      }
    }
    for (void* p : live) TrackedFree(p);
  };
  std::thread t1(worker, 1u), t2(worker, 2u);
  t1.join();
  t2.join();
  EXPECT_EQ(baseCount, SystemState.Kept.Alloc.BlockCount);
  EXPECT_EQ(baseBytes, SystemState.Kept.Alloc.TotalBytes);
  EXPECT_EQ(baseCount, WalkList());
  EXPECT_EQ(0, CheckAllocationHeaders());
}
