// MT19937 (N = 624, M = 397). The state is regenerated a block at a time and
// the whole block is tempered at once.
#include "core/random.h"

#include "platform/cpu.h"

RandomStateBlock RandomState = {{}, {}, RANDOM_STATE_WORDS, 0, 0};

namespace {
constexpr int kN = RANDOM_STATE_WORDS;
constexpr int kM = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;

inline uint32_t Twist(uint32_t current, uint32_t next, uint32_t far) {
  uint32_t y = (current & 0x80000000u) | (next & 0x7FFFFFFFu);
  return far ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
}

inline uint32_t Temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

void TemperBlock() {
  for (int i = 0; i < kN; ++i) RandomState.Output[i] = Temper(RandomState.State[i]);
  RandomState.ReadIndex = 0;
}
}  // namespace

int CpuHasMmx() {
  if (!PlatHasCpuid()) return 0;
  PlatCpuidRegs regs{};
  PlatCpuid(0, &regs);
  if (regs.Eax < 1) return 0;
  PlatCpuid(1, &regs);
  return (regs.Edx >> 23) & 1u;
}

void SeedRandom(uint32_t seed) {
  uint32_t x = seed;
  for (int i = 0; i < kN; ++i) {
    uint32_t word = x & 0xFFFF0000u;
    x = 69069u * x + 1u;
    word |= x >> 16;
    x = 69069u * x + 1u;
    RandomState.State[i] = word;
  }
  RandomState.MmxFlag = CpuHasMmx();
  RandomState.Seeded = 1;
  GenerateRandomBlock();
}

void GenerateRandomBlock() {
  if (RandomState.MmxFlag) {
    GenerateRandomBlockMmx();
    return;
  }
  uint32_t* s = RandomState.State;
  for (int i = 0; i < kN - kM; ++i) s[i] = Twist(s[i], s[i + 1], s[i + kM]);
  // The scratch word stands in for word 0 (already renewed) at the last step.
  s[kN] = s[0];
  for (int i = kN - kM; i < kN; ++i) s[i] = Twist(s[i], s[i + 1], s[i - (kN - kM)]);
  TemperBlock();
}

// The same recurrence two neighbouring words per step (the processor's paired
// form). Each pair reads only words the step before has already renewed or
// that it does not change itself, so the result equals the plain generator's.
void GenerateRandomBlockMmx() {
  uint32_t* s = RandomState.State;
  int i = 0;
  for (; i + 1 < kN - kM; i += 2) {
    uint32_t a = Twist(s[i], s[i + 1], s[i + kM]);
    uint32_t b = Twist(s[i + 1], s[i + 2], s[i + 1 + kM]);
    s[i] = a;
    s[i + 1] = b;
  }
  s[i] = Twist(s[i], s[i + 1], s[i + kM]);  // the odd step at 226
  ++i;
  s[kN] = s[0];
  for (; i + 1 < kN; i += 2) {
    uint32_t a = Twist(s[i], s[i + 1], s[i - (kN - kM)]);
    uint32_t b = Twist(s[i + 1], s[i + 2], s[i + 1 - (kN - kM)]);
    s[i] = a;
    s[i + 1] = b;
  }
  if (i < kN) s[i] = Twist(s[i], s[i + 1], s[i - (kN - kM)]);  // the odd last step reads the scratch word
  for (int t = 0; t + 1 < kN; t += 2) {
    RandomState.Output[t] = Temper(s[t]);
    RandomState.Output[t + 1] = Temper(s[t + 1]);
  }
  RandomState.ReadIndex = 0;
}

uint32_t NextRandom32() {
  if (RandomState.ReadIndex < 0 || RandomState.ReadIndex >= kN) {
    if (!RandomState.Seeded) SeedRandom(4357u);
    GenerateRandomBlock();
  }
  return RandomState.Output[RandomState.ReadIndex++];
}

int GetRandomIntImpl(int max) {
  uint64_t r = NextRandom32();
  // max + 1 as a wrapping 32-bit value widened with its sign; the product's
  // upper half is the result.
  int64_t m = int32_t(uint32_t(max) + 1u);
  return int32_t(uint64_t(int64_t(r) * m) >> 32);
}
