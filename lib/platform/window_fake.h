// A scripted window back end for unit tests: no screen, native events come
// from a script, the desktop and cursor are whatever the test says, and a
// fake clock can drive time (and advances by each sleep).
#pragma once
#include <cstdint>
#include <string>

#include "platform/window.h"
#include "platform/window_backend.h"

// Selects the fake back end; before the first window class is registered.
// 0, or -1 when the window system already runs.
int PlatUseFakeWindowBackend();
// Puts the fake back as a new process has it: no script, pads, pump hook or
// failures to come, the default desktop and cursor, the counters and the
// presented frame cleared, no class held elsewhere, the real clock. Windows
// and classes that still exist are the window layer's and stay.
void PlatFakeReset();

// ---- Script ------------------------------------------------------------------------
// Queues a native event, delivered by the first message peek of the window
// thread at or after `atMs` on the millisecond clock (0: at once). A null
// window means the newest window. Events go out in the order queued. X and
// Y of the event are `a` and `b` (a position for mouse events); a key queued
// here has only its virtual key; keys with their key code and pads are
// queued by the calls below.
void PlatFakeScheduleEvent(uint32_t atMs, PlatNativeEventKind kind, int a = 0, int b = 0,
                           const char* text = nullptr, PlatWindow window = nullptr);
inline void PlatFakeQueueEvent(PlatNativeEventKind kind, int a = 0, int b = 0, const char* text = nullptr) {
  PlatFakeScheduleEvent(0, kind, a, b, text);
}
// Keys by scancode (SDL's numbering), turned into virtual key and key code by
// the one key table; -1 for a scancode the table does not know.
int PlatFakeScheduleKey(uint32_t atMs, int scancode, int down, int repeat = 0);
inline int PlatFakeQueueKey(int scancode, int down, int repeat = 0) {
  return PlatFakeScheduleKey(0, scancode, down, repeat);
}
// Mouse button 0 left, 1 right, 2 middle, 3 and 4 the side buttons, at a
// client position.
void PlatFakeQueueMouseButton(int button, int down, int x = 0, int y = 0);
// Pads: plugging one in queues its arrival (a pad plugged in before input
// starts is found when it starts); -1 when that id is plugged in already.
// Buttons are in DirectInput order, axis 0 is across and 1 down (-32768 to
// 32767), hat bits 1 down, 2 left, 4 right, 8 up.
int PlatFakePlugPad(int padId, int canRumble = 1);
int PlatFakeUnplugPad(int padId);  // -1 when it is not plugged in
void PlatFakeUnplugAllPads();      // at once, with no event
void PlatFakeQueuePadButton(int padId, int button, int down);
void PlatFakeQueuePadAxis(int padId, int axis, int value);
void PlatFakeQueuePadHat(int padId, int directionBits);
// Delivers the events due now at once, as a peek of the window thread
// would, for tests that run no window.
void PlatFakeDeliverDueEvents();
// Called on every event collection (each peek of the window thread) with
// the number of collections so far, before the due events go out.
using PlatFakePumpHook = void (*)(int collection);
void PlatFakeSetPumpHook(PlatFakePumpHook hook);
int PlatFakeCollectionCount();

// ---- Machine -------------------------------------------------------------------------
void PlatFakeSetDesktop(int width, int height, int bits);
void PlatFakeSetCursorPos(int x, int y);
// The next native window creation / the next start of the window system fails.
void PlatFakeFailNextCreate();
void PlatFakeFailNextStart();
// Pretends another copy of the program holds that class name (null: none).
void PlatFakeSetClassHeldElsewhere(const char* className);

// ---- Observation ----------------------------------------------------------------------
int PlatFakeIsStarted();
int PlatFakeCursorVisible();  // what the layer last applied
int PlatFakeScreenSaverActive();
int PlatFakeNativeWindowCount();
PlatWindow PlatFakeNewestWindow();
// Client bounds (screen coordinates), title (UTF-8) and flags of a window's native side.
int PlatFakeNativeBounds(PlatWindow window, PlatRect* clientOut);
std::string PlatFakeNativeTitle(PlatWindow window);
int PlatFakeNativeVisible(PlatWindow window);
int PlatFakeNativeTopmost(PlatWindow window);
int PlatFakeNativeCaptioned(PlatWindow window);
int PlatFakeRaiseCount();
int PlatFakePresentCount();
// The last frame presented as 0x00RRGGBB pixels (width x height, tightly
// packed), or null before the first.
const uint32_t* PlatFakePresentedFrame(int* width, int* height);
// The rumble last asked of a pad (strength 0 to 65535, duration); -1 when
// none was or the pad is not plugged in.
int PlatFakeLastRumble(int padId, int* strength, uint32_t* durationMs);
// Frame thickness the fake gives a captioned window (and a client edge).
constexpr int FAKE_FRAME_SIDE = 3, FAKE_FRAME_CAPTION = 22, FAKE_CLIENT_EDGE = 2;

// ---- Clock ------------------------------------------------------------------------------
// Installs a fake millisecond clock starting at `startMs`: each sleep of n ms
// advances it by n (a sleep of 0 by nothing). Remove restores the real clock.
void PlatFakeClockInstall(uint32_t startMs);
void PlatFakeClockRemove();
void PlatFakeClockAdvance(uint32_t milliseconds);
uint32_t PlatFakeClockNow();
int PlatFakeSleepCount();
