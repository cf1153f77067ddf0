// The SDL2 window back end: native windows, the SDL event source, cursor,
// desktop and screen saver.
#include <SDL2/SDL.h>

#include <cstring>

#include "platform/window_backend.h"
#include "platform/window_lock.h"

namespace {

constexpr const char* kOwnerKey = "vexlo.window";

struct KeyMapEntry {
  SDL_Scancode Scancode;
  int VirtualKey;
};

// Physical keys to the virtual keys of the message model. Letters and digits
// are filled in by VirtualKeyOf.
constexpr KeyMapEntry kKeyMap[] = {
    {SDL_SCANCODE_BACKSPACE, VK_BACK},  {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_RETURN, VK_RETURN},   {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},     {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},   {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_END, VK_END},         {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_LEFT, VK_LEFT},       {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},     {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_INSERT, VK_INSERT},   {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY}, {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},     {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},    {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},         {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},        {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_SEMICOLON, 0xBA},  {SDL_SCANCODE_EQUALS, 0xBB}, {SDL_SCANCODE_COMMA, 0xBC},
    {SDL_SCANCODE_MINUS, 0xBD},      {SDL_SCANCODE_PERIOD, 0xBE}, {SDL_SCANCODE_SLASH, 0xBF},
    {SDL_SCANCODE_GRAVE, 0xC0},      {SDL_SCANCODE_LEFTBRACKET, 0xDB},
    {SDL_SCANCODE_BACKSLASH, 0xDC},  {SDL_SCANCODE_RIGHTBRACKET, 0xDD},
    {SDL_SCANCODE_APOSTROPHE, 0xDE},
};

int VirtualKeyOf(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc == SDL_SCANCODE_0) return '0';
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
  if (sc == SDL_SCANCODE_KP_0) return VK_NUMPAD0;
  for (const KeyMapEntry& e : kKeyMap)
    if (e.Scancode == sc) return e.VirtualKey;
  return 0;
}

PlatWindow OwnerOfId(Uint32 windowId) {
  SDL_Window* w = SDL_GetWindowFromID(windowId);
  return w ? static_cast<PlatWindow>(SDL_GetWindowData(w, kOwnerKey)) : nullptr;
}

void Deliver(PlatNativeEventKind kind, PlatWindow owner, int a = 0, int b = 0, int x = 0, int y = 0,
             const char* text = nullptr) {
  if (!owner) return;
  PlatDeliverNativeEvent(PlatNativeEvent{kind, owner, a, b, x, y, text});
}

void TranslateWindowEvent(const SDL_WindowEvent& we) {
  PlatWindow owner = OwnerOfId(we.windowID);
  switch (we.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED: Deliver(PlatNativeEventKind::FocusGained, owner); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: Deliver(PlatNativeEventKind::FocusLost, owner); break;
    case SDL_WINDOWEVENT_MOVED: Deliver(PlatNativeEventKind::Moved, owner, we.data1, we.data2); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: Deliver(PlatNativeEventKind::Resized, owner, we.data1, we.data2); break;
    case SDL_WINDOWEVENT_MINIMIZED: Deliver(PlatNativeEventKind::Minimized, owner); break;
    case SDL_WINDOWEVENT_MAXIMIZED: Deliver(PlatNativeEventKind::Maximized, owner); break;
    case SDL_WINDOWEVENT_RESTORED: Deliver(PlatNativeEventKind::Restored, owner); break;
    case SDL_WINDOWEVENT_EXPOSED: Deliver(PlatNativeEventKind::Exposed, owner); break;
    case SDL_WINDOWEVENT_CLOSE: Deliver(PlatNativeEventKind::CloseRequested, owner); break;
    default: break;
  }
}

void Translate(const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(ev.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      int vk = VirtualKeyOf(ev.key.keysym.scancode);
      if (!vk) break;
      Deliver(ev.type == SDL_KEYDOWN ? PlatNativeEventKind::KeyDown : PlatNativeEventKind::KeyUp,
              OwnerOfId(ev.key.windowID), vk, ev.key.repeat ? 1 : 0);
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
      int button = ev.button.button == SDL_BUTTON_LEFT ? 0 : ev.button.button == SDL_BUTTON_RIGHT ? 1
                 : ev.button.button == SDL_BUTTON_MIDDLE ? 2 : -1;
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

void SetTitle(void* native, const char* title) { SDL_SetWindowTitle(static_cast<SDL_Window*>(native), title); }

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
  while (SDL_PollEvent(&ev)) {
    PlatNotifyEventObservers(&ev);
    Translate(ev);
  }
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

int Present(void* native, const uint32_t* pixels, int width, int height, int pitch, const PlatRect* dest) {
  auto* w = static_cast<SDL_Window*>(native);
  SDL_Surface* target = SDL_GetWindowSurface(w);
  if (!target) return -1;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height,
                                                           32, pitch, SDL_PIXELFORMAT_RGB888);
  if (!source) return -1;
  SDL_Rect d = dest ? SDL_Rect{dest->Left, dest->Top, dest->Right - dest->Left, dest->Bottom - dest->Top}
                    : SDL_Rect{0, 0, target->w, target->h};
  int result = SDL_BlitScaled(source, nullptr, target, &d);
  SDL_FreeSurface(source);
  if (result == 0) result = SDL_UpdateWindowSurface(w);
  return result == 0 ? 0 : -1;
}

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
    "sdl",          Start,          Stop,         CreateNative, DestroyNative, SetTitle,
    SetClientBounds, SetVisible,    SetMinimized, SetDecoration, Raise,        PumpEvents,
    ApplyCursor,    GetCursorPos,   GetDesktop,   SetScreenSaver, FrameMetrics, PlatClassLockHeldElsewhere,
    PlatClassLockHold, PlatClassLockRelease, Present, FillBlack,
};

}  // namespace

const PlatWindowBackend* PlatSdlWindowBackend() { return &kSdlBackend; }
