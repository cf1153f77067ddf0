#include "controller.h"

#include <cstddef>

#include "board.h"
#include "game_calls.h"
#include "piece.h"

namespace {

constexpr int kPadDown = 1;
constexpr int kPadLeft = 2;
constexpr int kPadRight = 4;
constexpr int kPadUp = 8;
constexpr int kPadButton1 = 16;
constexpr int kPadButton2 = 32;
constexpr int kPadButton3 = 64;
constexpr int kPadButton4 = 128;
constexpr int kPadButton9 = 4096;
constexpr int8_t kCounterMax = 100;

struct KeyMapping {
  int keyCode;
  int padBits;
};

// In play, button 2 or 4 turns clockwise and button 1 or 3 counter-clockwise.
constexpr KeyMapping kPlayMapping[] = {
    {KEYCODE_LEFT, kPadLeft},
    {KEYCODE_RIGHT, kPadRight},
    {KEYCODE_UP, kPadUp},
    {KEYCODE_Z, kPadButton2 | kPadButton4},
    {KEYCODE_X, kPadButton1 | kPadButton3},
    {KEYCODE_DOWN, kPadDown},
    {KEYCODE_SPACE, kPadButton9},
};

// In the menus, button 1 or 4 confirms.
constexpr KeyMapping kMenuMapping[] = {
    {KEYCODE_LEFT, kPadLeft},
    {KEYCODE_RIGHT, kPadRight},
    {KEYCODE_UP, kPadUp},
    {KEYCODE_Z, kPadButton1 | kPadButton4},
    {KEYCODE_X, kPadButton2 | kPadButton3},
    {KEYCODE_DOWN, kPadDown},
};

void ClampCounters(KeyCounters counters) {
  for (int k = 0; k < 256; ++k) {
    if (counters[k] > kCounterMax) counters[k] = kCounterMax;
  }
}

template <std::size_t N>
void UpdateCounters(KeyCounters counters, int pad, const KeyMapping (&mapping)[N]) {
  int bits = g_calls.GetJoypadBits(pad);
  if (bits < 0) bits = 0;  // a failed read is no input, not every button at once
  char keys[256] = {};
  g_calls.GetAllKeyStates(keys);
  for (const KeyMapping& m : mapping) {
    const bool active = (bits & m.padBits) != 0 || keys[m.keyCode] == 1;
    // A held key stays at 100 after the clamp, so the increment never overflows.
    counters[m.keyCode] = active ? static_cast<int8_t>(counters[m.keyCode] + 1) : 0;
  }
  ClampCounters(counters);
}

}  // namespace

void Controller::Init(const Board& board) {
  Release();
  width = board.width;
  surface = new int32_t[width > 0 ? width : 1]();
}

void Controller::Release() {
  delete[] surface;
  surface = nullptr;
}

void Controller::ReadHuman(int pad) { UpdateCounters(counters, pad, kPlayMapping); }

void ControllerReadMenu(KeyCounters menu) { UpdateCounters(menu, 1, kMenuMapping); }

void Controller::RunComputer(Board& board, Piece& piece) {
  AiThink(*this, board, piece, keyOutputs);
  for (int k = 0; k < 256; ++k) {
    if (keyOutputs[k] == 1) {
      counters[k] = static_cast<int8_t>(counters[k] + 1);
    } else if (keyOutputs[k] == 0) {
      counters[k] = 0;
    }
  }
  ClampCounters(counters);
}
