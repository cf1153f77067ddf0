// Shared between the input platform's source files and the window layer;
// not for the library.
#pragma once
#include <cstdint>

#include "platform/input.h"
#include "platform/window_backend.h"

// Takes a delivered native event into the keyboard, pad and mouse state
// (ignored while input is closed). The window layer calls it for every
// native event, before any message is posted.
void PlatInputTakeEvent(const PlatNativeEvent& event);

// A key event of no window for a key code, as a key pressed while no window
// has focus: it reaches the keyboard state and posts no message.
PlatNativeEvent PlatKeyEventOf(int keyCode, int down);

// Gives every scripted key change that is due by now, in order, to `change`
// as a key event (the same path a key pressed on the keyboard takes).
using PlatKeyEventFn = void (*)(const PlatNativeEvent& event);
void PlatInputApplyScript(PlatKeyEventFn change);
// Drops the loaded script.
void PlatInputClearScript();
// Loads the script named by VX_INPUT_SCRIPT, when set. 0, or -1 when the
// file cannot be read or the script is bad.
int PlatInputLoadScriptFromEnvironment();
