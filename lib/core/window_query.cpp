#include "core/window_query.h"

#include "core/system_state.h"

namespace {

WindowState& Win() { return SystemState.Window; }
PlatWindow Main() { return static_cast<PlatWindow>(SystemState.Kept.MainWindow); }

}  // namespace

PlatWindow GetMainWindow() { return Main(); }
int IsWindowedMode() { return SystemState.Kept.WindowMode; }
int IsWindowActive() { return Win().Active; }
int IsWindowDestroyed() { return Win().Quit; }
int GetClosePostedFlag() { return Win().ClosePosted; }
int IsWindowRegionSet() { return 0; }

double GetWindowScale() {
  if (SystemState.Kept.WindowScale <= 0.0) SystemState.Kept.WindowScale = 1.0;
  return SystemState.Kept.WindowMode ? SystemState.Kept.WindowScale : 1.0;
}

int GetDesktopMetrics(int* width, int* height, int* bits) {
  int w, h, b;
  if (SystemState.Initialised) {
    w = Win().DesktopWidth;
    h = Win().DesktopHeight;
    b = Win().DesktopBits;
  } else {
    PlatGetDesktopMetrics(&w, &h, &b);
  }
  if (width) *width = w;
  if (height) *height = h;
  if (bits) *bits = b;
  return 0;
}

int GetWindowClientScreenRect(int rect[4]) {
  if (!rect) return -1;
  for (int i = 0; i < 4; ++i) rect[i] = Win().ClientRect[i];
  return 0;
}
