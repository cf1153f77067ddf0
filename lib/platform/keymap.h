// The one key table: each physical key (an SDL scancode) with the virtual key
// of the window messages and the DirectInput key code the library reads.
#pragma once

// Scancodes run from 0 to PLAT_SCANCODE_COUNT - 1 (SDL's numbering, the USB
// keyboard usages).
constexpr int PLAT_SCANCODE_COUNT = 512;

struct PlatKeyInfo {
  int VirtualKey;  // wParam of WM_KEYDOWN / WM_KEYUP; 0 when the key has none
  int KeyCode;     // DirectInput key code, 1 to 255
};

// The key of a scancode: 0 and both codes, or -1 when the table has no such
// key (out of range included; *out is then all zero).
int PlatKeyFromScancode(int scancode, PlatKeyInfo* out);
// The DirectInput key code of a scancode, 0 when it has none.
int PlatKeyCodeFromScancode(int scancode);
// The scancode of a DirectInput key code (the first listed where two keys
// share a code), 0 when none maps to it.
int PlatScancodeFromKeyCode(int keyCode);
