// The mouse cursor over the main window and the mouse position.
#pragma once

// 1 shows the cursor over the main window, anything else hides it; 0.
int SetMouseCursorVisibleImpl(int request);
// The cursor position in the library's picture coordinates; 0.
int GetMousePositionImpl(int* x, int* y);
// Full-screen mode: re-applies the flip-to-GDI mode and the cursor rule; 0.
int AutoShowMenuInFullscreen();
