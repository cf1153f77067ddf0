// Frames in the SDL2 window back end (hooks of platform/window_backend.h).
#pragma once
#include <cstdint>

#include "platform/window.h"

int PlatSdlPresentFrame(void* native, const void* pixels, int width, int height, int pitch, int bits,
                        const PlatRect* changed);
int PlatSdlPresentAgain(void* native);
void PlatSdlSetPresentVSync(int on);
int PlatSdlSetFullscreen(void* native, int on);
void PlatSdlEndPresentation();
