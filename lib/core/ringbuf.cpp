#include "core/ringbuf.h"

#include <cstring>

#include "core/alloc.h"
#include "core/log.h"

namespace {
// Bytes added when a ring grows, so small additions do not regrow each time.
constexpr int64_t kGrowthSlack = 1000;
constexpr int64_t kMaxCapacity = 0x7FFFFFFF;

// Copies n bytes out of the ring starting at `from`, continuing at the start
// of the storage when the end is reached.
void CopyOut(const RingBuffer* ring, int32_t from, void* dest, int32_t n) {
  int32_t first = ring->Capacity - from;
  if (first >= n) {
    std::memcpy(dest, ring->Data + from, size_t(n));
  } else {
    std::memcpy(dest, ring->Data + from, size_t(first));
    std::memcpy(static_cast<uint8_t*>(dest) + first, ring->Data, size_t(n - first));
  }
}

bool Sane(const RingBuffer* ring) {
  return ring->Capacity >= 0 && ring->Stored >= 0 && ring->Stored <= ring->Capacity && ring->ReadPos >= 0 &&
         ring->ReadPos <= ring->Capacity && ring->WritePos >= 0 && ring->WritePos <= ring->Capacity &&
         (ring->Data != nullptr || ring->Capacity == 0);
}
}  // namespace

void RingBufferWrapPositions(RingBuffer* ring) {
  if (ring == nullptr) return;
  if (ring->ReadPos == ring->Capacity) ring->ReadPos = 0;
  if (ring->WritePos == ring->Capacity) ring->WritePos = 0;
}

int RingBufferReserve(RingBuffer* ring, int n) {
  if (ring == nullptr || n < 0 || !Sane(ring)) return -1;
  RingBufferWrapPositions(ring);
  if (int64_t(ring->Stored) + n <= ring->Capacity) return 0;
  int64_t newCapacity = int64_t(ring->Stored) + n + kGrowthSlack;
  if (newCapacity > kMaxCapacity) {
    LogPrintf("リングバッファの再確保に失敗しました(確保しようとしたサイズ %lld byte)",
              static_cast<long long>(newCapacity));
    return -1;
  }
  uint8_t* grown = static_cast<uint8_t*>(TrackedAlloc(size_t(newCapacity), "", 0));
  if (grown == nullptr) {
    // The ring keeps its storage and contents; only the growth failed.
    LogPrintf("リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)", int(newCapacity));
    return -1;
  }
  // The held bytes go to the front of the new storage in ring order.
  if (ring->Stored > 0) CopyOut(ring, ring->ReadPos, grown, ring->Stored);
  TrackedFree(ring->Data);
  ring->Data = grown;
  ring->ReadPos = 0;
  ring->WritePos = ring->Stored;
  ring->Capacity = int32_t(newCapacity);
  return 0;
}

int RingBufferAdd(RingBuffer* ring, const void* src, int n) {
  if (ring == nullptr || n < 0 || (src == nullptr && n > 0)) return -1;
  RingBufferWrapPositions(ring);
  if (RingBufferReserve(ring, n) != 0) {
    LogPrintf("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", n);
    return -1;
  }
  if (n == 0) return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(src);
  int32_t room = ring->Capacity - ring->WritePos;
  if (n > room) {
    std::memcpy(ring->Data + ring->WritePos, bytes, size_t(room));
    std::memcpy(ring->Data, bytes + room, size_t(n - room));
    ring->WritePos = n - room;
  } else {
    std::memcpy(ring->Data + ring->WritePos, bytes, size_t(n));
    ring->WritePos += n;
  }
  ring->Stored += n;
  return 0;
}

int RingBufferRead(RingBuffer* ring, void* dest, int n, int peek) {
  if (ring == nullptr || n < 0 || !Sane(ring) || ring->Stored < n) return -1;
  if (n > 0 && dest == nullptr) return -1;
  RingBufferWrapPositions(ring);
  if (n == 0) return 0;
  CopyOut(ring, ring->ReadPos, dest, n);
  if (!peek) {
    int32_t room = ring->Capacity - ring->ReadPos;
    ring->ReadPos = n > room ? n - room : ring->ReadPos + n;
    ring->Stored -= n;
  }
  return 0;
}

int RingBufferRelease(RingBuffer* ring) {
  if (ring == nullptr) return 0;
  TrackedFree(ring->Data);
  std::memset(ring, 0, sizeof *ring);
  return 0;
}

int ListInit(ListNode* head, ListNode* tail) {
  if (head == nullptr || tail == nullptr) return -1;
  *head = ListNode{-1, 0, nullptr, tail};
  *tail = ListNode{-1, 0, head, nullptr};
  return 0;
}

int ListInsertAfter(ListNode* node, ListNode* newNode, int id, uint32_t data) {
  if (node == nullptr || newNode == nullptr) return -1;
  newNode->Id = id;
  newNode->Data = data;
  newNode->Prev = node;
  newNode->Next = node->Next;
  if (node->Next != nullptr) node->Next->Prev = newNode;
  node->Next = newNode;
  return 0;
}

int ListRemove(ListNode* node) {
  if (node == nullptr) return -1;
  if (node->Prev != nullptr) node->Prev->Next = node->Next;
  if (node->Next != nullptr) node->Next->Prev = node->Prev;
  return 0;
}
