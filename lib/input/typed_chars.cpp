// The typed-character buffer: a ring of bytes filled by the window's key and
// character messages and read by text input.
#include <cstring>

#include "input/input_state.h"

int InitCharCodeBuffer() {
  std::memset(InputState.TypedChars, 0, sizeof InputState.TypedChars);
  InputState.TypedRead = 0;
  InputState.TypedWrite = 0;
  return 0;
}

int EndCharCodeBuffer() {
  // No text-input handle or candidate list exists on this platform; what is
  // left to end is the buffer itself and a pending IME request.
  InputState.ImeRestoreRequest = 0;
  return InitCharCodeBuffer();
}

int IsTypedCharBufferFull() {
  int r = InputState.TypedRead, w = InputState.TypedWrite;
  return (w + 1 == r || (r == 0 && w == TYPED_CHAR_BUFFER_SIZE)) ? 1 : 0;
}

int PushTypedChar(unsigned char code) {
  if (IsTypedCharBufferFull()) return -1;
  InputState.TypedChars[InputState.TypedWrite] = code;
  InputState.TypedWrite = InputState.TypedWrite == TYPED_CHAR_BUFFER_SIZE ? 0 : InputState.TypedWrite + 1;
  return 0;
}

int PopTypedChar() {
  if (InputState.TypedRead == InputState.TypedWrite) return 0;
  int code = InputState.TypedChars[InputState.TypedRead];
  InputState.TypedRead = InputState.TypedRead == TYPED_CHAR_BUFFER_SIZE ? 0 : InputState.TypedRead + 1;
  return code;
}
