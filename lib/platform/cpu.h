// Processor identification.
#pragma once
#include <cstdint>

struct PlatCpuidRegs {
  uint32_t Eax, Ebx, Ecx, Edx;
};

// 1 when the processor has the CPUID instruction (always on x86-64), else 0.
int PlatHasCpuid();
// Runs CPUID for the given leaf (sub-leaf 0); all zero where CPUID is missing.
void PlatCpuid(uint32_t leaf, PlatCpuidRegs* out);

// Test seam: while set, PlatHasCpuid and PlatCpuid answer from the hook
// (hasCpuid is what PlatHasCpuid returns). Null restores the real processor.
using PlatCpuidHook = void (*)(uint32_t leaf, PlatCpuidRegs* out);
void PlatSetCpuidHook(PlatCpuidHook hook, int hasCpuid);
