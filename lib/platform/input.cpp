// Keyboard, pads and mouse buttons: the state the devices report, kept from
// the native events the window back end delivers (PlatInputTakeEvent is the
// one place that turns them into state).
#include "platform/input.h"

#include <cstring>

#include "platform/input_internal.h"
#include "platform/keymap.h"

namespace {

// Stick travel beyond which the -32768..32767 range reads as full scale.
constexpr int kAxisMax = 32767;

struct PadSlot {
  int InUse;
  int Id;  // the back end's id for the pad
  PlatPadState State;
};

struct InputPlatformState {
  int Open;
  uint8_t Keys[PLAT_KEY_COUNT];
  // A key released before any read saw it down stays down until a pump
  // after such a read: the game reads keys once a frame, and a tap that
  // began and ended between two frames would otherwise never be seen.
  uint8_t Seen[PLAT_KEY_COUNT];
  uint8_t ReleasePending[PLAT_KEY_COUNT];
  uint32_t MouseButtons;
  PadSlot Pads[PLAT_MAX_PADS];
};

InputPlatformState g_input;

int FindPad(int id) {
  for (int i = 0; i < PLAT_MAX_PADS; ++i) {
    if (g_input.Pads[i].InUse && g_input.Pads[i].Id == id) return i;
  }
  return -1;
}

int FreeSlot() {
  for (int i = 0; i < PLAT_MAX_PADS; ++i) {
    if (!g_input.Pads[i].InUse) return i;
  }
  return -1;
}

int ScaleAxis(int value) {
  value = value < -kAxisMax - 1 ? -kAxisMax - 1 : (value > kAxisMax ? kAxisMax : value);
  int v = value * 1000 / kAxisMax;
  return v < -1000 ? -1000 : (v > 1000 ? 1000 : v);
}

void SetBit(uint32_t* word, uint32_t bit, int on) {
  if (on) {
    *word |= bit;
  } else {
    *word &= ~bit;
  }
}

void ClearKeys() {
  std::memset(g_input.Keys, 0, sizeof g_input.Keys);
  std::memset(g_input.ReleasePending, 0, sizeof g_input.ReleasePending);
}

void KeyChange(int code, int down) {
  if (down) {
    g_input.Keys[code] = 1;
    g_input.Seen[code] = 0;
    g_input.ReleasePending[code] = 0;
  } else if (g_input.Keys[code] && !g_input.Seen[code]) {
    g_input.ReleasePending[code] = 1;
  } else {
    g_input.Keys[code] = 0;
    g_input.ReleasePending[code] = 0;
  }
}

void AddPad(int id, int canRumble) {
  if (FindPad(id) >= 0) return;
  int slot = FreeSlot();
  if (slot < 0) return;
  PadSlot& p = g_input.Pads[slot];
  p = PadSlot{};
  p.InUse = 1;
  p.Id = id;
  p.State.HasRumble = canRumble ? 1 : 0;
}

// The state of the pad an event names, or null for a pad not in a slot.
PlatPadState* PadOf(const PlatNativeEvent& e) {
  int slot = FindPad(e.A);
  return slot < 0 ? nullptr : &g_input.Pads[slot].State;
}

void ResetState() {
  ClearKeys();
  g_input.MouseButtons = 0;
  for (PadSlot& p : g_input.Pads) p = PadSlot{};
}

}  // namespace

void PlatInputTakeEvent(const PlatNativeEvent& e) {
  if (!g_input.Open) return;
  using K = PlatNativeEventKind;
  switch (e.Kind) {
    case K::KeyDown:
    case K::KeyUp:
      // Typed characters reach the typed-character buffer through the
      // window's key and character messages, not from here.
      if (e.X > 0 && e.X < PLAT_KEY_COUNT && !(e.Kind == K::KeyDown && e.B))
        KeyChange(e.X, e.Kind == K::KeyDown);
      break;
    case K::MouseButtonDown:
    case K::MouseButtonUp:
      if (e.A >= 0 && e.A < 32) SetBit(&g_input.MouseButtons, 1u << e.A, e.Kind == K::MouseButtonDown);
      break;
    case K::FocusLost:
      // Key releases are no longer reported once focus is gone.
      ClearKeys();
      g_input.MouseButtons = 0;
      break;
    case K::PadAdded:
      AddPad(e.A, e.B);
      break;
    case K::PadRemoved: {
      int slot = FindPad(e.A);
      if (slot >= 0) g_input.Pads[slot] = PadSlot{};
      break;
    }
    case K::PadAxis:
      if (PlatPadState* s = PadOf(e)) {
        if (e.B == 0) s->X = ScaleAxis(e.X);
        if (e.B == 1) s->Y = ScaleAxis(e.X);
      }
      break;
    case K::PadButton:
      if (PlatPadState* s = PadOf(e); s && e.B >= 0 && e.B < 32) SetBit(&s->Buttons, 1u << e.B, e.X);
      break;
    case K::PadHat:
      if (PlatPadState* s = PadOf(e)) s->HatBits = uint32_t(e.B) & 15u;
      break;
    default:
      break;
  }
}

int PlatInputOpen() {
  if (g_input.Open) return 0;
  ResetState();
  g_input.Open = 1;
  // Pads are optional: without them the keyboard still works.
  PlatActiveWindowBackend()->OpenPads();
  PlatInputClearScript();
  if (PlatInputLoadScriptFromEnvironment() != 0) {
    PlatInputClose();
    return -1;
  }
  return 0;
}

void PlatInputClose() {
  if (!g_input.Open) return;
  PlatActiveWindowBackend()->ClosePads();
  ResetState();
  PlatInputClearScript();
  g_input.Open = 0;
}

void PlatReadKeyboard(uint8_t states[PLAT_KEY_COUNT]) {
  PlatInputApplyScript(PlatDeliverNativeEvent);
  std::memcpy(states, g_input.Keys, PLAT_KEY_COUNT);
  for (int i = 0; i < PLAT_KEY_COUNT; ++i) g_input.Seen[i] |= g_input.Keys[i];
}

void PlatKeyboardPumpDone() {
  for (int i = 0; i < PLAT_KEY_COUNT; ++i) {
    if (g_input.ReleasePending[i] && g_input.Seen[i]) {
      g_input.Keys[i] = 0;
      g_input.ReleasePending[i] = 0;
    }
  }
}

void PlatResetKeyboard() {
  PlatInputApplyScript(PlatDeliverNativeEvent);
  ClearKeys();
}

int PlatPadCount() {
  for (int i = PLAT_MAX_PADS - 1; i >= 0; --i) {
    if (g_input.Pads[i].InUse) return i + 1;
  }
  return 0;
}

int PlatReadPad(int slot, PlatPadState* out) {
  if (slot < 0 || slot >= PLAT_MAX_PADS || out == nullptr || !g_input.Pads[slot].InUse) return -1;
  *out = g_input.Pads[slot].State;
  return 0;
}

int PlatPadRumble(int slot, int strength, uint32_t durationMs) {
  if (slot < 0 || slot >= PLAT_MAX_PADS || !g_input.Pads[slot].InUse) return -1;
  const PadSlot& p = g_input.Pads[slot];
  if (!p.State.HasRumble) return -1;
  int s = strength < 0 ? 0 : (strength > 65535 ? 65535 : strength);
  return PlatActiveWindowBackend()->PadRumble(p.Id, s, durationMs) == 0 ? 0 : -1;
}

uint32_t PlatReadMouseButtons() { return g_input.MouseButtons; }

void PlatInputScriptKey(int keyCode, int down) {
  if (keyCode <= 0 || keyCode >= PLAT_KEY_COUNT) return;
  PlatDeliverNativeEvent(PlatKeyEventOf(keyCode, down));
}
