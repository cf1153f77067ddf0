// Input: keyboard, pads and typed characters.
//
// Key states are indexed by DirectInput key codes (1 Escape, 44 Z, 57 Space,
// 200 Up, 203 Left, 205 Right, 208 Down, ...). Pad bits: 1 down, 2 left,
// 4 right, 8 up, then one bit per button from 16 upward (button 1 is 16,
// button 9 is 4096). While the main window is inactive the devices are
// released and every read answers "nothing down".
#pragma once
#include <cstdint>

// Starts keyboard, mouse and pads; 0, or -1 when input cannot start.
int InitInput();
// Releases pads, keyboard and mouse.
int TermInput();

// 1 while the key is down, else 0 (also for codes outside 0-255).
int IsKeyDownImpl(int keyCode);
// flags: 1 keyboard, 2 pads, 4 mouse. The first key code down, -1 for pad or
// mouse input, 0 when nothing is down.
int GetAnyInputDownImpl(int flags);
// Fills 256 bytes, 1 or 0 per key code; 0 (-1 for a null array).
int GetAllKeyStatesImpl(char* states);
// Number of pads (pad numbers run from 1 to this count).
int GetJoypadCountImpl();
// Pad bits of pad `pad` (1 to 8); 0x1000 added joins the keyboard map, and
// 0x1000 alone reads the keyboard only.
int GetJoypadBitsImpl(int pad);

// Pad vibration: power 0 to 1000, time in milliseconds (-1 until stopped).
int StartJoypadVibrationImpl(int pad, int power, int timeMs);
int StopJoypadVibrationImpl(int pad);
// Starts or stops each pad's rumble to match its request; all stop while the
// window is inactive. Called after every activation change.
int ApplyPadVibration();
// Stops vibrations whose time is up, and lets go of key taps that the last
// frame has seen; called on every pump.
int UpdatePadVibrationTimers();
// Acquires or releases the devices to match the window's active flag.
int RefreshInputAcquire();

// Typed-character buffer: 1,024 bytes of typed text and control codes.
constexpr int TYPED_CHAR_BUFFER_SIZE = 1024;
// Empties the buffer.
int InitCharCodeBuffer();
// Empties the buffer and deletes every text input and the candidate list.
int EndCharCodeBuffer();
// 1 when the buffer cannot take another byte.
int IsTypedCharBufferFull();
// Appends one byte; 0, or -1 when the buffer is full.
int PushTypedChar(unsigned char code);
// Takes the oldest byte out of the buffer; 0 when it is empty.
int PopTypedChar();

// Text input and IME. This system keeps no text-input handles, so editing
// only consumes a pending IME-restore request.
int EditActiveTextInput();
// The window procedure's handling of the IME messages; returns its result.
intptr_t HandleImeMessage(void* window, uint32_t message, uintptr_t first, intptr_t second);
// flag 1 lets text input use the IME.
int SetImeEnabled(int flag);
// Activation asks for the IME state to be restored when the IME is enabled
// and was open.
int RequestImeRestoreOnActivate();

// The F10-held flag (F10 opens the system menu on the platform's behalf).
int SetF10HeldFlag();
int ClearF10HeldFlag();
int GetF10HeldFlag();

// Double-byte text flag: 2 for the Korean code page (949), else 1. Set from
// the code page in use by the main window's start.
int UpdateDoubleByteTextFlag();
int GetDoubleByteTextFlag();
