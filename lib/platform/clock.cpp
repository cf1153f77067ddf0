#include "platform/clock.h"

#include "platform/thread.h"

#include <sched.h>
#include <x86intrin.h>
#include <atomic>
#include <ctime>

namespace {
std::atomic<PlatMillisecondHook> g_msHook{nullptr};
std::atomic<PlatSleepHook> g_sleepHook{nullptr};

uint64_t MonotonicNanoseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}
}  // namespace

uint32_t PlatGetMilliseconds() {
  if (PlatMillisecondHook hook = g_msHook.load()) return hook();
  return uint32_t(MonotonicNanoseconds() / 1000000u);
}

uint64_t PlatQueryCounter() { return MonotonicNanoseconds(); }

uint64_t PlatCounterFrequency() { return 1000000000u; }

uint64_t PlatReadTimeStamp() { return __rdtsc(); }

void PlatSleep(uint32_t milliseconds) {
  if (PlatSleepHook hook = g_sleepHook.load()) {
    hook(milliseconds);
    return;
  }
  PlatThreadSleep(milliseconds);
}

void PlatGetLocalTime(PlatDateTime* out) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  out->Year = local.tm_year + 1900;
  out->Month = local.tm_mon + 1;
  out->Day = local.tm_mday;
  out->Hour = local.tm_hour;
  out->Minute = local.tm_min;
  out->Second = local.tm_sec;
  out->Milliseconds = int(ts.tv_nsec / 1000000);
  out->DayOfWeek = local.tm_wday;
}

uint32_t PlatTimerMinPeriod() { return 1; }

void PlatSetMillisecondHook(PlatMillisecondHook hook) { g_msHook.store(hook); }
void PlatSetSleepHook(PlatSleepHook hook) { g_sleepHook.store(hook); }
