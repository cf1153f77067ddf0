#include <gtest/gtest.h>

#include "core/clock.h"
#include "core_test_util.h"
#include "platform/clock.h"
#include "process_state.h"

using coretest::FakeNow;

namespace {
uint64_t NowMicroseconds() { return PlatQueryCounter() / (PlatCounterFrequency() / 1000000u); }

struct ClockGuard {
  ClockGuard() { PlatSetMillisecondHook(coretest::FakeClock); }
  ~ClockGuard() {
    PlatSetMillisecondHook(nullptr);
    SystemState.Kept.CpuTscFlag = 0;
    SystemState.Kept.CpuClockHz = 0;
    SystemState.Initialised = 0;
    SystemState.PerfCounterUsable = 0;
    SystemState.PerfCounterFrequency = 0;
  }
};
}  // namespace

namespace {
class Clock : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(Clock, MillisecondClockAndWrapSafeComparisons) {
  ClockGuard guard;
  FakeNow() = 0xFFFFFFF0u;
  EXPECT_EQ(0xFFFFFFF0u, GetMillisecondClock());
  const uint32_t start = GetMillisecondClock();
  EXPECT_EQ(0, MillisecondDueReached(start, 100, 0xFFFFFFF0u + 50));
  EXPECT_EQ(0, MillisecondDueReached(start, 100, 0x00000050u));  // 96 ms after the wrap
  EXPECT_EQ(1, MillisecondDueReached(start, 100, 0x00000054u));
  EXPECT_EQ(0x64u, MillisecondsSince(start, 0x54u));
  EXPECT_EQ(1, MillisecondDueReached(start, 0, start));
}

TEST_F(Clock, MicrosecondCounterSources) {
  ClockGuard guard;
  FakeNow() = 1234;
  // Nothing usable: milliseconds times 1,000.
  EXPECT_EQ(1234000u, GetMicrosecondCounter(1));

  // The high-resolution counter.
  SystemState.PerfCounterUsable = 1;
  SystemState.PerfCounterFrequency = PlatCounterFrequency();
  uint64_t before = NowMicroseconds();
  uint64_t us = GetMicrosecondCounter(0);
  uint64_t after = NowMicroseconds();
  EXPECT_GE(us, before);
  EXPECT_LE(us, after);

  // A zero frequency is never divided by.
  SystemState.PerfCounterFrequency = 0;
  EXPECT_EQ(1234000u, GetMicrosecondCounter(0));
  SystemState.PerfCounterFrequency = PlatCounterFrequency();

  // The processor counter only with allow == 1, once initialised, with a rate.
  SystemState.Kept.CpuTscFlag = 1;
  SystemState.Kept.CpuClockHz = 1000000;  // one count per microsecond
  SystemState.Initialised = 1;
  uint64_t tsc0 = PlatReadTimeStamp();
  uint64_t viaTsc = GetMicrosecondCounter(1);
  EXPECT_GE(viaTsc, tsc0);
  uint64_t viaCounter = GetMicrosecondCounter(0);
  EXPECT_LE(viaCounter, NowMicroseconds());
  SystemState.Kept.CpuClockHz = 0;  // not measured: the counter is used
  uint64_t unmeasured = GetMicrosecondCounter(1);
  EXPECT_LE(unmeasured, NowMicroseconds());
  SystemState.Initialised = 0;
  SystemState.Kept.CpuClockHz = 1000000;
  uint64_t uninitialised = GetMicrosecondCounter(1);
  EXPECT_LE(uninitialised, NowMicroseconds());
}

namespace {
class SystemStateReset : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(SystemStateReset, ResetKeepsTheKeptPart) {
  SystemState.Kept.WindowMode = 1;
  SystemState.Kept.Log.LogOff = 1;
  StrCopyN(SystemState.Kept.WindowTitle, sizeof SystemState.Kept.WindowTitle, "Quarry");
  SystemState.Kept.OsVersionCode = 0x107;
  SystemState.Initialised = 1;
  SystemState.Log.IndentDepth = 3;
  SystemState.PerfCounterFrequency = 99;
  ResetSystemState();
  EXPECT_EQ(1, SystemState.Kept.WindowMode);
  EXPECT_EQ(1, SystemState.Kept.Log.LogOff);
  EXPECT_STREQ("Quarry", SystemState.Kept.WindowTitle);
  EXPECT_EQ(0x107, SystemState.Kept.OsVersionCode);
  EXPECT_EQ(0, SystemState.Initialised);
  EXPECT_EQ(0, SystemState.Log.IndentDepth);
  EXPECT_EQ(0u, SystemState.PerfCounterFrequency);
  EXPECT_EQ(&SystemState.Kept.Info, GetSystemInfoBlock());
  SystemState.Kept.Log.LogOff = 0;
}
