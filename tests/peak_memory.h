// The process's peak resident memory, for tests that check a hostile file
// cannot make the library take much memory: compare the peak before and
// after. The peak never falls: a rise is what the test itself took, and a
// test that peaks below an earlier one shows no rise.
#pragma once
#include <sys/resource.h>

#include <cstdint>

inline uint64_t PeakResidentBytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return uint64_t(u.ru_maxrss) * 1024;
}
