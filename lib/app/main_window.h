// The library's main window: creation and end, window mode, placement, and
// the window-state queries other subsystems read.
#pragma once
#include <cstdint>

#include "core/window_query.h"
#include "platform/window.h"

int InitMainWindow();
int EndMainWindow();
// 1 windowed, 0 full screen; before the window exists only stores the flag.
int ChangeWindowModeImpl(int flag);
int StoreWindowModeFlag(int flag);
int ApplyWindowModeStyle();
int UpdateWindowPlacement();
// position: client x in the low word, client y in the high word (signed).
int OnWindowMoved(intptr_t position);
int BringWindowToFront(void* window, int topmost);
int SetMainWindowTitleImpl(const char* text);
int SetWindowIconResourceImpl(int identifier);

// The class icon when none is given.
constexpr int DEFAULT_ICON_RESOURCE = 32512;
// The windowed and full-screen styles.
constexpr uint32_t WINDOWED_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x80CA0000
constexpr uint32_t WINDOWED_EX_STYLE = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;               // 0x300
constexpr uint32_t FULLSCREEN_STYLE = WS_POPUP;
constexpr uint32_t FULLSCREEN_EX_STYLE = WS_EX_TOPMOST;
// How long a mode change waits for the display to report its new mode.
constexpr uint32_t MODE_CHANGE_WAIT_LIMIT_MS = 5000;
