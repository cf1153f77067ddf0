// The window part of SystemState: main window, message pump and window
// procedure flags. Reset with SystemState at the start of InitMainWindow;
// the settings made before InitLibrary (mode, title, icon, scale) and the
// main window handle live in SystemState.Kept.
#pragma once
#include <cstdint>

// Closing state.
constexpr int32_t CLOSING_NONE = 0;
constexpr int32_t CLOSING_LIBRARY_END = 1;  // EndLibrary is taking the window down
constexpr int32_t CLOSING_BY_WM_CLOSE = 4;  // closed from outside (the close button)

struct WindowState {
  uint32_t MainThreadId;
  int32_t Active;         // 1 while the main window is the active window
  int32_t Quit;           // 1 once the window is gone or WM_QUIT arrived
  int32_t ClosePosted;    // 1 once the library posted WM_CLOSE to its window
  int32_t ClosingState;   // CLOSING_*
  int32_t ClientRect[4];  // client area in screen coordinates (left, top, right, bottom)
  int32_t DesktopWidth, DesktopHeight, DesktopBits;  // saved at start-up
  int32_t StyleApplied;                              // 1 once a style was applied after creation
  int32_t ModeChanging;                              // 1 during ChangeWindowModeImpl's wait
  int32_t DisplayChangeSeen;                         // 1 once a display change was taken in
  int32_t Creating;                                  // 1 while InitMainWindow creates and shows the window
  int32_t Painting;                                  // 1 while WM_PAINT is handled in windowed mode
  int32_t CursorRequest;                             // last argument of SetMouseCursorVisible
  int32_t CursorVisible;                             // cursor state last applied
  int32_t ServiceGuard;                              // 1 while the pump's text-input editing runs
  int32_t ClassRegistered;                           // 1 while the window class is registered
  int32_t TimerPeriodBegun;                          // 1 while the millisecond clock's period is raised
  uint32_t TimerPeriod;                              // that period in milliseconds
};
