// Keyboard, pads and mouse buttons: the device side of input.
//
// The platform keeps what the devices report (keys held, pad sticks, hats and
// buttons), learned from the native events the window back end delivers
// (platform/window_backend.h). The library reads that state through the
// calls below and decides what it means (pad bits, active window, ...).
#pragma once
#include <cstdint>

#include "platform/keymap.h"

constexpr int PLAT_MAX_PADS = 8;
constexpr int PLAT_KEY_COUNT = 256;

// One pad as the library sees it. Sticks are -1000 (left/up) to 1000
// (right/down); hat bits use the pad-bit directions (1 down, 2 left, 4 right,
// 8 up); button bit k is button k + 1 in DirectInput order (for game
// controllers A, B, X, Y, left shoulder, right shoulder, back, start, left
// stick, right stick, then the guide button).
struct PlatPadState {
  int32_t X, Y;
  uint32_t HatBits;
  uint32_t Buttons;
  int32_t HasRumble;  // 1 when the device can rumble
};

// Starts keeping input state and has the window back end open the pads
// already connected. 0, or -1 on failure (a bad input script).
int PlatInputOpen();
// Closes every pad and stops keeping state.
void PlatInputClose();

// 1 or 0 per key code: the keys the keyboard holds down now. A key pressed
// and released since the last pump that no read has seen yet still reads as
// down, until PlatKeyboardPumpDone after a read that saw it.
void PlatReadKeyboard(uint8_t states[PLAT_KEY_COUNT]);
// Called once per message pump: applies the releases held back above.
void PlatKeyboardPumpDone();
// Forgets every held key (the keyboard was released; a key still held must be
// pressed again to be seen).
void PlatResetKeyboard();

// Pad slots run 0 to PLAT_MAX_PADS - 1 and keep their place while other pads
// come and go; the count is one past the highest slot in use.
int PlatPadCount();
// 0 and the state of the pad in `slot`, or -1 when the slot is empty.
int PlatReadPad(int slot, PlatPadState* out);
// Rumbles the pad: strength 0 to 65535 for `durationMs` (0 stops it).
// 0, or -1 when the pad is absent or cannot rumble.
int PlatPadRumble(int slot, int strength, uint32_t durationMs);

// Mouse buttons held now: bit 0 left, 1 right, 2 middle, then the others.
uint32_t PlatReadMouseButtons();

// Scripted input: a script of timed key presses that replays into the
// keyboard state. Lines are "<milliseconds> down <key>", "<ms> up <key>" or
// "<ms> tap <key>" (down, and up 80 ms later); times count from the moment
// the script is loaded; <key> is a key code or a name such as Z, ESCAPE,
// SPACE, UP. '#' starts a comment. Returns 0, or -1 for a bad script (nothing
// is loaded then). PlatInputOpen loads the script named by the environment
// variable VX_INPUT_SCRIPT when it is set (the end-to-end test drives the
// program that way).
int PlatInputLoadScript(const char* text);
// Presses (down 1) or releases a key at once, as the keyboard would.
void PlatInputScriptKey(int keyCode, int down);
