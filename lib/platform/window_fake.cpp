#include "platform/window_fake.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/keymap.h"

namespace {

struct FakeNative {
  PlatWindow Owner;
  PlatRect Client;
  std::string Title;
  int Visible, Captioned, Topmost, Minimized;
};

struct ScriptedEvent {
  uint32_t AtMs;
  PlatNativeEventKind Kind;
  int A, B, X, Y;
  std::string Text;
  PlatWindow Window;
};

struct FakePad {
  int Id;
  int CanRumble;
  int Rumbled;  // a rumble was asked of it
  int LastStrength;
  uint32_t LastDurationMs;
};

std::recursive_mutex g_mutex;
std::vector<FakeNative*> g_natives;
std::deque<ScriptedEvent> g_script;
PlatFakePumpHook g_pumpHook = nullptr;
int g_collections = 0;
int g_started = 0, g_failCreate = 0, g_failStart = 0;
int g_desktopW = 1024, g_desktopH = 768, g_desktopBits = 32;
int g_cursorX = 0, g_cursorY = 0, g_cursorVisible = 1, g_screenSaver = 1;
int g_raises = 0, g_presents = 0;
std::vector<uint32_t> g_frame;  // the last frame presented, 0x00RRGGBB
int g_frameW = 0, g_frameH = 0;
std::vector<FakePad> g_pads;  // plugged in
std::string g_heldElsewhere;
std::vector<std::string> g_heldHere;

std::atomic<uint32_t> g_now{0};
std::atomic<int> g_sleeps{0};

FakeNative* NativeOf(PlatWindow w) {
  for (FakeNative* n : g_natives)
    if (n->Owner == w) return n;
  return nullptr;
}

int Start() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (g_failStart) {
    g_failStart = 0;
    return -1;
  }
  g_started = 1;
  return 0;
}

void Stop() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_started = 0;
}

void* CreateNative(PlatWindow owner, const char* title, int x, int y, int width, int height, int visible,
                   int captioned, int topmost) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (g_failCreate) {
    g_failCreate = 0;
    return nullptr;
  }
  auto* n =
      new FakeNative{owner, PlatRect{x, y, x + width, y + height}, title, visible, captioned, topmost, 0};
  g_natives.push_back(n);
  return n;
}

void DestroyNative(void* native) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  auto* n = static_cast<FakeNative*>(native);
  g_natives.erase(std::remove(g_natives.begin(), g_natives.end(), n), g_natives.end());
  delete n;
}

void SetTitle(void* native, const char* title) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  static_cast<FakeNative*>(native)->Title = title;
}

void SetClientBounds(void* native, int x, int y, int width, int height) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  static_cast<FakeNative*>(native)->Client = PlatRect{x, y, x + width, y + height};
}

void SetVisible(void* native, int visible) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  static_cast<FakeNative*>(native)->Visible = visible;
}

void SetMinimized(void* native, int minimized) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  static_cast<FakeNative*>(native)->Minimized = minimized;
}

void SetDecoration(void* native, int captioned, int topmost) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  auto* n = static_cast<FakeNative*>(native);
  n->Captioned = captioned;
  n->Topmost = topmost;
}

void Raise(void*) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  ++g_raises;
}

FakePad* PadOf(int id) {
  for (FakePad& p : g_pads)
    if (p.Id == id) return &p;
  return nullptr;
}

void Schedule(uint32_t atMs, PlatNativeEventKind kind, int a, int b, int x, int y, const char* text = nullptr,
              PlatWindow window = nullptr) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_script.push_back(ScriptedEvent{atMs, kind, a, b, x, y, text ? text : "", window});
}

void DeliverDue() {
  for (;;) {
    ScriptedEvent e;
    {
      std::lock_guard<std::recursive_mutex> lock(g_mutex);
      if (g_script.empty()) return;
      const ScriptedEvent& front = g_script.front();
      // Due when the clock has reached it (by unsigned difference, across the wrap).
      if (front.AtMs != 0 && int32_t(PlatGetMilliseconds() - front.AtMs) < 0) return;
      e = front;
      g_script.pop_front();
      if (!e.Window && !g_natives.empty()) e.Window = g_natives.back()->Owner;
    }
    PlatDeliverNativeEvent(PlatNativeEvent{e.Kind, e.Window, e.A, e.B, e.X, e.Y,
                                           e.Kind == PlatNativeEventKind::Text ? e.Text.c_str() : nullptr});
  }
}

void PumpEvents() {
  PlatFakePumpHook hook;
  int collection;
  {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    hook = g_pumpHook;
    collection = ++g_collections;
  }
  if (hook) hook(collection);
  DeliverDue();
}

void ApplyCursor(int visible) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_cursorVisible = visible;
}

void GetCursorPos(int* x, int* y) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  *x = g_cursorX;
  *y = g_cursorY;
}

void GetDesktop(int* width, int* height, int* bits) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  *width = g_desktopW;
  *height = g_desktopH;
  *bits = g_desktopBits;
}

void SetScreenSaver(int active) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_screenSaver = active;
}

void FrameMetrics(uint32_t style, uint32_t exStyle, PlatRect* frame) {
  *frame = PlatRect{0, 0, 0, 0};
  if ((style & WS_CAPTION) == WS_CAPTION)
    *frame =
        PlatRect{FAKE_FRAME_SIDE, FAKE_FRAME_SIDE + FAKE_FRAME_CAPTION, FAKE_FRAME_SIDE, FAKE_FRAME_SIDE};
  if (exStyle & WS_EX_CLIENTEDGE) {
    frame->Left += FAKE_CLIENT_EDGE;
    frame->Top += FAKE_CLIENT_EDGE;
    frame->Right += FAKE_CLIENT_EDGE;
    frame->Bottom += FAKE_CLIENT_EDGE;
  }
}

int ClassHeldElsewhere(const char* className) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return !g_heldElsewhere.empty() && g_heldElsewhere == className;
}

int HoldClass(const char* className) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (!g_heldElsewhere.empty() && g_heldElsewhere == className) return -1;
  g_heldHere.push_back(className);
  return 0;
}

void ReleaseClass(const char* className) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  auto it = std::find(g_heldHere.begin(), g_heldHere.end(), className);
  if (it != g_heldHere.end()) g_heldHere.erase(it);
}

int FillBlack(void*, const PlatRect*) { return 0; }

int PresentFrame(void*, const void* pixels, int width, int height, int pitch, int bits, const PlatRect*) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  ++g_presents;
  PlatFrameToXrgb(pixels, width, height, pitch, bits, &g_frame);
  g_frameW = width;
  g_frameH = height;
  return 0;
}

// No frame is kept for a repaint: the caller presents its image again.
int PresentAgain(void*) { return -1; }
void SetPresentVSync(int) {}
int SetFullscreen(void*, int) { return 0; }
void EndPresentation() {}

// The pads plugged in before input started are found at once.
int OpenPads() {
  std::vector<FakePad> pads;
  {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    pads = g_pads;
  }
  for (const FakePad& p : pads)
    PlatDeliverNativeEvent(
        PlatNativeEvent{PlatNativeEventKind::PadAdded, nullptr, p.Id, p.CanRumble, 0, 0, nullptr});
  return 0;
}

void ClosePads() {}

int PadRumble(int padId, int strength, uint32_t durationMs) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakePad* p = PadOf(padId);
  if (!p || !p->CanRumble) return -1;
  p->Rumbled = 1;
  p->LastStrength = strength;
  p->LastDurationMs = durationMs;
  return 0;
}

const PlatWindowBackend kFakeBackend = {
    "fake",          Start,           Stop,         CreateNative,   DestroyNative, SetTitle,
    SetClientBounds, SetVisible,      SetMinimized, SetDecoration,  Raise,         PumpEvents,
    ApplyCursor,     GetCursorPos,    GetDesktop,   SetScreenSaver, FrameMetrics,  ClassHeldElsewhere,
    HoldClass,       ReleaseClass,    FillBlack,    PresentFrame,   PresentAgain,  SetPresentVSync,
    SetFullscreen,   EndPresentation, OpenPads,     ClosePads,      PadRumble,
};

uint32_t FakeMilliseconds() { return g_now.load(); }
void FakeSleep(uint32_t milliseconds) {
  g_sleeps.fetch_add(1);
  g_now.fetch_add(milliseconds);
}

}  // namespace

const PlatWindowBackend* PlatFakeWindowBackendHooks() { return &kFakeBackend; }

int PlatUseFakeWindowBackend() { return PlatSelectWindowBackend(&kFakeBackend); }

void PlatFakeReset() {
  {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    g_script.clear();
    g_pumpHook = nullptr;
    g_collections = 0;
    g_failCreate = g_failStart = 0;
    g_desktopW = 1024, g_desktopH = 768, g_desktopBits = 32;
    g_cursorX = g_cursorY = 0;
    g_cursorVisible = g_screenSaver = 1;
    g_raises = g_presents = 0;
    g_frame.clear();
    g_frameW = g_frameH = 0;
    g_pads.clear();
    g_heldElsewhere.clear();
  }
  PlatFakeClockRemove();
  g_now.store(0);
  g_sleeps.store(0);
}

void PlatFakeScheduleEvent(uint32_t atMs, PlatNativeEventKind kind, int a, int b, const char* text,
                           PlatWindow window) {
  // A key queued by its virtual key alone has no key code.
  const bool key = kind == PlatNativeEventKind::KeyDown || kind == PlatNativeEventKind::KeyUp;
  Schedule(atMs, kind, a, b, key ? 0 : a, key ? 0 : b, text, window);
}

int PlatFakeScheduleKey(uint32_t atMs, int scancode, int down, int repeat) {
  PlatKeyInfo key;
  if (PlatKeyFromScancode(scancode, &key) != 0) return -1;
  Schedule(atMs, down ? PlatNativeEventKind::KeyDown : PlatNativeEventKind::KeyUp, key.VirtualKey,
           down && repeat ? 1 : 0, key.KeyCode, 0);
  return 0;
}

void PlatFakeQueueMouseButton(int button, int down, int x, int y) {
  Schedule(0, down ? PlatNativeEventKind::MouseButtonDown : PlatNativeEventKind::MouseButtonUp, button, 0, x,
           y);
}

int PlatFakePlugPad(int padId, int canRumble) {
  {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (PadOf(padId)) return -1;
    g_pads.push_back(FakePad{padId, canRumble ? 1 : 0, 0, 0, 0});
  }
  Schedule(0, PlatNativeEventKind::PadAdded, padId, canRumble ? 1 : 0, 0, 0);
  return 0;
}

int PlatFakeUnplugPad(int padId) {
  {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    FakePad* p = PadOf(padId);
    if (!p) return -1;
    g_pads.erase(g_pads.begin() + (p - g_pads.data()));
  }
  Schedule(0, PlatNativeEventKind::PadRemoved, padId, 0, 0, 0);
  return 0;
}

void PlatFakeQueuePadButton(int padId, int button, int down) {
  Schedule(0, PlatNativeEventKind::PadButton, padId, button, down ? 1 : 0, 0);
}

void PlatFakeQueuePadAxis(int padId, int axis, int value) {
  Schedule(0, PlatNativeEventKind::PadAxis, padId, axis, value, 0);
}

void PlatFakeQueuePadHat(int padId, int directionBits) {
  Schedule(0, PlatNativeEventKind::PadHat, padId, directionBits, 0, 0);
}

void PlatFakeDeliverDueEvents() { DeliverDue(); }

int PlatFakeLastRumble(int padId, int* strength, uint32_t* durationMs) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakePad* p = PadOf(padId);
  if (!p || !p->Rumbled) return -1;
  if (strength) *strength = p->LastStrength;
  if (durationMs) *durationMs = p->LastDurationMs;
  return 0;
}

void PlatFakeUnplugAllPads() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_pads.clear();
}

void PlatFakeSetPumpHook(PlatFakePumpHook hook) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_pumpHook = hook;
}

int PlatFakeCollectionCount() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_collections;
}

void PlatFakeSetDesktop(int width, int height, int bits) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_desktopW = width;
  g_desktopH = height;
  g_desktopBits = bits;
}

void PlatFakeSetCursorPos(int x, int y) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_cursorX = x;
  g_cursorY = y;
}

void PlatFakeFailNextCreate() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_failCreate = 1;
}

void PlatFakeFailNextStart() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_failStart = 1;
}

void PlatFakeSetClassHeldElsewhere(const char* className) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_heldElsewhere = className ? className : "";
}

int PlatFakeIsStarted() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_started;
}

int PlatFakeCursorVisible() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_cursorVisible;
}

int PlatFakeScreenSaverActive() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_screenSaver;
}

int PlatFakeNativeWindowCount() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return int(g_natives.size());
}

PlatWindow PlatFakeNewestWindow() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_natives.empty() ? nullptr : g_natives.back()->Owner;
}

int PlatFakeNativeBounds(PlatWindow window, PlatRect* clientOut) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakeNative* n = NativeOf(window);
  if (!n || !clientOut) return -1;
  *clientOut = n->Client;
  return 0;
}

std::string PlatFakeNativeTitle(PlatWindow window) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakeNative* n = NativeOf(window);
  return n ? n->Title : std::string();
}

int PlatFakeNativeVisible(PlatWindow window) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakeNative* n = NativeOf(window);
  return n ? n->Visible : 0;
}

int PlatFakeNativeTopmost(PlatWindow window) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakeNative* n = NativeOf(window);
  return n ? n->Topmost : 0;
}

int PlatFakeNativeCaptioned(PlatWindow window) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  FakeNative* n = NativeOf(window);
  return n ? n->Captioned : 0;
}

int PlatFakeRaiseCount() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_raises;
}

int PlatFakePresentCount() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_presents;
}

const uint32_t* PlatFakePresentedFrame(int* width, int* height) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (width) *width = g_frameW;
  if (height) *height = g_frameH;
  return g_frame.empty() ? nullptr : g_frame.data();
}

void PlatFakeClockInstall(uint32_t startMs) {
  g_now.store(startMs);
  g_sleeps.store(0);
  PlatSetMillisecondHook(FakeMilliseconds);
  PlatSetSleepHook(FakeSleep);
}

void PlatFakeClockRemove() {
  PlatSetMillisecondHook(nullptr);
  PlatSetSleepHook(nullptr);
}

void PlatFakeClockAdvance(uint32_t milliseconds) { g_now.fetch_add(milliseconds); }
uint32_t PlatFakeClockNow() { return g_now.load(); }
int PlatFakeSleepCount() { return g_sleeps.load(); }
