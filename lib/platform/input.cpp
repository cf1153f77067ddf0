// Keyboard and pads over SDL2. Every SDL event that concerns input goes
// through TranslateInputEvent, the one place that turns it into state.
#include <SDL.h>

#include <cstring>

#include "platform/input.h"
#include "platform/input_internal.h"
#include "platform/input_testing.h"
#include "platform/window.h"

namespace {

// Stick travel beyond which SDL's -32768..32767 range reads as full scale.
constexpr int kAxisMax = 32767;

struct PadSlot {
  int InUse;
  int Fake;              // a test pad without a device
  int Controller;        // 1 game controller, 0 plain joystick
  SDL_JoystickID Instance;
  SDL_GameController* GameController;
  SDL_Joystick* Joystick;
  PlatPadState State;
  int LastRumbleStrength;  // fake pads: the last rumble asked of them
  uint32_t LastRumbleMs;
  int RumbleAsked;
};

struct InputPlatformState {
  int Open;
  int PadSubsystem;        // 1 when SDL's game-controller subsystem was started here
  uint8_t Keys[PLAT_KEY_COUNT];
  // A key released before any read saw it down stays down until a pump
  // after such a read: the game reads keys once a frame, and a tap that
  // began and ended between two frames would otherwise never be seen.
  uint8_t Seen[PLAT_KEY_COUNT];
  uint8_t ReleasePending[PLAT_KEY_COUNT];
  uint32_t MouseButtons;
  PadSlot Pads[PLAT_MAX_PADS];
  SDL_JoystickID NextFakeInstance;
};

InputPlatformState gInput;

int FindPad(SDL_JoystickID instance) {
  for (int i = 0; i < PLAT_MAX_PADS; ++i) {
    if (gInput.Pads[i].InUse && gInput.Pads[i].Instance == instance) return i;
  }
  return -1;
}

int FreeSlot() {
  for (int i = 0; i < PLAT_MAX_PADS; ++i) {
    if (!gInput.Pads[i].InUse) return i;
  }
  return -1;
}

int ScaleAxis(int value) {
  int v = value * 1000 / kAxisMax;
  return v < -1000 ? -1000 : (v > 1000 ? 1000 : v);
}

// DirectInput button order of a game controller's buttons (-1: no button).
int ControllerButtonIndex(int sdlButton) {
  switch (sdlButton) {
    case SDL_CONTROLLER_BUTTON_A: return 0;
    case SDL_CONTROLLER_BUTTON_B: return 1;
    case SDL_CONTROLLER_BUTTON_X: return 2;
    case SDL_CONTROLLER_BUTTON_Y: return 3;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return 4;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return 5;
    case SDL_CONTROLLER_BUTTON_BACK: return 6;
    case SDL_CONTROLLER_BUTTON_START: return 7;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: return 8;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return 9;
    case SDL_CONTROLLER_BUTTON_GUIDE: return 10;
    default: return -1;
  }
}

uint32_t DpadBit(int sdlButton) {
  switch (sdlButton) {
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return 1;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return 2;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return 4;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return 8;
    default: return 0;
  }
}

uint32_t HatBits(int sdlHat) {
  uint32_t bits = 0;
  if (sdlHat & SDL_HAT_DOWN) bits |= 1;
  if (sdlHat & SDL_HAT_LEFT) bits |= 2;
  if (sdlHat & SDL_HAT_RIGHT) bits |= 4;
  if (sdlHat & SDL_HAT_UP) bits |= 8;
  return bits;
}

void SetBit(uint32_t* word, uint32_t bit, int on) {
  if (on) {
    *word |= bit;
  } else {
    *word &= ~bit;
  }
}

void ClosePad(int slot) {
  PadSlot& p = gInput.Pads[slot];
  if (p.GameController != nullptr) SDL_GameControllerClose(p.GameController);
  if (p.Joystick != nullptr) SDL_JoystickClose(p.Joystick);
  p = PadSlot{};
}

// Opens the device at `deviceIndex` into the first free slot, unless it is
// open already or every slot is taken.
void OpenPad(int deviceIndex) {
  SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
  if (instance < 0 || FindPad(instance) >= 0) return;
  int slot = FreeSlot();
  if (slot < 0) return;
  PadSlot p{};
  if (SDL_IsGameController(deviceIndex)) {
    p.GameController = SDL_GameControllerOpen(deviceIndex);
    if (p.GameController == nullptr) return;
    p.Controller = 1;
    p.State.HasRumble = SDL_GameControllerHasRumble(p.GameController) ? 1 : 0;
  } else {
    p.Joystick = SDL_JoystickOpen(deviceIndex);
    if (p.Joystick == nullptr) return;
    p.State.HasRumble = SDL_JoystickHasRumble(p.Joystick) ? 1 : 0;
  }
  p.InUse = 1;
  p.Instance = instance;
  gInput.Pads[slot] = p;
}

void ClearKeys() {
  std::memset(gInput.Keys, 0, sizeof gInput.Keys);
  std::memset(gInput.ReleasePending, 0, sizeof gInput.ReleasePending);
}

void KeyChange(int code, int down) {
  if (down) {
    gInput.Keys[code] = 1;
    gInput.Seen[code] = 0;
    gInput.ReleasePending[code] = 0;
  } else if (gInput.Keys[code] && !gInput.Seen[code]) {
    gInput.ReleasePending[code] = 1;
  } else {
    gInput.Keys[code] = 0;
    gInput.ReleasePending[code] = 0;
  }
}

// Mouse buttons in the platform's usual order: left, right, middle, ...
int MouseButtonIndex(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
  }
}

void TranslateInputEvent(const SDL_Event* e) {
  switch (e->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      int code = PlatKeyCodeFromScancode(e->key.keysym.scancode);
      int down = e->type == SDL_KEYDOWN;
      // Typed characters reach the typed-character buffer through the
      // window's key and character messages, not from here.
      if (code != 0 && !e->key.repeat) KeyChange(code, down);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int index = MouseButtonIndex(e->button.button);
      if (index >= 0) SetBit(&gInput.MouseButtons, 1u << index, e->type == SDL_MOUSEBUTTONDOWN);
      break;
    }
    case SDL_WINDOWEVENT:
      // SDL stops reporting key releases once focus is gone.
      if (e->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        ClearKeys();
        gInput.MouseButtons = 0;
      }
      break;
    case SDL_JOYDEVICEADDED:
      if (!SDL_IsGameController(e->jdevice.which)) OpenPad(e->jdevice.which);
      break;
    case SDL_CONTROLLERDEVICEADDED:
      OpenPad(e->cdevice.which);
      break;
    case SDL_JOYDEVICEREMOVED:
    case SDL_CONTROLLERDEVICEREMOVED: {
      SDL_JoystickID id = e->type == SDL_JOYDEVICEREMOVED ? e->jdevice.which : e->cdevice.which;
      int slot = FindPad(id);
      if (slot >= 0) ClosePad(slot);
      break;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      int slot = FindPad(e->cbutton.which);
      if (slot < 0 || !gInput.Pads[slot].Controller) break;
      PlatPadState& s = gInput.Pads[slot].State;
      int on = e->type == SDL_CONTROLLERBUTTONDOWN;
      uint32_t dpad = DpadBit(e->cbutton.button);
      if (dpad != 0) {
        SetBit(&s.HatBits, dpad, on);
      } else {
        int index = ControllerButtonIndex(e->cbutton.button);
        if (index >= 0) SetBit(&s.Buttons, 1u << index, on);
      }
      break;
    }
    case SDL_CONTROLLERAXISMOTION: {
      int slot = FindPad(e->caxis.which);
      if (slot < 0 || !gInput.Pads[slot].Controller) break;
      PlatPadState& s = gInput.Pads[slot].State;
      if (e->caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) s.X = ScaleAxis(e->caxis.value);
      if (e->caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) s.Y = ScaleAxis(e->caxis.value);
      // The triggers act as buttons 12 and 13 once pressed half way.
      if (e->caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT) SetBit(&s.Buttons, 1u << 11, e->caxis.value > kAxisMax / 2);
      if (e->caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT) SetBit(&s.Buttons, 1u << 12, e->caxis.value > kAxisMax / 2);
      break;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
      int slot = FindPad(e->jbutton.which);
      if (slot < 0 || gInput.Pads[slot].Controller || e->jbutton.button >= 32) break;
      SetBit(&gInput.Pads[slot].State.Buttons, 1u << e->jbutton.button, e->type == SDL_JOYBUTTONDOWN);
      break;
    }
    case SDL_JOYAXISMOTION: {
      int slot = FindPad(e->jaxis.which);
      if (slot < 0 || gInput.Pads[slot].Controller) break;
      if (e->jaxis.axis == 0) gInput.Pads[slot].State.X = ScaleAxis(e->jaxis.value);
      if (e->jaxis.axis == 1) gInput.Pads[slot].State.Y = ScaleAxis(e->jaxis.value);
      break;
    }
    case SDL_JOYHATMOTION: {
      int slot = FindPad(e->jhat.which);
      if (slot < 0 || gInput.Pads[slot].Controller || e->jhat.hat != 0) break;
      gInput.Pads[slot].State.HatBits = HatBits(e->jhat.value);
      break;
    }
    default:
      break;
  }
}

void ObserveEvent(const void* sdlEvent) {
  if (gInput.Open && sdlEvent != nullptr) TranslateInputEvent(static_cast<const SDL_Event*>(sdlEvent));
}

}  // namespace

int PlatInputOpen() {
  if (gInput.Open) return 0;
  ClearKeys();
  gInput.MouseButtons = 0;
  for (PadSlot& p : gInput.Pads) p = PadSlot{};
  // Pad state is kept from events; the library decides when to read it (not
  // while the window is inactive), so SDL must not drop events meanwhile, or
  // a button released in the background would stay held.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  // Pads are optional: without the subsystem the keyboard still works.
  gInput.PadSubsystem = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0 ? 1 : 0;
  if (gInput.PadSubsystem) {
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) OpenPad(i);
  }
  gInput.Open = 1;
  gInput.NextFakeInstance = 0x40000000;
  PlatAddEventObserver(ObserveEvent);
  PlatInputClearScript();
  if (PlatInputLoadScriptFromEnvironment() != 0) {
    PlatInputClose();
    return -1;
  }
  return 0;
}

void PlatInputClose() {
  if (!gInput.Open) return;
  PlatRemoveEventObserver(ObserveEvent);
  for (int i = 0; i < PLAT_MAX_PADS; ++i) {
    if (gInput.Pads[i].InUse) ClosePad(i);
  }
  if (gInput.PadSubsystem) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  gInput.PadSubsystem = 0;
  ClearKeys();
  PlatInputClearScript();
  gInput.Open = 0;
}

void PlatReadKeyboard(uint8_t states[PLAT_KEY_COUNT]) {
  PlatInputApplyScript(KeyChange);
  std::memcpy(states, gInput.Keys, PLAT_KEY_COUNT);
  for (int i = 0; i < PLAT_KEY_COUNT; ++i) gInput.Seen[i] |= gInput.Keys[i];
}

void PlatKeyboardPumpDone() {
  for (int i = 0; i < PLAT_KEY_COUNT; ++i) {
    if (gInput.ReleasePending[i] && gInput.Seen[i]) {
      gInput.Keys[i] = 0;
      gInput.ReleasePending[i] = 0;
    }
  }
}

void PlatResetKeyboard() {
  PlatInputApplyScript(KeyChange);
  ClearKeys();
}

int PlatPadCount() {
  for (int i = PLAT_MAX_PADS - 1; i >= 0; --i) {
    if (gInput.Pads[i].InUse) return i + 1;
  }
  return 0;
}

int PlatReadPad(int slot, PlatPadState* out) {
  if (slot < 0 || slot >= PLAT_MAX_PADS || out == nullptr || !gInput.Pads[slot].InUse) return -1;
  *out = gInput.Pads[slot].State;
  return 0;
}

int PlatPadRumble(int slot, int strength, uint32_t durationMs) {
  if (slot < 0 || slot >= PLAT_MAX_PADS || !gInput.Pads[slot].InUse) return -1;
  PadSlot& p = gInput.Pads[slot];
  if (!p.State.HasRumble) return -1;
  auto s = static_cast<Uint16>(strength < 0 ? 0 : (strength > 65535 ? 65535 : strength));
  if (p.Fake) {
    p.LastRumbleStrength = s;
    p.LastRumbleMs = durationMs;
    p.RumbleAsked = 1;
    return 0;
  }
  int r = p.GameController != nullptr ? SDL_GameControllerRumble(p.GameController, s, s, durationMs)
                                      : SDL_JoystickRumble(p.Joystick, s, s, durationMs);
  return r == 0 ? 0 : -1;
}

uint32_t PlatReadMouseButtons() { return gInput.MouseButtons; }

void PlatInputScriptKey(int keyCode, int down) {
  if (keyCode <= 0 || keyCode >= PLAT_KEY_COUNT) return;
  gInput.Keys[keyCode] = down ? 1 : 0;
  gInput.ReleasePending[keyCode] = 0;
}

// ---- test seams ------------------------------------------------------------

int PlatTestAttachFakePad(int controller) {
  int slot = FreeSlot();
  if (slot < 0) return -1;
  PadSlot p{};
  p.InUse = 1;
  p.Fake = 1;
  p.Controller = controller ? 1 : 0;
  p.Instance = gInput.NextFakeInstance++;
  p.State.HasRumble = 1;
  gInput.Pads[slot] = p;
  return p.Instance;
}

void PlatTestDetachPad(int instanceId) {
  SDL_Event e{};
  e.type = SDL_CONTROLLERDEVICEREMOVED;
  e.cdevice.which = instanceId;
  TranslateInputEvent(&e);
}

void PlatTestControllerButton(int instanceId, int sdlButton, int down) {
  SDL_Event e{};
  e.type = down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP;
  e.cbutton.which = instanceId;
  e.cbutton.button = static_cast<Uint8>(sdlButton);
  e.cbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
  TranslateInputEvent(&e);
}

void PlatTestControllerAxis(int instanceId, int sdlAxis, int value) {
  SDL_Event e{};
  e.type = SDL_CONTROLLERAXISMOTION;
  e.caxis.which = instanceId;
  e.caxis.axis = static_cast<Uint8>(sdlAxis);
  e.caxis.value = static_cast<Sint16>(value);
  TranslateInputEvent(&e);
}

void PlatTestJoyButton(int instanceId, int button, int down) {
  SDL_Event e{};
  e.type = down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
  e.jbutton.which = instanceId;
  e.jbutton.button = static_cast<Uint8>(button);
  TranslateInputEvent(&e);
}

void PlatTestJoyAxis(int instanceId, int axis, int value) {
  SDL_Event e{};
  e.type = SDL_JOYAXISMOTION;
  e.jaxis.which = instanceId;
  e.jaxis.axis = static_cast<Uint8>(axis);
  e.jaxis.value = static_cast<Sint16>(value);
  TranslateInputEvent(&e);
}

void PlatTestJoyHat(int instanceId, int hat, int sdlHatValue) {
  SDL_Event e{};
  e.type = SDL_JOYHATMOTION;
  e.jhat.which = instanceId;
  e.jhat.hat = static_cast<Uint8>(hat);
  e.jhat.value = static_cast<Uint8>(sdlHatValue);
  TranslateInputEvent(&e);
}

void PlatTestKeyEvent(int sdlScancode, int down, int repeat) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = static_cast<Uint8>(repeat ? 1 : 0);
  e.key.keysym.scancode = static_cast<SDL_Scancode>(sdlScancode);
  TranslateInputEvent(&e);
}

void PlatTestMouseButton(int button, int down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.button = static_cast<Uint8>(button);
  TranslateInputEvent(&e);
}

int PlatTestQueueSdlKeyEvent(int sdlScancode, int down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = static_cast<SDL_Scancode>(sdlScancode);
  e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
  return SDL_PushEvent(&e) == 1 ? 0 : -1;
}

void PlatTestFocusLost() {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  TranslateInputEvent(&e);
}

namespace {
int gVirtualDevice = -1;

SDL_Joystick* SlotJoystick(int slot) {
  if (slot < 0 || slot >= PLAT_MAX_PADS || !gInput.Pads[slot].InUse) return nullptr;
  const PadSlot& p = gInput.Pads[slot];
  return p.GameController != nullptr ? SDL_GameControllerGetJoystick(p.GameController) : p.Joystick;
}
}  // namespace

int PlatTestPlugVirtualPad(int controller) {
  if (!gInput.PadSubsystem) return -1;
  int index = controller ? SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                     SDL_CONTROLLER_BUTTON_MAX, 0)
                         : SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 12, 1);
  if (index < 0) return -1;
  gVirtualDevice = index;
  return 0;
}

int PlatTestUnplugVirtualPad() {
  if (gVirtualDevice < 0) return -1;
  int r = SDL_JoystickDetachVirtual(gVirtualDevice);
  gVirtualDevice = -1;
  return r == 0 ? 0 : -1;
}

int PlatTestSetVirtualButton(int slot, int button, int down) {
  SDL_Joystick* j = SlotJoystick(slot);
  if (j == nullptr) return -1;
  return SDL_JoystickSetVirtualButton(j, button, down ? SDL_PRESSED : SDL_RELEASED) == 0 ? 0 : -1;
}

int PlatTestSetVirtualHat(int slot, int sdlHatValue) {
  SDL_Joystick* j = SlotJoystick(slot);
  if (j == nullptr) return -1;
  return SDL_JoystickSetVirtualHat(j, 0, static_cast<Uint8>(sdlHatValue)) == 0 ? 0 : -1;
}

int PlatTestLastRumble(int instanceId, int* strength, uint32_t* durationMs) {
  int slot = FindPad(instanceId);
  if (slot < 0 || !gInput.Pads[slot].RumbleAsked) return -1;
  if (strength != nullptr) *strength = gInput.Pads[slot].LastRumbleStrength;
  if (durationMs != nullptr) *durationMs = gInput.Pads[slot].LastRumbleMs;
  return 0;
}
