// Start and end of input, acquisition, and the keyboard reads.
#include <cstring>

#include "core/log.h"
#include "input/input_state.h"
#include "platform/input.h"

int InitInput() {
  if (InputState.Initialised) return 0;
  LogWrite("入力関係の初期化をします\n");
  LogIndentIncrease();
  if (PlatInputOpen() != 0) {
    LogWrite("入力デバイスの初期化に失敗しました\n");
    LogIndentDecrease();
    return -1;
  }
  std::memset(InputState.Vibration, 0, sizeof InputState.Vibration);
  InputState.Initialised = 1;
  InputState.Acquired = InputWindowIsActive() ? 1 : 0;
  if (InputState.DoubleByteTextFlag == 0) UpdateDoubleByteTextFlag();
  LogPrintf("パッドの数は %d 個です", PlatPadCount());
  LogIndentDecrease();
  LogWrite("入力関係の初期化は正常に終了しました\n");
  return 0;
}

int TermInput() {
  if (!InputState.Initialised) return 0;
  for (int i = 0; i < INPUT_MAX_PADS; ++i) {
    if (InputState.Vibration[i].Playing) PlatPadRumble(i, 0, 0);
    InputState.Vibration[i] = PadVibrationRecord{};
  }
  PlatInputClose();
  InputState.Initialised = 0;
  InputState.Acquired = 0;
  LogWrite("入力関係の終了処理は正常に終了しました\n");
  return 0;
}

int RefreshInputAcquire() {
  if (!InputState.Initialised) return 0;
  int active = InputWindowIsActive() ? 1 : 0;
  if (active == InputState.Acquired) return 0;
  // A released keyboard forgets what it held: a key still down on return
  // must be pressed again, as with a device that was unacquired.
  PlatResetKeyboard();
  InputState.Acquired = active;
  return 0;
}

int IsKeyDownImpl(int keyCode) {
  if (!InputState.Initialised || !InputState.Acquired) return 0;
  if (keyCode < 0 || keyCode >= PLAT_KEY_COUNT) return 0;
  uint8_t keys[PLAT_KEY_COUNT];
  PlatReadKeyboard(keys);
  return keys[keyCode] ? 1 : 0;
}

int GetAllKeyStatesImpl(char* states) {
  if (states == nullptr) return -1;
  uint8_t keys[PLAT_KEY_COUNT];
  if (InputState.Initialised && InputState.Acquired) {
    PlatReadKeyboard(keys);
  } else {
    std::memset(keys, 0, sizeof keys);
  }
  for (int i = 0; i < PLAT_KEY_COUNT; ++i) states[i] = keys[i] ? 1 : 0;
  return 0;
}

int GetAnyInputDownImpl(int flags) {
  if (!InputState.Initialised || !InputState.Acquired) return 0;
  if (flags & 1) {
    uint8_t keys[PLAT_KEY_COUNT];
    PlatReadKeyboard(keys);
    for (int i = 1; i < PLAT_KEY_COUNT; ++i) {
      if (keys[i]) return i;
    }
  }
  if (flags & 2) {
    int count = GetJoypadCountImpl();
    for (int pad = 1; pad <= count; ++pad) {
      if (GetJoypadBitsImpl(pad) != 0) return -1;
    }
  }
  if ((flags & 4) && PlatReadMouseButtons() != 0) return -1;
  return 0;
}
