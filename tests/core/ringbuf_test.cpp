#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/ringbuf.h"
#include "platform/heap.h"

namespace {
std::vector<uint8_t> Bytes(int n, uint8_t start) {
  std::vector<uint8_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[size_t(i)] = uint8_t(start + i);
  return v;
}
}  // namespace

TEST(RingBuffer, FirstAddAndFillingWithoutGrowth) {
  RingBuffer ring{};
  auto ten = Bytes(10, 0);
  ASSERT_EQ(0, RingBufferAdd(&ring, ten.data(), 10));
  EXPECT_EQ(1010, ring.Capacity);
  std::vector<uint8_t> out(10);
  ASSERT_EQ(0, RingBufferRead(&ring, out.data(), 10, 0));
  EXPECT_EQ(ten, out);

  // 1,010 bytes fill the emptied ring exactly (wrapping round its end).
  auto full = Bytes(1010, 7);
  ASSERT_EQ(0, RingBufferAdd(&ring, full.data(), 1010));
  EXPECT_EQ(1010, ring.Capacity);
  EXPECT_EQ(1010, ring.Stored);
  // One more grows it to stored + n + 1,000 and keeps the order.
  uint8_t extra = 0xEE;
  ASSERT_EQ(0, RingBufferAdd(&ring, &extra, 1));
  EXPECT_EQ(2011, ring.Capacity);
  std::vector<uint8_t> all(1011);
  ASSERT_EQ(0, RingBufferRead(&ring, all.data(), 1011, 0));
  EXPECT_TRUE(std::equal(full.begin(), full.end(), all.begin()));
  EXPECT_EQ(0xEE, all[1010]);
  EXPECT_EQ(0, ring.Stored);
  EXPECT_EQ(0, RingBufferRelease(&ring));
  EXPECT_EQ(nullptr, ring.Data);
  EXPECT_EQ(0, ring.Capacity);
}

TEST(RingBuffer, PeekAndShortRead) {
  RingBuffer ring{};
  auto data = Bytes(50, 1);
  RingBufferAdd(&ring, data.data(), 50);
  RingBuffer before = ring;
  std::vector<uint8_t> out(50, 0);
  ASSERT_EQ(0, RingBufferRead(&ring, out.data(), 20, 1));
  EXPECT_EQ(0, std::memcmp(&before, &ring, sizeof ring));
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 20, data.begin()));
  std::vector<uint8_t> untouched(60, 0x5A);
  EXPECT_EQ(-1, RingBufferRead(&ring, untouched.data(), 51, 0));
  EXPECT_EQ(std::vector<uint8_t>(60, 0x5A), untouched);
  EXPECT_EQ(-1, RingBufferRead(&ring, untouched.data(), -1, 0));
  EXPECT_EQ(50, ring.Stored);
  RingBufferRelease(&ring);
}

TEST(RingBuffer, WrappedContentIsUnwrappedWhenGrowing) {
  RingBuffer ring{};
  auto first = Bytes(1000, 0);
  RingBufferAdd(&ring, first.data(), 1000);  // capacity 2,000
  ASSERT_EQ(2000, ring.Capacity);
  std::vector<uint8_t> sink(900);
  RingBufferRead(&ring, sink.data(), 900, 0);
  auto second = Bytes(1500, 100);  // wraps: 1,000 at the end, 500 at the start
  ASSERT_EQ(0, RingBufferAdd(&ring, second.data(), 1500));
  ASSERT_EQ(2000, ring.Capacity);
  EXPECT_LT(ring.WritePos, ring.ReadPos);
  auto third = Bytes(600, 50);  // needs growth of a wrapped ring
  ASSERT_EQ(0, RingBufferAdd(&ring, third.data(), 600));
  EXPECT_EQ(100 + 1500 + 600 + 1000, ring.Capacity);
  EXPECT_EQ(0, ring.ReadPos);
  std::vector<uint8_t> out(2200);
  ASSERT_EQ(0, RingBufferRead(&ring, out.data(), 2200, 0));
  std::vector<uint8_t> expected(first.begin() + 900, first.end());
  expected.insert(expected.end(), second.begin(), second.end());
  expected.insert(expected.end(), third.begin(), third.end());
  EXPECT_EQ(expected, out);
  RingBufferRelease(&ring);
}

TEST(RingBuffer, FailedGrowthKeepsContentsAndBadSizesAreRefused) {
  RingBuffer ring{};
  auto data = Bytes(100, 3);
  RingBufferAdd(&ring, data.data(), 100);
  RingBuffer before = ring;
  PlatHeapFailAfter(0);
  std::vector<uint8_t> big(5000, 1);
  EXPECT_EQ(-1, RingBufferAdd(&ring, big.data(), 5000));
  PlatHeapFailAfter(-1);
  EXPECT_EQ(0, std::memcmp(&before, &ring, sizeof ring));
  EXPECT_EQ(-1, RingBufferReserve(&ring, -5));
  EXPECT_EQ(-1, RingBufferAdd(&ring, data.data(), -1));
  EXPECT_EQ(-1, RingBufferReserve(&ring, 0x7FFFFFFF));  // stored + n overflows
  EXPECT_EQ(0, std::memcmp(&before, &ring, sizeof ring));
  std::vector<uint8_t> out(100);
  ASSERT_EQ(0, RingBufferRead(&ring, out.data(), 100, 0));
  EXPECT_EQ(data, out);
  EXPECT_EQ(-1, RingBufferAdd(nullptr, data.data(), 1));
  EXPECT_EQ(-1, RingBufferRead(nullptr, out.data(), 1, 0));
  RingBufferRelease(&ring);
}

TEST(RingBuffer, PositionsAtTheCapacityWrapToZero) {
  RingBuffer ring{};
  auto data = Bytes(1010, 0);
  RingBufferAdd(&ring, data.data(), 10);  // capacity 1,010
  RingBufferAdd(&ring, data.data() + 10, 1000);
  EXPECT_EQ(1010, ring.Capacity);
  EXPECT_EQ(1010, ring.WritePos);
  std::vector<uint8_t> out(1010);
  RingBufferRead(&ring, out.data(), 1010, 0);
  EXPECT_EQ(1010, ring.ReadPos);
  RingBufferWrapPositions(&ring);
  EXPECT_EQ(0, ring.ReadPos);
  EXPECT_EQ(0, ring.WritePos);
  RingBufferRelease(&ring);
}

TEST(List, InsertAfterHeadGivesNewestFirstAndRemoveUnlinks) {
  ListNode head, tail, a, b;
  ListInit(&head, &tail);
  EXPECT_EQ(-1, head.Id);
  EXPECT_EQ(nullptr, head.Prev);
  EXPECT_EQ(&tail, head.Next);
  EXPECT_EQ(&head, tail.Prev);
  EXPECT_EQ(nullptr, tail.Next);
  ListInsertAfter(&head, &a, 1, 100);
  ListInsertAfter(&head, &b, 2, 200);
  EXPECT_EQ(&b, head.Next);
  EXPECT_EQ(&a, b.Next);
  EXPECT_EQ(&tail, a.Next);
  EXPECT_EQ(&a, tail.Prev);
  EXPECT_EQ(&b, a.Prev);
  EXPECT_EQ(2, b.Id);
  EXPECT_EQ(200u, b.Data);
  ListRemove(&b);
  EXPECT_EQ(&a, head.Next);
  EXPECT_EQ(&head, a.Prev);
  EXPECT_EQ(&a, b.Next);  // the removed node keeps its own links
}
