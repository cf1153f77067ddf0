// The library's random numbers: one MT19937 generator in global state.
#pragma once
#include <cstdint>

constexpr int RANDOM_STATE_WORDS = 624;

struct RandomStateBlock {
  uint32_t State[RANDOM_STATE_WORDS + 1];  // + scratch word used while regenerating
  uint32_t Output[RANDOM_STATE_WORDS];     // tempered outputs of the current block
  int32_t ReadIndex;                       // next output; 624 = block used up
  int32_t Seeded;                          // 1 once SeedRandom ran
  int32_t MmxFlag;                         // 1: the paired (MMX) generator is used
};
extern RandomStateBlock RandomState;

void SeedRandom(uint32_t seed);
// The next tempered output; an unseeded generator seeds itself with 4357.
uint32_t NextRandom32();
// 0 to max inclusive (max -1 gives 0).
int GetRandomIntImpl(int max);
// Regenerate the state and the output block (read index := 0). The paired
// form computes two neighbouring words per step and gives the same numbers.
void GenerateRandomBlock();
void GenerateRandomBlockMmx();
// 1 when the processor reports MMX through CPUID.
int CpuHasMmx();
