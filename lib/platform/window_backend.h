// The hooks a window back end gives the window layer (platform/window.h).
//
// The layer keeps classes, windows, queues, paint state and the cursor count
// itself; a back end only owns the native windows, the native event source,
// the pad devices and the showing of frames. Two back ends exist: SDL2 (the
// program) and a scripted fake (unit tests), chosen once before the first
// window is made. Native events reach the layer in one neutral form and are
// turned into messages, and into the keyboard, pad and mouse state of the
// input platform (platform/input.h), in one place, PlatDeliverNativeEvent.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/window.h"

enum class PlatNativeEventKind {
  FocusGained,  // the window became the active window
  FocusLost,
  Moved,    // A, B: new client position in screen coordinates
  Resized,  // A, B: new client size
  Minimized,
  Maximized,
  Restored,
  Exposed,          // the window's picture was lost and must be painted
  CloseRequested,   // the close button
  KeyDown,          // A: virtual key (0: none), B: 1 for an auto-repeat, X: key code (0: none)
  KeyUp,            // A: virtual key, X: key code
  Text,             // Text: UTF-8 typed text
  MouseMove,        // A, B: client position
  MouseButtonDown,  // A: 0 left, 1 right, 2 middle, 3 and 4 the side buttons; client position in X, Y
  MouseButtonUp,
  MouseWheel,  // A: notches (positive away from the user); client position in X, Y
  // Pads have no window. A is the pad's id, which the back end chooses and
  // keeps while the pad is plugged in.
  PadAdded,  // B: 1 when the pad can rumble
  PadRemoved,
  PadAxis,    // B: 0 stick across, 1 stick down; X: -32768 (left/up) to 32767
  PadButton,  // B: button 0 to 31 in DirectInput order; X: 1 down, 0 up
  PadHat,     // B: direction bits (1 down, 2 left, 4 right, 8 up), all of them
};

struct PlatNativeEvent {
  PlatNativeEventKind Kind;
  PlatWindow Window;
  int A, B;
  int X, Y;
  const char* Text;
};

struct PlatWindowBackend {
  const char* Name;
  // Starts / ends the native window system; Start gives 0 or -1.
  int (*Start)();
  void (*Stop)();
  // A native window for `owner` with the client area at (x, y, width, height)
  // in screen coordinates; null on failure.
  void* (*CreateNative)(PlatWindow owner, const char* utf8Title, int x, int y, int width, int height,
                        int visible, int captioned, int topmost);
  void (*DestroyNative)(void* native);
  void (*SetTitle)(void* native, const char* utf8Title);
  void (*SetClientBounds)(void* native, int x, int y, int width, int height);
  void (*SetVisible)(void* native, int visible);
  void (*SetMinimized)(void* native, int minimized);
  void (*SetDecoration)(void* native, int captioned, int topmost);
  void (*Raise)(void* native);
  // Gives every pending native event to PlatDeliverNativeEvent.
  void (*PumpEvents)();
  void (*ApplyCursor)(int visible);
  void (*GetCursorPos)(int* x, int* y);
  void (*GetDesktop)(int* width, int* height, int* bits);
  void (*SetScreenSaver)(int active);
  // Thickness of the frame around the client area for a style.
  void (*FrameMetrics)(uint32_t style, uint32_t exStyle, PlatRect* frame);
  // Second-copy check by class name: 1 when another holder exists.
  int (*ClassHeldElsewhere)(const char* className);
  int (*HoldClass)(const char* className);  // 0 or -1
  void (*ReleaseClass)(const char* className);
  int (*FillBlack)(void* native, const PlatRect* rect);
  // Frames (platform/present.h): a 16-bit 5-6-5 or 32-bit X8R8G8B8 image,
  // arguments already checked, shown scaled to the client area; `changed`
  // (image coordinates, clipped, null: all) is what differs from the last
  // frame. 0 or -1.
  int (*PresentFrame)(void* native, const void* pixels, int width, int height, int pitch, int bits,
                      const PlatRect* changed);
  // The last frame again; -1 when this window has none to show.
  int (*PresentAgain)(void* native);
  void (*SetPresentVSync)(int on);
  int (*SetFullscreen)(void* native, int on);
  // Releases what frames need (before the window goes).
  void (*EndPresentation)();
  // Starts the pad devices and delivers PadAdded for each pad connected now;
  // 0, or -1 when there can be no pads (the keyboard still works).
  int (*OpenPads)();
  // Closes every pad device; no PadRemoved follows.
  void (*ClosePads)();
  // Rumbles a pad at strength 0 to 65535 for `durationMs` (0 stops it); 0 or -1.
  int (*PadRumble)(int padId, int strength, uint32_t durationMs);
};

// The back ends.
const PlatWindowBackend* PlatSdlWindowBackend();
const PlatWindowBackend* PlatFakeWindowBackendHooks();
// Selects the back end; only before the window system starts. 0 or -1.
int PlatSelectWindowBackend(const PlatWindowBackend* backend);
// The back end in use (SDL2 unless another was selected).
const PlatWindowBackend* PlatActiveWindowBackend();
// The back end's native window behind a live window; null when it is gone.
void* PlatNativeOf(PlatWindow window);
// A 16-bit 5-6-5 or 32-bit X8R8G8B8 frame as tightly packed 0x00RRGGBB pixels.
void PlatFrameToXrgb(const void* pixels, int width, int height, int pitch, int bits,
                     std::vector<uint32_t>* out);

// The one translation of native events into messages and input state. A
// null window is for events of no window (pads, keys with no window
// focused): they reach only the input state.
void PlatDeliverNativeEvent(const PlatNativeEvent& event);
// Run at the start of every message peek, on the peeking thread, before its
// queue is looked at (the socket layer posts its notifications from here).
// Returns the hook it replaces.
using PlatPeekHook = void (*)();
PlatPeekHook PlatSetPeekHook(PlatPeekHook hook);
