#include "core/clock.h"

#include "core/strutil.h"
#include "core/system_state.h"
#include "platform/clock.h"

uint32_t GetMillisecondClock() { return PlatGetMilliseconds(); }

uint64_t GetMicrosecondCounter(int allowProcessorCounter) {
  // A rate of 0 (not measured) never selects a counter, so nothing divides by it.
  if (allowProcessorCounter == 1 && SystemState.Kept.CpuTscFlag && SystemState.Initialised &&
      SystemState.Kept.CpuClockHz != 0) {
    return MulDiv64(PlatReadTimeStamp(), 1000000u, SystemState.Kept.CpuClockHz);
  }
  if (SystemState.PerfCounterUsable && SystemState.PerfCounterFrequency != 0) {
    return MulDiv64(PlatQueryCounter(), 1000000u, SystemState.PerfCounterFrequency);
  }
  return uint64_t(GetMillisecondClock()) * 1000u;
}
