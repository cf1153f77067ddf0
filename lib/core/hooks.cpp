#include "core/hooks.h"

namespace {

void NoWait() {}
int Nothing() { return 0; }
int SixteenBits() { return 16; }

constexpr UpwardHookTable kDefaults = {
    .WaitWhileWindowInactive = NoWait,
    .PumpWindowMessages = Nothing,
    .EndLibrary = Nothing,
    .TermInput = Nothing,
    .InitInput = Nothing,
    .InitializeFontSystem = Nothing,
    .TerminateFontSystem = Nothing,
    .RecreateAllFonts = Nothing,
    .GetScreenColorBits = SixteenBits,
};

}  // namespace

UpwardHookTable UpwardHooks = kDefaults;

void ResetUpwardHooks() { UpwardHooks = kDefaults; }
