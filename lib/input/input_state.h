// The input subsystem's state block.
#pragma once
#include <cstdint>

#include "input/input.h"

constexpr int INPUT_MAX_PADS = 8;
// One slot more than the buffer holds: the read and write indices run 0 to
// 1,024 and the buffer is full when the write index stands just behind the
// read index, so 1,024 bytes fit and a full buffer never reads as empty.
constexpr int TYPED_CHAR_SLOTS = TYPED_CHAR_BUFFER_SIZE + 1;

struct PadVibrationRecord {
  int32_t Requested;   // 1 from a start until it is stopped or its time is up
  int32_t Power;       // 0 to 1000
  int32_t TimeMs;      // -1 until stopped
  uint32_t StartTime;  // millisecond clock at the start
  int32_t Playing;     // 1 while the device was told to rumble
  uint32_t IssuedAt;   // millisecond clock of the last rumble command
};

struct InputStateBlock {
  int32_t Initialised;
  int32_t Acquired;  // 1 while the window is active and devices are read
  PadVibrationRecord Vibration[INPUT_MAX_PADS];

  uint8_t TypedChars[TYPED_CHAR_SLOTS];
  int32_t TypedRead;   // next byte to read
  int32_t TypedWrite;  // next place to write

  int32_t ImeEnabled;  // text input may use the IME
  int32_t ImeOpen;     // the IME was open when last seen
  int32_t ImeRestoreRequest;
  int32_t F10Held;
  int32_t DoubleByteTextFlag;  // 2 on the Korean code page, else 1
};

extern InputStateBlock InputState;

// 1 while the main window is active (asks the window, or the test's query).
int InputWindowIsActive();
// Test seam: answers "is the window active" in place of the window; null
// restores the window's answer.
using InputActiveQuery = int (*)();
void SetInputActiveQuery(InputActiveQuery query);
