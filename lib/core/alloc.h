// The tracked allocator: every block of the library carries a header that
// links it into a list of live blocks with its size, serial number and the
// caller's file name and line, so the list can be logged and checked.
#pragma once
#include <cstddef>
#include <cstdint>

// The header's own fields; the header keeps a copy of them to detect damage.
struct AllocHeaderFields {
  char FileName[16];          // last 15 characters of the caller's file name
  uint16_t Serial;            // allocation serial number (wraps after 65,535)
  uint16_t Line;              // caller's line (low 16 bits)
  uint32_t Size;              // block size asked for
  struct AllocHeader* Older;  // block allocated before (the sentinel for the oldest)
  struct AllocHeader* Newer;  // block allocated after; null for the newest
};

struct alignas(16) AllocHeader {
  AllocHeaderFields Fields;
  AllocHeaderFields Check;  // copy of Fields, rewritten whenever they change
};

// Kept across the reset of SystemState.
struct AllocState {
  AllocHeader Sentinel;    // oldest list element; never freed, checked or dumped
  AllocHeader* Newest;     // null before the first allocation
  uint16_t SerialCounter;  // next serial
  int64_t TotalBytes;      // sum of the sizes of the live blocks
  int32_t BlockCount;      // live blocks
};

// The largest block the allocator hands out (its size field is 32 bits).
constexpr size_t TRACKED_ALLOC_MAX_SIZE = 0xFFFFFFFFu - sizeof(AllocHeader);

// A block of size bytes, or null (the list is then written to the log).
// fileName may be null or empty; the library passes "" and line 0.
void* TrackedAlloc(size_t size, const char* fileName, int line);
// The same, the block filled with zero bytes.
void* TrackedAllocZeroed(size_t size, const char* fileName, int line);
// Resizes a block (bytes added are zero); null on failure, the old block then
// stays valid and listed. A null block is allocated afresh.
void* TrackedRealloc(void* block, size_t size, const char* fileName, int line);
// Returns a block to the heap; null is ignored.
void TrackedFree(void* block);

// Writes the list of live blocks, newest first, and the totals to the log.
void DumpAllocations();
// 0 when every header is intact, else -1 (the damaged one is logged).
int CheckAllocationHeaders();
void LogAllocRecord(const AllocHeader* header);
void LogAllocTotals();
// The header of a block handed out by the allocator.
inline AllocHeader* GetAllocHeader(void* block) { return static_cast<AllocHeader*>(block) - 1; }
