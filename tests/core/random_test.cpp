#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "core/random.h"
#include "platform/cpu.h"
#include "process_state.h"

namespace {
void NoMmxCpu(uint32_t leaf, PlatCpuidRegs* out) {
  *out = PlatCpuidRegs{};
  if (leaf == 0) out->Eax = 1;
}
void MmxCpu(uint32_t leaf, PlatCpuidRegs* out) {
  *out = PlatCpuidRegs{};
  if (leaf == 0) out->Eax = 1;
  if (leaf == 1) out->Edx = 1u << 23;
}
struct CpuHookGuard {
  ~CpuHookGuard() { PlatSetCpuidHook(nullptr, 1); }
};
}  // namespace

namespace {
class Random : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(Random, UnseededGeneratorSeedsItselfWith4357) {
  RandomState.Seeded = 0;
  RandomState.ReadIndex = RANDOM_STATE_WORDS;
  EXPECT_EQ(1044672925u, NextRandom32());
}

TEST_F(Random, KnownOutputsAfterSeeding) {
  SeedRandom(4357);
  EXPECT_EQ(2867219139u, NextRandom32());
  EXPECT_EQ(1585203162u, NextRandom32());
  EXPECT_EQ(3113124129u, NextRandom32());
  // The 625th output starts the next block: word 0 of the second block.
  for (int i = 3; i < 624; ++i) NextRandom32();
  EXPECT_EQ(1044672925u, NextRandom32());
}

TEST_F(Random, PairedAndPlainGeneratorsAgree) {
  CpuHookGuard guard;
  for (uint32_t seed : {4357u, 0u, 1u, 0xFFFFFFFFu, 123456789u}) {
    PlatSetCpuidHook(NoMmxCpu, 1);
    SeedRandom(seed);
    ASSERT_EQ(0, RandomState.MmxFlag);
    RandomStateBlock plain = RandomState;
    PlatSetCpuidHook(MmxCpu, 1);
    SeedRandom(seed);
    ASSERT_EQ(1, RandomState.MmxFlag);
    EXPECT_EQ(0, std::memcmp(plain.Output, RandomState.Output, sizeof plain.Output)) << seed;
    // And again for the following block.
    GenerateRandomBlock();
    RandomStateBlock paired = RandomState;
    RandomState = plain;
    RandomState.MmxFlag = 0;
    GenerateRandomBlock();
    EXPECT_EQ(0, std::memcmp(paired.Output, RandomState.Output, sizeof paired.Output)) << seed;
    EXPECT_EQ(0, std::memcmp(paired.State, RandomState.State, sizeof(uint32_t) * RANDOM_STATE_WORDS)) << seed;
  }
}

TEST_F(Random, CpuHasMmxFollowsCpuid) {
  CpuHookGuard guard;
  PlatSetCpuidHook(MmxCpu, 1);
  EXPECT_EQ(1, CpuHasMmx());
  PlatSetCpuidHook(NoMmxCpu, 1);
  EXPECT_EQ(0, CpuHasMmx());
  PlatSetCpuidHook(MmxCpu, 0);  // no CPUID instruction at all
  EXPECT_EQ(0, CpuHasMmx());
}

TEST_F(Random, GetRandomIntStaysInRange) {
  SeedRandom(99);
  std::set<int> seen;
  for (int i = 0; i < 5000; ++i) {
    int v = GetRandomIntImpl(6);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 6);
    seen.insert(v);
    ASSERT_EQ(0, GetRandomIntImpl(0));
    ASSERT_EQ(0, GetRandomIntImpl(-1));
    int big = GetRandomIntImpl(2147483646);
    ASSERT_GE(big, 0);
  }
  EXPECT_EQ(7u, seen.size());
  // The result is the upper half of output * (max + 1).
  SeedRandom(4357);
  EXPECT_EQ(int((2867219139ull * 1000ull) >> 32), GetRandomIntImpl(999));
}
