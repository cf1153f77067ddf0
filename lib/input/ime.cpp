// Text input's IME side, the F10 flag and the double-byte text flag. No input
// method talks to this window on this platform: the handler keeps the
// open-state bookkeeping the window procedure relies on and answers 0.
#include "input/input_state.h"

namespace {

constexpr uint32_t kWmImeStartComposition = 0x10D;
constexpr uint32_t kWmImeEndComposition = 0x10E;
constexpr uint32_t kWmImeNotify = 0x282;
constexpr uintptr_t kImnSetOpenStatus = 0x0008;

}  // namespace

int EditActiveTextInput() {
  // The restore asked for at activation is consumed here; with no text input
  // active there is nothing to edit and typed bytes wait in the buffer.
  InputState.ImeRestoreRequest = 0;
  return 0;
}

intptr_t HandleImeMessage(void* window, uint32_t message, uintptr_t first, intptr_t second) {
  (void)window;
  (void)second;
  switch (message) {
    case kWmImeStartComposition:
      InputState.ImeOpen = 1;
      break;
    case kWmImeEndComposition:
      break;
    case kWmImeNotify:
      if (first == kImnSetOpenStatus) InputState.ImeOpen = InputState.ImeEnabled;
      break;
    default:
      break;
  }
  return 0;
}

int SetImeEnabled(int flag) {
  InputState.ImeEnabled = flag ? 1 : 0;
  if (!InputState.ImeEnabled) InputState.ImeOpen = 0;
  return 0;
}

int RequestImeRestoreOnActivate() {
  if (InputState.ImeEnabled && InputState.ImeOpen) InputState.ImeRestoreRequest = 1;
  return 0;
}

int SetF10HeldFlag() {
  InputState.F10Held = 1;
  return 0;
}

int ClearF10HeldFlag() {
  InputState.F10Held = 0;
  return 0;
}

int GetF10HeldFlag() { return InputState.F10Held; }

int UpdateDoubleByteTextFlag() {
  // Text is code page 932 here; only the Korean code page (949) makes it 2.
  constexpr int kCodePage = 932;
  InputState.DoubleByteTextFlag = kCodePage == 949 ? 2 : 1;
  return 0;
}

int GetDoubleByteTextFlag() { return InputState.DoubleByteTextFlag; }
