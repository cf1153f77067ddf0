#include "platform/cpu.h"

#include <cpuid.h>
#include <atomic>

namespace {
std::atomic<PlatCpuidHook> g_hook{nullptr};
std::atomic<int> g_hookHasCpuid{1};
}  // namespace

int PlatHasCpuid() {
  if (g_hook.load()) return g_hookHasCpuid.load();
  return 1;  // every x86-64 processor has CPUID
}

void PlatCpuid(uint32_t leaf, PlatCpuidRegs* out) {
  if (PlatCpuidHook hook = g_hook.load()) {
    *out = PlatCpuidRegs{};
    if (g_hookHasCpuid.load()) hook(leaf, out);
    return;
  }
  unsigned a = 0, b = 0, c = 0, d = 0;
  __cpuid_count(leaf, 0, a, b, c, d);
  *out = PlatCpuidRegs{a, b, c, d};
}

void PlatSetCpuidHook(PlatCpuidHook hook, int hasCpuid) {
  g_hookHasCpuid.store(hasCpuid);
  g_hook.store(hook);
}
