// Pads: pad bits, the keyboard-as-pad map and vibration.
#include "input/input_state.h"
#include "input/keycodes.h"
#include "platform/clock.h"
#include "platform/input.h"

namespace {

// A stick pushed past half its travel counts as a direction.
constexpr int kStickThreshold = 500;
// Button k (from 0) is pad bit 16 << k; 28 buttons fill the word.
constexpr int kMaxButtons = 28;
// SDL keeps a rumble up to about a minute; longer ones are renewed.
constexpr uint32_t kRumbleChunkMs = 60000;

struct KeyPadBit {
  uint8_t KeyCode;
  int32_t Bit;
};

// The keyboard as a pad: arrows and the numeric pad steer; Z, X, C, A, S, D,
// Q, W, Escape and Space are buttons 1 to 10.
constexpr KeyPadBit kKeyboardPad[] = {
    {KEYCODE_DOWN, 1},         {KEYCODE_NUMPAD2, 1},     {KEYCODE_LEFT, 2},    {KEYCODE_NUMPAD4, 2},
    {KEYCODE_RIGHT, 4},        {KEYCODE_NUMPAD6, 4},     {KEYCODE_UP, 8},      {KEYCODE_NUMPAD8, 8},
    {KEYCODE_Z, 16 << 0},      {KEYCODE_X, 16 << 1},     {KEYCODE_C, 16 << 2}, {KEYCODE_A, 16 << 3},
    {KEYCODE_S, 16 << 4},      {KEYCODE_D, 16 << 5},     {KEYCODE_Q, 16 << 6}, {KEYCODE_W, 16 << 7},
    {KEYCODE_ESCAPE, 16 << 8}, {KEYCODE_SPACE, 16 << 9},
};

int KeyboardPadBits() {
  uint8_t keys[PLAT_KEY_COUNT];
  PlatReadKeyboard(keys);
  int bits = 0;
  for (const KeyPadBit& k : kKeyboardPad) {
    if (keys[k.KeyCode]) bits |= k.Bit;
  }
  return bits;
}

int DevicePadBits(int slot) {
  PlatPadState s{};
  if (PlatReadPad(slot, &s) != 0) return 0;
  int bits = static_cast<int>(s.HatBits & 0xF);
  if (s.Y > kStickThreshold) bits |= 1;
  if (s.X < -kStickThreshold) bits |= 2;
  if (s.X > kStickThreshold) bits |= 4;
  if (s.Y < -kStickThreshold) bits |= 8;
  uint32_t buttons = s.Buttons & ((1u << kMaxButtons) - 1);
  bits |= static_cast<int>(buttons << 4);
  return bits;
}

int Strength(int power) { return power * 65535 / 1000; }

uint32_t RumbleDuration(const PadVibrationRecord& v, uint32_t now) {
  if (v.TimeMs < 0) return kRumbleChunkMs;
  uint32_t elapsed = now - v.StartTime;
  uint32_t left = static_cast<uint32_t>(v.TimeMs) > elapsed ? static_cast<uint32_t>(v.TimeMs) - elapsed : 0;
  return left < kRumbleChunkMs ? left : kRumbleChunkMs;
}

int ValidPad(int pad) { return pad >= 1 && pad <= INPUT_MAX_PADS; }

}  // namespace

int GetJoypadCountImpl() {
  if (!InputState.Initialised) return 0;
  return PlatPadCount();
}

int GetJoypadBitsImpl(int pad) {
  if (!InputState.Initialised || !InputState.Acquired) return 0;
  int bits = 0;
  int number = pad & 0xFFF;
  if (pad & 0x1000) bits |= KeyboardPadBits();
  if (ValidPad(number)) bits |= DevicePadBits(number - 1);
  return bits;
}

int StartJoypadVibrationImpl(int pad, int power, int timeMs) {
  if (!InputState.Initialised || !ValidPad(pad & 0xFFF)) return -1;
  PadVibrationRecord& v = InputState.Vibration[(pad & 0xFFF) - 1];
  if (power < 0) power = 0;
  if (power > 1000) power = 1000;
  v.Requested = power > 0 && timeMs != 0 ? 1 : 0;
  v.Power = power;
  v.TimeMs = timeMs < 0 ? -1 : timeMs;
  v.StartTime = PlatGetMilliseconds();
  // A new power must reach a pad that is rumbling already.
  if (v.Playing) {
    PlatPadRumble((pad & 0xFFF) - 1, 0, 0);
    v.Playing = 0;
  }
  return ApplyPadVibration();
}

int StopJoypadVibrationImpl(int pad) {
  if (!InputState.Initialised || !ValidPad(pad & 0xFFF)) return -1;
  InputState.Vibration[(pad & 0xFFF) - 1].Requested = 0;
  return ApplyPadVibration();
}

int ApplyPadVibration() {
  if (!InputState.Initialised) return 0;
  uint32_t now = PlatGetMilliseconds();
  int active = InputWindowIsActive() ? 1 : 0;
  for (int i = 0; i < INPUT_MAX_PADS; ++i) {
    PadVibrationRecord& v = InputState.Vibration[i];
    int want = active && v.Requested;
    if (want && !v.Playing) {
      if (PlatPadRumble(i, Strength(v.Power), RumbleDuration(v, now)) == 0) {
        v.Playing = 1;
        v.IssuedAt = now;
      }
    } else if (!want && v.Playing) {
      PlatPadRumble(i, 0, 0);
      v.Playing = 0;
    }
  }
  return 0;
}

int UpdatePadVibrationTimers() {
  if (!InputState.Initialised) return 0;
  // This is the input service that runs on every pump: key taps held back
  // for the frame that saw them are let go here too.
  PlatKeyboardPumpDone();
  uint32_t now = PlatGetMilliseconds();
  for (int i = 0; i < INPUT_MAX_PADS; ++i) {
    PadVibrationRecord& v = InputState.Vibration[i];
    if (!v.Requested) continue;
    if (v.TimeMs >= 0 && now - v.StartTime >= static_cast<uint32_t>(v.TimeMs)) {
      v.Requested = 0;
      if (v.Playing) {
        PlatPadRumble(i, 0, 0);
        v.Playing = 0;
      }
    } else if (v.Playing && now - v.IssuedAt >= kRumbleChunkMs - 1000) {
      // Renew a long rumble before the device lets it lapse.
      if (PlatPadRumble(i, Strength(v.Power), RumbleDuration(v, now)) == 0) v.IssuedAt = now;
    }
  }
  return 0;
}
