#include "platform/sysinfo.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <atomic>

namespace {
std::atomic<PlatDebugSink> g_sink{nullptr};
}

void PlatGetMemoryStatus(PlatMemoryStatus* out) {
  *out = PlatMemoryStatus{};
  struct sysinfo info {};
  if (sysinfo(&info) == 0) {
    uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    out->TotalPhysical = uint64_t(info.totalram) * unit;
    out->AvailablePhysical = uint64_t(info.freeram + info.bufferram) * unit;
    out->TotalPageFile = uint64_t(info.totalram + info.totalswap) * unit;
    out->AvailablePageFile = uint64_t(info.freeram + info.bufferram + info.freeswap) * unit;
  }
  // The address space a process may use; a 32-bit process saw 2 GiB here.
  rlimit limit{};
  uint64_t total = 0x80000000ull;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < total) {
    total = limit.rlim_cur;
  }
  out->TotalVirtual = total;
  out->AvailableVirtual = total;
}

void PlatDebugOutput(const char* text) {
  if (PlatDebugSink sink = g_sink.load()) sink(text);
}

void PlatSetDebugSink(PlatDebugSink sink) { g_sink.store(sink); }
