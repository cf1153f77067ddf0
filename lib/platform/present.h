// Presentation of software-drawn frames: a screen image (16-bit 5-6-5 or
// 32-bit X8R8G8B8) is handed to the window back end, which shows it scaled to
// the window's client area (SDL2: through a streaming texture of the same
// format; the test fake keeps the frame for the test to look at).
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

// Frames presented since the start.
int PlatPresentFrameCount();
