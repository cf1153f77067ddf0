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

// ---- Script ------------------------------------------------------------------------
// Queues a native event, delivered by the first message peek of the window
// thread at or after `atMs` on the millisecond clock (0: at once). A null
// window means the newest window. Events go out in the order queued.
void PlatFakeScheduleEvent(uint32_t atMs, PlatNativeEventKind kind, int a = 0, int b = 0,
                           const char* text = nullptr, PlatWindow window = nullptr);
inline void PlatFakeQueueEvent(PlatNativeEventKind kind, int a = 0, int b = 0, const char* text = nullptr) {
  PlatFakeScheduleEvent(0, kind, a, b, text);
}
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
int PlatFakeCursorVisible();        // what the layer last applied
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
