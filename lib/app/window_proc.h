// The main window's procedure.
#pragma once
#include <cstdint>

#include "platform/window.h"

intptr_t MainWindowProc(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
