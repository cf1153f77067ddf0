// The process heap.
#pragma once
#include <cstddef>

// A block of at least size bytes, or null.
void* PlatHeapAlloc(size_t size);
// Resizes a block; bytes added by growth (from oldSize to newSize) are zero.
// On failure returns null and the old block stays valid.
void* PlatHeapReallocZeroed(void* block, size_t oldSize, size_t newSize);
void PlatHeapFree(void* block);

// Test seam: after `allowed` more successful allocations or reallocations,
// every following one fails until the seam is cleared with a negative count.
void PlatHeapFailAfter(long allowed);
