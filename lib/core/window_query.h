// What the other subsystems may ask about the main window. The answers come
// from the window part of the system state, which the app layer keeps up to
// date; they are here so that drawing, input and sound can ask without
// reaching up to the layer that owns the window.
#pragma once
#include "platform/window.h"

PlatWindow GetMainWindow();
int IsWindowedMode();
int IsWindowActive();
int IsWindowDestroyed();
int GetClosePostedFlag();
int IsWindowRegionSet();
double GetWindowScale();
int GetDesktopMetrics(int* width, int* height, int* bits);
int GetWindowClientScreenRect(int rect[4]);
