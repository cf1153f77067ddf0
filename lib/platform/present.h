// Presentation of software-drawn frames: a screen image (16-bit 5-6-5 or
// 32-bit X8R8G8B8) is uploaded into a streaming texture of the same format
// and shown scaled to the window's client area. A window of another back end
// (the test fake) gets the frame through PlatPresentPixels instead.
#pragma once
#include <cstdint>

#include "platform/window.h"

// Shows the image in the window. `changed` (image coordinates, null: all of
// it) is the part that differs from the last frame shown; the whole image is
// shown either way. 0, or -1 (bad arguments, no window, the frame could not
// be shown).
int PlatPresentScreen(PlatWindow window, const void* pixels, int width, int height, int pitch, int bits,
                      const PlatRect* changed);
// Shows the last frame again (a repaint); -1 when none was shown in this
// window through the texture, so the caller presents an image instead.
int PlatPresentAgain(PlatWindow window);
// Wait for the vertical blank before each frame shows (1) or not (0).
void PlatSetPresentVSync(int on);
// Shows the window over the whole desktop (1) or as a window (0). 0 or -1.
int PlatSetPresentFullscreen(PlatWindow window, int on);
// Releases the texture and renderer (before the window goes).
void PlatEndPresentation();

// ---- Capture, for tests ---------------------------------------------------------
// While on, every presented frame is also kept as 0x00RRGGBB pixels.
void PlatPresentCaptureEnable(int on);
// The last frame kept (width x height, tightly packed), or null.
const uint32_t* PlatPresentCapturedFrame(int* width, int* height);
// Frames presented since the start.
int PlatPresentFrameCount();
