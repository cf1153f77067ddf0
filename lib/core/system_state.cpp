#include "core/system_state.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

SystemStateBlock SystemState;

static_assert(std::is_trivially_copyable_v<SystemStateBlock>, "SystemState must stay plain data");
static_assert(offsetof(SystemStateBlock, Kept) == 0, "the kept part heads the block");

void ResetSystemState() {
  // Everything after the kept part is zeroed; the kept part is left in place
  // (it holds the lock and the allocator list, which may be live right now).
  constexpr size_t kKeptEnd = sizeof(SystemStateKept);
  std::memset(reinterpret_cast<unsigned char*>(&SystemState) + kKeptEnd, 0,
              sizeof(SystemStateBlock) - kKeptEnd);
}

SystemInfo* GetSystemInfoBlock() { return &SystemState.Kept.Info; }

int GetMmxAvailableFlag() { return SystemState.Kept.CpuMmxFlag; }
