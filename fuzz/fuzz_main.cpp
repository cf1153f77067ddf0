// One libFuzzer executable per target: VX_FUZZ_TARGET names it. An input
// that leaves a tracked block behind aborts, so libFuzzer keeps it.
#include <cstdlib>

#include "fuzz_entries.h"

namespace {
const FuzzTarget* g_target = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_target = FindFuzzTarget(VX_FUZZ_TARGET);
  if (!g_target) std::abort();
  FuzzStartLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!FuzzRunChecked(*g_target, data, size)) std::abort();
  return 0;
}
