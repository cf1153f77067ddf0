// The message pump and the inactive-window guard.
#pragma once
#include "core/hooks.h"

// Takes the thread's messages off its queue in batches of five and
// dispatches them, runs the per-frame services; while the main window is
// inactive it does not return until it is active again (or closing).
// 0, or -1 once the quit flag is set.
int PumpWindowMessagesImpl();
// Entry guard of drawing and input: pumps while the main window is inactive.
void PumpWhileWindowInactive();
// Messages taken per batch.
constexpr int PUMP_BATCH_SIZE = 5;
