// Clocks, sleeps and the local calendar time.
#pragma once
#include <cstdint>

struct PlatDateTime {
  int Year, Month, Day, Hour, Minute, Second, Milliseconds, DayOfWeek;
};

// Milliseconds since an arbitrary start, unsigned 32-bit, monotonic, wrapping.
uint32_t PlatGetMilliseconds();
// The high-resolution counter and its frequency in counts per second (never 0).
uint64_t PlatQueryCounter();
uint64_t PlatCounterFrequency();
// The processor's time-stamp counter (RDTSC).
uint64_t PlatReadTimeStamp();
// Sleeps the calling thread; 0 only yields the processor.
void PlatSleep(uint32_t milliseconds);
// The local calendar time.
void PlatGetLocalTime(PlatDateTime* out);
// The finest period, in milliseconds, the millisecond clock can keep (1 here).
uint32_t PlatTimerMinPeriod();

// Test seams: while a hook is set, the corresponding call answers from it.
// Passing null restores the real clock.
using PlatMillisecondHook = uint32_t (*)();
using PlatSleepHook = void (*)(uint32_t milliseconds);
void PlatSetMillisecondHook(PlatMillisecondHook hook);
void PlatSetSleepHook(PlatSleepHook hook);
