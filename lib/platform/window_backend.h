// The hooks a window back end gives the window layer (platform/window.h).
//
// The layer keeps classes, windows, queues, paint state and the cursor count
// itself; a back end only owns the native windows and the native event
// source. Two back ends exist: SDL2 (the program) and a scripted fake (unit
// tests), chosen once before the first window is made. Native events reach
// the layer in one neutral form and are turned into messages in one place,
// PlatDeliverNativeEvent.
#pragma once
#include <cstdint>

#include "platform/window.h"

enum class PlatNativeEventKind {
  FocusGained,     // the window became the active window
  FocusLost,
  Moved,           // A, B: new client position in screen coordinates
  Resized,         // A, B: new client size
  Minimized,
  Maximized,
  Restored,
  Exposed,         // the window's picture was lost and must be painted
  CloseRequested,  // the close button
  KeyDown,         // A: virtual key, B: 1 for an auto-repeat
  KeyUp,           // A: virtual key
  Text,            // Text: UTF-8 typed text
  MouseMove,       // A, B: client position
  MouseButtonDown, // A: 0 left, 1 right, 2 middle; client position in X, Y
  MouseButtonUp,
  MouseWheel,      // A: notches (positive away from the user)
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
  int (*HoldClass)(const char* className);     // 0 or -1
  void (*ReleaseClass)(const char* className);
  int (*Present)(void* native, const uint32_t* pixels, int width, int height, int pitch,
                 const PlatRect* dest);
  int (*FillBlack)(void* native, const PlatRect* rect);
};

// The back ends.
const PlatWindowBackend* PlatSdlWindowBackend();
const PlatWindowBackend* PlatFakeWindowBackendHooks();
// Selects the back end; only before the window system starts. 0 or -1.
int PlatSelectWindowBackend(const PlatWindowBackend* backend);

// The one translation of native events into messages.
void PlatDeliverNativeEvent(const PlatNativeEvent& event);
// Shows an SDL event to the registered observers.
void PlatNotifyEventObservers(const void* sdlEvent);

// Run at the start of every message peek, on the peeking thread, before its
// queue is looked at (the socket layer posts its notifications from here).
using PlatPeekHook = void (*)();
void PlatSetPeekHook(PlatPeekHook hook);
