// The SDL2 window back end: native windows, the SDL event source (keys,
// mouse and pads included), cursor, desktop and screen saver.
#include <SDL2/SDL.h>

#include <array>
#include <cstring>
#include <vector>

#include "platform/input.h"
#include "platform/keymap.h"
#include "platform/present_sdl.h"
#include "platform/window_backend.h"
#include "platform/window_lock.h"
#include "platform/window_sdl.h"

namespace {

constexpr const char* kOwnerKey = "vexlo.window";

PlatWindow OwnerOfId(Uint32 windowId) {
  SDL_Window* w = SDL_GetWindowFromID(windowId);
  return w ? static_cast<PlatWindow>(SDL_GetWindowData(w, kOwnerKey)) : nullptr;
}

void Deliver(PlatNativeEventKind kind, PlatWindow owner, int a = 0, int b = 0, int x = 0, int y = 0,
             const char* text = nullptr) {
  PlatDeliverNativeEvent(PlatNativeEvent{kind, owner, a, b, x, y, text});
}

// ---- Pads ---------------------------------------------------------------------------

// Stick travel of SDL's axes; a trigger past half of it counts as pressed.
constexpr int kAxisMax = 32767;

struct SdlPad {
  SDL_JoystickID Id;
  SDL_GameController* Controller;  // a game controller, else
  SDL_Joystick* Joystick;          // a plain joystick
  uint32_t Dpad;                   // the controller's direction buttons as hat bits
};

std::vector<SdlPad> g_pads;
int g_padSubsystem = 0;

struct ControllerButtonRow {
  int8_t Button;  // DirectInput order, -1 for a direction button
  uint8_t Dpad;   // hat bit of a direction button
};

// A game controller's buttons in DirectInput order (A, B, X, Y, left
// shoulder, right shoulder, back, start, left stick, right stick, guide);
// the direction buttons steer as a hat (1 down, 2 left, 4 right, 8 up).
constexpr std::array<ControllerButtonRow, SDL_CONTROLLER_BUTTON_MAX> BuildControllerButtons() {
  std::array<ControllerButtonRow, SDL_CONTROLLER_BUTTON_MAX> t{};
  for (ControllerButtonRow& r : t) r = ControllerButtonRow{-1, 0};
  t[SDL_CONTROLLER_BUTTON_A].Button = 0;
  t[SDL_CONTROLLER_BUTTON_B].Button = 1;
  t[SDL_CONTROLLER_BUTTON_X].Button = 2;
  t[SDL_CONTROLLER_BUTTON_Y].Button = 3;
  t[SDL_CONTROLLER_BUTTON_LEFTSHOULDER].Button = 4;
  t[SDL_CONTROLLER_BUTTON_RIGHTSHOULDER].Button = 5;
  t[SDL_CONTROLLER_BUTTON_BACK].Button = 6;
  t[SDL_CONTROLLER_BUTTON_START].Button = 7;
  t[SDL_CONTROLLER_BUTTON_LEFTSTICK].Button = 8;
  t[SDL_CONTROLLER_BUTTON_RIGHTSTICK].Button = 9;
  t[SDL_CONTROLLER_BUTTON_GUIDE].Button = 10;
  t[SDL_CONTROLLER_BUTTON_DPAD_DOWN].Dpad = 1;
  t[SDL_CONTROLLER_BUTTON_DPAD_LEFT].Dpad = 2;
  t[SDL_CONTROLLER_BUTTON_DPAD_RIGHT].Dpad = 4;
  t[SDL_CONTROLLER_BUTTON_DPAD_UP].Dpad = 8;
  return t;
}
constexpr auto kControllerButtons = BuildControllerButtons();

// Triggers act as buttons 12 and 13.
constexpr int kLeftTriggerButton = 11, kRightTriggerButton = 12;

int HatBits(int sdlHat) {
  int bits = 0;
  if (sdlHat & SDL_HAT_DOWN) bits |= 1;
  if (sdlHat & SDL_HAT_LEFT) bits |= 2;
  if (sdlHat & SDL_HAT_RIGHT) bits |= 4;
  if (sdlHat & SDL_HAT_UP) bits |= 8;
  return bits;
}

SdlPad* PadOf(SDL_JoystickID id, bool controller) {
  for (SdlPad& p : g_pads)
    if (p.Id == id) return (p.Controller != nullptr) == controller ? &p : nullptr;
  return nullptr;
}

void ClosePad(const SdlPad& p) {
  if (p.Controller) SDL_GameControllerClose(p.Controller);
  if (p.Joystick) SDL_JoystickClose(p.Joystick);
}

// Opens the device at `deviceIndex` and tells the layer, unless it is open
// already or as many pads as the library reads are open.
void OpenPad(int deviceIndex) {
  SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
  if (id < 0 || PadOf(id, true) || PadOf(id, false) || int(g_pads.size()) >= PLAT_MAX_PADS) return;
  SdlPad p{id, nullptr, nullptr, 0};
  int rumble;
  if (SDL_IsGameController(deviceIndex)) {
    p.Controller = SDL_GameControllerOpen(deviceIndex);
    if (!p.Controller) return;
    rumble = SDL_GameControllerHasRumble(p.Controller) ? 1 : 0;
  } else {
    p.Joystick = SDL_JoystickOpen(deviceIndex);
    if (!p.Joystick) return;
    rumble = SDL_JoystickHasRumble(p.Joystick) ? 1 : 0;
  }
  g_pads.push_back(p);
  Deliver(PlatNativeEventKind::PadAdded, nullptr, id, rumble);
}

void RemovePad(SDL_JoystickID id) {
  for (auto it = g_pads.begin(); it != g_pads.end(); ++it) {
    if (it->Id != id) continue;
    ClosePad(*it);
    g_pads.erase(it);
    Deliver(PlatNativeEventKind::PadRemoved, nullptr, id);
    return;
  }
}

void PadButton(SDL_JoystickID id, int button, int down) {
  Deliver(PlatNativeEventKind::PadButton, nullptr, id, button, down);
}

void ControllerButton(const SDL_ControllerButtonEvent& e) {
  SdlPad* p = PadOf(e.which, true);
  if (!p || e.button >= kControllerButtons.size()) return;
  const ControllerButtonRow& row = kControllerButtons[e.button];
  const int down = e.type == SDL_CONTROLLERBUTTONDOWN;
  if (row.Dpad) {
    p->Dpad = down ? (p->Dpad | row.Dpad) : (p->Dpad & ~uint32_t(row.Dpad));
    Deliver(PlatNativeEventKind::PadHat, nullptr, e.which, int(p->Dpad));
  } else if (row.Button >= 0) {
    PadButton(e.which, row.Button, down);
  }
}

void ControllerAxis(const SDL_ControllerAxisEvent& e) {
  if (!PadOf(e.which, true)) return;
  switch (e.axis) {
    case SDL_CONTROLLER_AXIS_LEFTX:
      Deliver(PlatNativeEventKind::PadAxis, nullptr, e.which, 0, e.value);
      break;
    case SDL_CONTROLLER_AXIS_LEFTY:
      Deliver(PlatNativeEventKind::PadAxis, nullptr, e.which, 1, e.value);
      break;
    case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
      PadButton(e.which, kLeftTriggerButton, e.value > kAxisMax / 2);
      break;
    case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
      PadButton(e.which, kRightTriggerButton, e.value > kAxisMax / 2);
      break;
    default:
      break;
  }
}

int OpenPads() {
  // Pad state is kept from events; the library decides when to read it (not
  // while the window is inactive), so SDL must not drop events meanwhile, or
  // a button released in the background would stay held.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (!g_padSubsystem) {
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return -1;
    g_padSubsystem = 1;
  }
  int count = SDL_NumJoysticks();
  for (int i = 0; i < count; ++i) OpenPad(i);
  return 0;
}

void ClosePads() {
  for (const SdlPad& p : g_pads) ClosePad(p);
  g_pads.clear();
  if (g_padSubsystem) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  g_padSubsystem = 0;
}

int PadRumble(int padId, int strength, uint32_t durationMs) {
  for (const SdlPad& p : g_pads) {
    if (p.Id != padId) continue;
    auto s = static_cast<Uint16>(strength);
    int r = p.Controller ? SDL_GameControllerRumble(p.Controller, s, s, durationMs)
                         : SDL_JoystickRumble(p.Joystick, s, s, durationMs);
    return r == 0 ? 0 : -1;
  }
  return -1;
}

// ---- Events -------------------------------------------------------------------------

// Mouse buttons in the platform's order: left, right, middle, the side buttons.
int MouseButtonIndex(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    case SDL_BUTTON_X1:
      return 3;
    case SDL_BUTTON_X2:
      return 4;
    default:
      return -1;
  }
}

void TranslateWindowEvent(const SDL_WindowEvent& we) {
  PlatWindow owner = OwnerOfId(we.windowID);
  switch (we.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      Deliver(PlatNativeEventKind::FocusGained, owner);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      Deliver(PlatNativeEventKind::FocusLost, owner);
      break;
    case SDL_WINDOWEVENT_MOVED:
      Deliver(PlatNativeEventKind::Moved, owner, we.data1, we.data2);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      Deliver(PlatNativeEventKind::Resized, owner, we.data1, we.data2);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      Deliver(PlatNativeEventKind::Minimized, owner);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      Deliver(PlatNativeEventKind::Maximized, owner);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      Deliver(PlatNativeEventKind::Restored, owner);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      Deliver(PlatNativeEventKind::Exposed, owner);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      Deliver(PlatNativeEventKind::CloseRequested, owner);
      break;
    default:
      break;
  }
}

// Every SDL event the back end takes becomes native events here.
void Translate(const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(ev.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      PlatKeyInfo key;
      if (PlatKeyFromScancode(ev.key.keysym.scancode, &key) != 0) break;
      Deliver(ev.type == SDL_KEYDOWN ? PlatNativeEventKind::KeyDown : PlatNativeEventKind::KeyUp,
              OwnerOfId(ev.key.windowID), key.VirtualKey, ev.key.repeat ? 1 : 0, key.KeyCode);
      break;
    }
    case SDL_TEXTINPUT:
      Deliver(PlatNativeEventKind::Text, OwnerOfId(ev.text.windowID), 0, 0, 0, 0, ev.text.text);
      break;
    case SDL_MOUSEMOTION:
      Deliver(PlatNativeEventKind::MouseMove, OwnerOfId(ev.motion.windowID), ev.motion.x, ev.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int button = MouseButtonIndex(ev.button.button);
      if (button < 0) break;
      Deliver(ev.type == SDL_MOUSEBUTTONDOWN ? PlatNativeEventKind::MouseButtonDown
                                             : PlatNativeEventKind::MouseButtonUp,
              OwnerOfId(ev.button.windowID), button, 0, ev.button.x, ev.button.y);
      break;
    }
    case SDL_MOUSEWHEEL: {
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      Deliver(PlatNativeEventKind::MouseWheel, OwnerOfId(ev.wheel.windowID), ev.wheel.y, 0, x, y);
      break;
    }
    case SDL_JOYDEVICEADDED:
      if (!SDL_IsGameController(ev.jdevice.which)) OpenPad(ev.jdevice.which);
      break;
    case SDL_CONTROLLERDEVICEADDED:
      OpenPad(ev.cdevice.which);
      break;
    case SDL_JOYDEVICEREMOVED:
      RemovePad(ev.jdevice.which);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      RemovePad(ev.cdevice.which);
      break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      ControllerButton(ev.cbutton);
      break;
    case SDL_CONTROLLERAXISMOTION:
      ControllerAxis(ev.caxis);
      break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      if (PadOf(ev.jbutton.which, false) && ev.jbutton.button < 32)
        PadButton(ev.jbutton.which, ev.jbutton.button, ev.type == SDL_JOYBUTTONDOWN);
      break;
    case SDL_JOYAXISMOTION:
      if (PadOf(ev.jaxis.which, false) && ev.jaxis.axis < 2)
        Deliver(PlatNativeEventKind::PadAxis, nullptr, ev.jaxis.which, ev.jaxis.axis, ev.jaxis.value);
      break;
    case SDL_JOYHATMOTION:
      if (PadOf(ev.jhat.which, false) && ev.jhat.hat == 0)
        Deliver(PlatNativeEventKind::PadHat, nullptr, ev.jhat.which, HatBits(ev.jhat.value));
      break;
    default:
      break;
  }
}

int Start() {
  // Ctrl+C keeps ending the process; the screen saver is the library's choice.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? 0 : -1;
}

void Stop() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

void* CreateNative(PlatWindow owner, const char* title, int x, int y, int width, int height, int visible,
                   int captioned, int topmost) {
  Uint32 flags = visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (!captioned) flags |= SDL_WINDOW_BORDERLESS;
  if (topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  SDL_Window* w = SDL_CreateWindow(title, x, y, width, height, flags);
  if (!w) return nullptr;
  SDL_SetWindowData(w, kOwnerKey, owner);
  return w;
}

void DestroyNative(void* native) { SDL_DestroyWindow(static_cast<SDL_Window*>(native)); }

void SetTitle(void* native, const char* title) {
  SDL_SetWindowTitle(static_cast<SDL_Window*>(native), title);
}

void SetClientBounds(void* native, int x, int y, int width, int height) {
  auto* w = static_cast<SDL_Window*>(native);
  SDL_SetWindowPosition(w, x, y);
  SDL_SetWindowSize(w, width, height);
}

void SetVisible(void* native, int visible) {
  auto* w = static_cast<SDL_Window*>(native);
  if (visible)
    SDL_ShowWindow(w);
  else
    SDL_HideWindow(w);
}

void SetMinimized(void* native, int minimized) {
  auto* w = static_cast<SDL_Window*>(native);
  if (minimized)
    SDL_MinimizeWindow(w);
  else
    SDL_RestoreWindow(w);
}

void SetDecoration(void* native, int captioned, int topmost) {
  auto* w = static_cast<SDL_Window*>(native);
  SDL_SetWindowBordered(w, captioned ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowAlwaysOnTop(w, topmost ? SDL_TRUE : SDL_FALSE);
}

void Raise(void* native) { SDL_RaiseWindow(static_cast<SDL_Window*>(native)); }

void PumpEvents() {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) Translate(ev);
}

void ApplyCursor(int visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void GetCursorPos(int* x, int* y) { SDL_GetGlobalMouseState(x, y); }

void GetDesktop(int* width, int* height, int* bits) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
  *width = mode.w;
  *height = mode.h;
  // Bytes per pixel, not significant bits: a 32-bit desktop has 24 of them.
  *bits = SDL_BYTESPERPIXEL(mode.format) * 8;
}

void SetScreenSaver(int active) {
  if (active)
    SDL_EnableScreenSaver();
  else
    SDL_DisableScreenSaver();
}

// The window manager draws its own frame outside the client area that SDL
// places, so the layer's window rectangle is the client rectangle here.
void FrameMetrics(uint32_t, uint32_t, PlatRect* frame) { *frame = PlatRect{0, 0, 0, 0}; }

int FillBlack(void* native, const PlatRect* rect) {
  // Frames reach the window through its renderer (platform/present.h); a
  // window surface made here would take the window away from it. Before the
  // first frame there is no renderer and the window keeps what it has.
  SDL_Renderer* renderer = SDL_GetRenderer(static_cast<SDL_Window*>(native));
  if (!renderer) return 0;
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  if (rect) {
    SDL_Rect r{rect->Left, rect->Top, rect->Right - rect->Left, rect->Bottom - rect->Top};
    SDL_RenderFillRect(renderer, &r);
  } else {
    SDL_RenderClear(renderer);
  }
  SDL_RenderPresent(renderer);
  return 0;
}

const PlatWindowBackend kSdlBackend = {
    "sdl",
    Start,
    Stop,
    CreateNative,
    DestroyNative,
    SetTitle,
    SetClientBounds,
    SetVisible,
    SetMinimized,
    SetDecoration,
    Raise,
    PumpEvents,
    ApplyCursor,
    GetCursorPos,
    GetDesktop,
    SetScreenSaver,
    FrameMetrics,
    PlatClassLockHeldElsewhere,
    PlatClassLockHold,
    PlatClassLockRelease,
    FillBlack,
    PlatSdlPresentFrame,
    PlatSdlPresentAgain,
    PlatSdlSetPresentVSync,
    PlatSdlSetFullscreen,
    PlatSdlEndPresentation,
    OpenPads,
    ClosePads,
    PadRumble,
};

}  // namespace

const PlatWindowBackend* PlatSdlWindowBackend() { return &kSdlBackend; }

// ---- Virtual pads, for tests -----------------------------------------------------------

namespace {
int g_virtualDevice = -1;

SDL_Joystick* OpenPadJoystick(int index) {
  if (index < 0 || index >= int(g_pads.size())) return nullptr;
  const SdlPad& p = g_pads[size_t(index)];
  return p.Controller ? SDL_GameControllerGetJoystick(p.Controller) : p.Joystick;
}
}  // namespace

int PlatSdlPlugVirtualPad(int controller) {
  if (!g_padSubsystem) return -1;
  int index = controller ? SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                                     SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0)
                         : SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 12, 1);
  if (index < 0) return -1;
  g_virtualDevice = index;
  return 0;
}

int PlatSdlUnplugVirtualPad() {
  if (g_virtualDevice < 0) return -1;
  int r = SDL_JoystickDetachVirtual(g_virtualDevice);
  g_virtualDevice = -1;
  return r == 0 ? 0 : -1;
}

int PlatSdlSetVirtualButton(int index, int button, int down) {
  SDL_Joystick* j = OpenPadJoystick(index);
  if (!j) return -1;
  return SDL_JoystickSetVirtualButton(j, button, down ? SDL_PRESSED : SDL_RELEASED) == 0 ? 0 : -1;
}

int PlatSdlSetVirtualHat(int index, int sdlHatValue) {
  SDL_Joystick* j = OpenPadJoystick(index);
  if (!j) return -1;
  return SDL_JoystickSetVirtualHat(j, 0, static_cast<Uint8>(sdlHatValue)) == 0 ? 0 : -1;
}
