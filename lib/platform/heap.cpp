#include "platform/heap.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
// Remaining allocations before the injected failure; negative means never.
std::atomic<long> g_failAfter{-1};

bool InjectedFailure() {
  long left = g_failAfter.load();
  while (left >= 0) {
    if (left == 0) return true;
    if (g_failAfter.compare_exchange_weak(left, left - 1)) return false;
  }
  return false;
}
}  // namespace

void* PlatHeapAlloc(size_t size) {
  if (InjectedFailure()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* PlatHeapReallocZeroed(void* block, size_t oldSize, size_t newSize) {
  if (InjectedFailure()) return nullptr;
  void* grown = std::realloc(block, newSize == 0 ? 1 : newSize);
  if (!grown) return nullptr;
  if (newSize > oldSize) std::memset(static_cast<char*>(grown) + oldSize, 0, newSize - oldSize);
  return grown;
}

void PlatHeapFree(void* block) { std::free(block); }

void PlatHeapFailAfter(long allowed) { g_failAfter.store(allowed < 0 ? -1 : allowed); }
