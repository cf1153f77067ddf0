// Library start-up and shutdown, and the fatal-error exit.
#pragma once
#include "core/fatal.h"

// Hands the lower layers the calls that point up (see core/hooks.h).
void RegisterLibraryHooks();
// Brings the library up in its fixed order; 0, or -1 with everything it had
// started ended again.
int InitLibraryImpl();
// Takes the library down in its fixed order; 0 (also when not started).
int EndLibraryImpl();
// Initialises COM once for the library; 0, or -1 when already done or failed.
int InitCom();

// The default COM services: this platform has no COM, so initialising
// always succeeds and uninitialising does nothing.
int ComInitializeDefault();
void ComUninitializeDefault();
// The warm-up draws made at the end of start-up; 0.
int RunWarmUpDraws();

