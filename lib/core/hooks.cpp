#include "core/hooks.h"

namespace {

void NoWait() {}
int Nothing() { return 0; }

constexpr UpwardHookTable kDefaults = {
    .WaitWhileWindowInactive = NoWait,
    .EndLibrary = Nothing,
};

}  // namespace

UpwardHookTable UpwardHooks = kDefaults;

void ResetUpwardHooks() { UpwardHooks = kDefaults; }
