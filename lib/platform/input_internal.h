// Shared between the input platform's source files; not for the library.
#pragma once
#include <cstdint>

#include "platform/input.h"

// Applies every scripted key change that is due by now, in order, through
// `change` (the same path a key event takes).
using PlatKeyChangeFn = void (*)(int keyCode, int down);
void PlatInputApplyScript(PlatKeyChangeFn change);
// Drops the loaded script.
void PlatInputClearScript();
// Loads the script named by VX_INPUT_SCRIPT, when set. 0, or -1 when the
// file cannot be read or the script is bad.
int PlatInputLoadScriptFromEnvironment();
