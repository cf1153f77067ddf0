#include "app/mouse.h"

#include "app/main_window.h"
#include "core/system_state.h"
#include "graphics/soft/display.h"
#include "platform/window.h"

int SetMouseCursorVisibleImpl(int request) {
  WindowState& win = SystemState.Window;
  win.CursorRequest = request;
  int visible = request == 1 ? 1 : 0;
  PlatWindow main = GetMainWindow();
  if (!main) visible = 0;
  if (visible == win.CursorVisible) return 0;
  if (visible) {
    while (PlatShowCursor(1) < 0) {}
  } else {
    while (PlatShowCursor(0) >= 0) {}
  }
  if (main) PlatPostMessage(main, WM_SETCURSOR, reinterpret_cast<uintptr_t>(main), 0);
  win.CursorVisible = visible;
  return 0;
}

int GetMousePositionImpl(int* x, int* y) {
  int px = 0, py = 0;
  PlatGetCursorPos(&px, &py);
  if (SystemState.Kept.WindowMode) {
    double scale = GetWindowScale();
    px = int((px - SystemState.Window.ClientRect[0]) / scale);
    py = int((py - SystemState.Window.ClientRect[1]) / scale);
  }
  if (x) *x = px;
  if (y) *y = py;
  return 0;
}

int AutoShowMenuInFullscreen() {
  if (SystemState.Kept.WindowMode) return 0;
  int x, y;
  GetMousePositionImpl(&x, &y);
  SetFlipToGdiMode(GetFlipToGdiMode());
  SetMouseCursorVisibleImpl(SystemState.Window.CursorRequest);
  return 0;
}
