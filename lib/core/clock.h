// The library's two clocks.
#pragma once
#include <cstdint>

// Milliseconds, unsigned 32-bit, wrapping.
uint32_t GetMillisecondClock();
// Milliseconds since `start` by unsigned difference, correct across the wrap.
inline uint32_t MillisecondsSince(uint32_t start, uint32_t now) { return now - start; }
// 1 once `due` (a time within 2^31 ms of `start`) has been reached, judged by
// elapsed time from start so the clock's wrap neither ends a wait early nor
// late.
inline int MillisecondDueReached(uint32_t start, uint32_t durationMs, uint32_t now) {
  return (now - start) >= durationMs ? 1 : 0;
}
// Microseconds, 64-bit: from the processor's time-stamp counter when
// allowProcessorCounter is 1, the processor counter is usable and the library
// is initialised; else from the high-resolution counter when it is usable;
// else the millisecond clock times 1,000.
uint64_t GetMicrosecondCounter(int allowProcessorCounter);
