// The window layer: classes, windows, per-thread queues, painting, cursor,
// and the translation of native events into messages.
#include "platform/window.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/input_internal.h"
#include "platform/thread.h"
#include "platform/window_backend.h"

struct PlatWindowRec {
  std::string ClassName;
  PlatWndProc Procedure = nullptr;
  uint32_t Style = 0, ExStyle = 0;
  uint32_t Thread = 0;
  PlatRect Bounds{};  // window rectangle, screen coordinates
  PlatRect Frame{};   // frame thickness around the client area
  int Minimized = 0;
  int Focused = 0;
  int NeedsPaint = 0;
  PlatRect PaintRect{};  // client coordinates
  int Destroying = 0;
  void* Native = nullptr;
};

namespace {

struct ClassRec {
  std::string Name;
  uint32_t Style;
  PlatWndProc Procedure;
  int IconResource;
};

struct QueueRec {
  uint32_t Thread;
  std::deque<PlatMsg> Messages;
  int QuitPosted;
  int QuitCode;
};

// Guards classes, windows and queues. Never held while a window procedure or
// a back-end hook runs, so procedures may post, peek and pump freely.
std::mutex g_mutex;
std::vector<ClassRec> g_classes;
std::vector<PlatWindowRec*> g_windows;
std::vector<QueueRec> g_queues;

const PlatWindowBackend* g_backend = nullptr;
int g_started = 0;
uint32_t g_nativeThread = 0;  // the thread that started the back end collects its events

int g_screenSaverHeldOff = 0;  // the window system stays up while it holds the saver off
int g_cursorCount = 0;         // shown while 0 or more
int g_cursorArrow = 1;         // the shape set by PlatSetCursor

std::atomic<PlatPeekHook> g_peekHook{nullptr};

const PlatWindowBackend* Backend() {
  if (!g_backend) g_backend = PlatSdlWindowBackend();
  return g_backend;
}

int EnsureStarted() {
  if (g_started) return 0;
  if (Backend()->Start() != 0) return -1;
  g_started = 1;
  g_nativeThread = PlatCurrentThreadId();
  Backend()->ApplyCursor(g_cursorCount >= 0 && g_cursorArrow);
  return 0;
}

void StopIfUnused() {
  if (!g_started || !g_classes.empty() || !g_windows.empty() || g_screenSaverHeldOff) return;
  Backend()->Stop();
  g_started = 0;
  g_nativeThread = 0;
}

// Callers hold g_mutex.
bool IsLiveLocked(PlatWindow window) {
  return window && window != PLAT_THREAD_MESSAGES &&
         std::find(g_windows.begin(), g_windows.end(), window) != g_windows.end();
}

// A live window with a native side (not a message-only window).
bool IsNativeLocked(PlatWindow window) { return IsLiveLocked(window) && window->Native != nullptr; }

QueueRec& QueueOfLocked(uint32_t thread) {
  for (QueueRec& q : g_queues)
    if (q.Thread == thread) return q;
  g_queues.push_back(QueueRec{thread, {}, 0, 0});
  return g_queues.back();
}

ClassRec* FindClassLocked(const char* name) {
  for (ClassRec& c : g_classes)
    if (c.Name == name) return &c;
  return nullptr;
}

std::string ToUtf8(const char* text) {
  std::string out;
  if (!text) return out;
  if (!PlatCp932ToUtf8(text, std::strlen(text), &out)) out = text;
  return out;
}

int IsCaptioned(uint32_t style) { return (style & WS_CAPTION) == WS_CAPTION ? 1 : 0; }
int IsTopmost(uint32_t exStyle) { return (exStyle & WS_EX_TOPMOST) ? 1 : 0; }

PlatRect ClientOf(const PlatWindowRec* w) {
  return PlatRect{w->Bounds.Left + w->Frame.Left, w->Bounds.Top + w->Frame.Top,
                  w->Bounds.Right - w->Frame.Right, w->Bounds.Bottom - w->Frame.Bottom};
}

int ClientWidth(const PlatWindowRec* w) { return std::max(0, ClientOf(w).Right - ClientOf(w).Left); }
int ClientHeight(const PlatWindowRec* w) { return std::max(0, ClientOf(w).Bottom - ClientOf(w).Top); }

void ApplyNativeBounds(PlatWindowRec* w) {
  PlatRect c = ClientOf(w);
  Backend()->SetClientBounds(w->Native, c.Left, c.Top, std::max(1, c.Right - c.Left),
                             std::max(1, c.Bottom - c.Top));
}

void InvalidateWholeLocked(PlatWindowRec* w) {
  w->NeedsPaint = 1;
  w->PaintRect = PlatRect{0, 0, ClientWidth(w), ClientHeight(w)};
}

void PostLocked(PlatWindowRec* w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  QueueOfLocked(w->Thread).Messages.push_back(PlatMsg{w, message, wParam, lParam});
}

bool Matches(const PlatMsg& m, PlatWindow filter) {
  if (!filter) return true;
  if (filter == PLAT_THREAD_MESSAGES) return m.Window == nullptr;
  return m.Window == filter;
}

void ApplyCursorState() {
  if (g_started) Backend()->ApplyCursor(g_cursorCount >= 0 && g_cursorArrow ? 1 : 0);
}

}  // namespace

int PlatSelectWindowBackend(const PlatWindowBackend* backend) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_started || !backend) return -1;
  g_backend = backend;
  return 0;
}

const PlatWindowBackend* PlatActiveWindowBackend() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return Backend();
}

// ---- Classes ----------------------------------------------------------------------

int PlatRegisterClass(const PlatWindowClass* windowClass) {
  if (!windowClass || !windowClass->Procedure || !windowClass->ClassName || !windowClass->ClassName[0])
    return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (FindClassLocked(windowClass->ClassName)) return -1;
  if (EnsureStarted() != 0) return -1;
  if (Backend()->HoldClass(windowClass->ClassName) != 0) {
    StopIfUnused();
    return -1;
  }
  g_classes.push_back(ClassRec{windowClass->ClassName, windowClass->Style, windowClass->Procedure,
                               windowClass->IconResource});
  return 0;
}

int PlatUnregisterClass(const char* className) {
  if (!className) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = std::find_if(g_classes.begin(), g_classes.end(),
                         [&](const ClassRec& c) { return c.Name == className; });
  if (it == g_classes.end()) return -1;
  for (PlatWindowRec* w : g_windows)
    if (w->ClassName == className) return -1;
  Backend()->ReleaseClass(className);
  g_classes.erase(it);
  StopIfUnused();
  return 0;
}

int PlatSetClassIcon(const char* className, int iconResource) {
  if (!className) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  ClassRec* c = FindClassLocked(className);
  if (!c) return -1;
  c->IconResource = iconResource;
  return 0;
}

int PlatFindWindowByClass(const char* className) {
  if (!className || !className[0]) return 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (PlatWindowRec* w : g_windows)
    if (w->ClassName == className) return 1;
  // A class this process holds has no window now; another copy cannot hold it.
  if (FindClassLocked(className)) return 0;
  return Backend()->ClassHeldElsewhere(className) ? 1 : 0;
}

// ---- Windows -----------------------------------------------------------------------

PlatWindow PlatCreateWindow(uint32_t exStyle, const char* className, const char* title, uint32_t style, int x,
                            int y, int width, int height) {
  if (!className) return nullptr;
  auto* w = new PlatWindowRec;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    ClassRec* c = FindClassLocked(className);
    if (!c || EnsureStarted() != 0) {
      delete w;
      return nullptr;
    }
    w->ClassName = className;
    w->Procedure = c->Procedure;
    w->Style = style;
    w->ExStyle = exStyle;
    w->Thread = PlatCurrentThreadId();
    w->Bounds = PlatRect{x, y, x + std::max(0, width), y + std::max(0, height)};
    Backend()->FrameMetrics(style, exStyle, &w->Frame);
  }
  PlatRect client = ClientOf(w);
  w->Native = Backend()->CreateNative(w, ToUtf8(title).c_str(), client.Left, client.Top,
                                      std::max(1, client.Right - client.Left),
                                      std::max(1, client.Bottom - client.Top), (style & WS_VISIBLE) ? 1 : 0,
                                      IsCaptioned(style), IsTopmost(exStyle));
  if (!w->Native) {
    delete w;
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  InvalidateWholeLocked(w);
  g_windows.push_back(w);
  return w;
}

PlatWindow PlatCreateMessageWindow(PlatWndProc procedure) {
  if (!procedure) return nullptr;
  auto* w = new PlatWindowRec;
  w->Procedure = procedure;
  w->Thread = PlatCurrentThreadId();
  std::lock_guard<std::mutex> lock(g_mutex);
  g_windows.push_back(w);
  return w;
}

uint32_t PlatGetWindowThread(PlatWindow window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return IsLiveLocked(window) ? window->Thread : 0;
}

int PlatDestroyWindow(PlatWindow window) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!IsLiveLocked(window) || window->Destroying) return -1;
    window->Destroying = 1;
  }
  // The procedure sees WM_DESTROY while the window still exists.
  window->Procedure(window, WM_DESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_windows.erase(std::find(g_windows.begin(), g_windows.end(), window));
    for (QueueRec& q : g_queues)
      q.Messages.erase(std::remove_if(q.Messages.begin(), q.Messages.end(),
                                      [&](const PlatMsg& m) { return m.Window == window; }),
                       q.Messages.end());
  }
  if (window->Native) Backend()->DestroyNative(window->Native);
  delete window;
  return 0;
}

int PlatIsWindow(PlatWindow window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return IsLiveLocked(window) ? 1 : 0;
}

int PlatShowWindow(PlatWindow window, int command) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsNativeLocked(window)) return -1;
  int wasVisible = (window->Style & WS_VISIBLE) ? 1 : 0;
  if (command == SW_HIDE) {
    window->Style &= ~WS_VISIBLE;
    Backend()->SetVisible(window->Native, 0);
  } else if (command == SW_MINIMIZE) {
    window->Minimized = 1;
    Backend()->SetMinimized(window->Native, 1);
  } else {
    window->Style |= WS_VISIBLE;
    if (window->Minimized) {
      window->Minimized = 0;
      Backend()->SetMinimized(window->Native, 0);
    }
    Backend()->SetVisible(window->Native, 1);
    InvalidateWholeLocked(window);
  }
  return wasVisible;
}

int PlatUpdateWindow(PlatWindow window) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!IsNativeLocked(window)) return -1;
    if (!window->NeedsPaint) return 0;
  }
  PlatSendMessage(window, WM_PAINT, 0, 0);
  return 0;
}

int PlatSetWindowText(PlatWindow window, const char* text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsNativeLocked(window)) return -1;
  Backend()->SetTitle(window->Native, ToUtf8(text).c_str());
  return 0;
}

uint32_t PlatSetWindowLong(PlatWindow window, int index, uint32_t value) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsNativeLocked(window)) return 0;
  uint32_t old;
  if (index == GWL_STYLE) {
    old = window->Style;
    window->Style = value;
    if ((old ^ value) & WS_VISIBLE) Backend()->SetVisible(window->Native, (value & WS_VISIBLE) ? 1 : 0);
  } else if (index == GWL_EXSTYLE) {
    old = window->ExStyle;
    window->ExStyle = value;
  } else {
    return 0;
  }
  // The window rectangle stays; the client area follows the new frame.
  Backend()->FrameMetrics(window->Style, window->ExStyle, &window->Frame);
  Backend()->SetDecoration(window->Native, IsCaptioned(window->Style), IsTopmost(window->ExStyle));
  ApplyNativeBounds(window);
  return old;
}

uint32_t PlatGetWindowLong(PlatWindow window, int index) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsLiveLocked(window)) return 0;
  return index == GWL_STYLE ? window->Style : index == GWL_EXSTYLE ? window->ExStyle : 0;
}

int PlatSetWindowPos(PlatWindow window, intptr_t insertAfter, int x, int y, int width, int height,
                     uint32_t flags) {
  int moved = 0, sized = 0;
  PlatRect client{};
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!IsNativeLocked(window)) return -1;
    PlatRect b = window->Bounds;
    if (!(flags & SWP_NOMOVE)) {
      int w = b.Right - b.Left, h = b.Bottom - b.Top;
      b = PlatRect{x, y, x + w, y + h};
    }
    if (!(flags & SWP_NOSIZE)) {
      b.Right = b.Left + std::max(0, width);
      b.Bottom = b.Top + std::max(0, height);
    }
    moved = b.Left != window->Bounds.Left || b.Top != window->Bounds.Top;
    sized = (b.Right - b.Left) != (window->Bounds.Right - window->Bounds.Left) ||
            (b.Bottom - b.Top) != (window->Bounds.Bottom - window->Bounds.Top);
    window->Bounds = b;
    if (!(flags & SWP_NOZORDER)) {
      if (insertAfter == HWND_TOPMOST) window->ExStyle |= WS_EX_TOPMOST;
      if (insertAfter == HWND_NOTOPMOST) window->ExStyle &= ~WS_EX_TOPMOST;
      Backend()->SetDecoration(window->Native, IsCaptioned(window->Style), IsTopmost(window->ExStyle));
      if (!(flags & SWP_NOACTIVATE)) Backend()->Raise(window->Native);
    }
    if (moved || sized) ApplyNativeBounds(window);
    if (sized && !(flags & SWP_NOREDRAW)) InvalidateWholeLocked(window);
    client = ClientOf(window);
  }
  // As the message-driven model does, a move or a resize is told at once.
  if (moved) PlatSendMessage(window, WM_MOVE, 0, PlatMakeLParam(client.Left, client.Top));
  if (sized)
    PlatSendMessage(window, WM_SIZE, SIZE_RESTORED,
                    PlatMakeLParam(client.Right - client.Left, client.Bottom - client.Top));
  return 0;
}

int PlatMoveWindow(PlatWindow window, int x, int y, int width, int height, int repaint) {
  int result = PlatSetWindowPos(window, HWND_TOP, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (result == 0 && repaint) PlatInvalidateRect(window, nullptr);
  return result;
}

int PlatGetWindowRect(PlatWindow window, PlatRect* out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!out || !IsLiveLocked(window)) return -1;
  *out = window->Bounds;
  return 0;
}

int PlatGetClientRect(PlatWindow window, PlatRect* out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!out || !IsLiveLocked(window)) return -1;
  *out = PlatRect{0, 0, ClientWidth(window), ClientHeight(window)};
  return 0;
}

int PlatClientToScreen(PlatWindow window, int* x, int* y) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!x || !y || !IsLiveLocked(window)) return -1;
  PlatRect c = ClientOf(window);
  *x += c.Left;
  *y += c.Top;
  return 0;
}

int PlatAdjustWindowRectEx(PlatRect* rect, uint32_t style, int /*hasMenu*/, uint32_t exStyle) {
  if (!rect) return -1;
  PlatRect frame{};
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Backend()->FrameMetrics(style, exStyle, &frame);
  }
  rect->Left -= frame.Left;
  rect->Top -= frame.Top;
  rect->Right += frame.Right;
  rect->Bottom += frame.Bottom;
  return 0;
}

int PlatSetForegroundWindow(PlatWindow window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsNativeLocked(window)) return -1;
  Backend()->Raise(window->Native);
  return 0;
}

int PlatBringWindowToTop(PlatWindow window) { return PlatSetForegroundWindow(window); }

// ---- Queues --------------------------------------------------------------------------

int PlatPostMessage(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!window) {
    QueueOfLocked(PlatCurrentThreadId()).Messages.push_back(PlatMsg{nullptr, message, wParam, lParam});
    return 0;
  }
  if (!IsLiveLocked(window)) return -1;
  PostLocked(window, message, wParam, lParam);
  return 0;
}

int PlatRemoveQueuedMessages(PlatWindow window, uint32_t message, uintptr_t wParam) {
  std::lock_guard<std::mutex> lock(g_mutex);
  int removed = 0;
  for (QueueRec& q : g_queues) {
    auto end = std::remove_if(q.Messages.begin(), q.Messages.end(), [&](const PlatMsg& m) {
      return m.Window == window && m.Message == message && m.WParam == wParam;
    });
    removed += int(q.Messages.end() - end);
    q.Messages.erase(end, q.Messages.end());
  }
  return removed;
}

int PlatHasQueuedMessage(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsLiveLocked(window)) return 0;
  for (const PlatMsg& m : QueueOfLocked(window->Thread).Messages)
    if (m.Window == window && m.Message == message && m.WParam == wParam && m.LParam == lParam) return 1;
  return 0;
}

int PlatCountQueuedMessages(PlatWindow window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsLiveLocked(window)) return 0;
  const std::deque<PlatMsg>& messages = QueueOfLocked(window->Thread).Messages;
  return int(
      std::count_if(messages.begin(), messages.end(), [&](const PlatMsg& m) { return m.Window == window; }));
}

PlatPeekHook PlatSetPeekHook(PlatPeekHook hook) { return g_peekHook.exchange(hook); }

void PlatPostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> lock(g_mutex);
  QueueRec& q = QueueOfLocked(PlatCurrentThreadId());
  q.QuitPosted = 1;
  q.QuitCode = exitCode;
}

int PlatPeekMessage(PlatMsg* out, PlatWindow filter, int remove) {
  if (!out) return 0;
  uint32_t self = PlatCurrentThreadId();
  bool collect;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    collect = g_started && self == g_nativeThread;
  }
  if (collect) Backend()->PumpEvents();
  if (PlatPeekHook hook = g_peekHook.load()) hook();

  std::lock_guard<std::mutex> lock(g_mutex);
  QueueRec& q = QueueOfLocked(self);
  for (auto it = q.Messages.begin(); it != q.Messages.end(); ++it) {
    if (!Matches(*it, filter)) continue;
    *out = *it;
    if (remove) q.Messages.erase(it);
    return 1;
  }
  if (q.QuitPosted && (!filter || filter == PLAT_THREAD_MESSAGES)) {
    *out = PlatMsg{nullptr, WM_QUIT, uintptr_t(q.QuitCode), 0};
    if (remove) q.QuitPosted = 0;
    return 1;
  }
  for (PlatWindowRec* w : g_windows) {
    if (w->Thread != self || !w->NeedsPaint || w->Destroying) continue;
    if (filter && filter != w) continue;
    *out = PlatMsg{w, WM_PAINT, 0, 0};
    return 1;
  }
  return 0;
}

int PlatTranslateMessage(const PlatMsg* message) {
  if (!message || message->Message != WM_KEYDOWN) return 0;
  int code;
  switch (message->WParam) {
    case VK_RETURN:
      code = 0x0D;
      break;
    case VK_BACK:
      code = 0x08;
      break;
    case VK_TAB:
      code = 0x09;
      break;
    case VK_ESCAPE:
      code = 0x1B;
      break;
    default:
      return 0;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsLiveLocked(message->Window)) return 0;
  // The typed character is the next message the thread takes.
  QueueOfLocked(message->Window->Thread)
      .Messages.push_front(PlatMsg{message->Window, WM_CHAR, uintptr_t(code), message->LParam});
  return 1;
}

intptr_t PlatDispatchMessage(const PlatMsg* message) {
  if (!message || !message->Window) return 0;
  return PlatSendMessage(message->Window, message->Message, message->WParam, message->LParam);
}

intptr_t PlatSendMessage(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  PlatWndProc procedure;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!IsLiveLocked(window)) return 0;
    procedure = window->Procedure;
  }
  return procedure(window, message, wParam, lParam);
}

intptr_t PlatDefWindowProc(PlatWindow window, uint32_t message, uintptr_t /*wParam*/, intptr_t /*lParam*/) {
  switch (message) {
    case WM_CLOSE:
      PlatDestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PlatRect r;
      if (PlatBeginPaint(window, &r) == 0) PlatEndPaint(window);
      return 0;
    }
    case WM_SETCURSOR:
      PlatSetCursor(1);
      return 1;
    default:
      return 0;
  }
}

// ---- Painting -------------------------------------------------------------------------

int PlatInvalidateRect(PlatWindow window, const PlatRect* rect) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsNativeLocked(window)) return -1;
  PlatRect all{0, 0, ClientWidth(window), ClientHeight(window)};
  PlatRect r = rect ? *rect : all;
  if (window->NeedsPaint) {
    PlatRect& p = window->PaintRect;
    r = PlatRect{std::min(p.Left, r.Left), std::min(p.Top, r.Top), std::max(p.Right, r.Right),
                 std::max(p.Bottom, r.Bottom)};
  }
  window->PaintRect = r;
  window->NeedsPaint = 1;
  return 0;
}

int PlatBeginPaint(PlatWindow window, PlatRect* paintRect) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsLiveLocked(window)) return -1;
  PlatRect all{0, 0, ClientWidth(window), ClientHeight(window)};
  if (paintRect) *paintRect = window->NeedsPaint ? window->PaintRect : all;
  window->NeedsPaint = 0;
  return 0;
}

int PlatEndPaint(PlatWindow window) { return PlatIsWindow(window) ? 0 : -1; }

int PlatFillClientBlack(PlatWindow window, const PlatRect* rect) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!IsNativeLocked(window)) return -1;
  return Backend()->FillBlack(window->Native, rect);
}

void* PlatNativeOf(PlatWindow window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return IsLiveLocked(window) ? window->Native : nullptr;
}

// ---- Display, screen saver, cursor ---------------------------------------------------

void PlatGetDesktopMetrics(int* width, int* height, int* bits) {
  int w = 640, h = 480, b = 32;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (EnsureStarted() == 0) Backend()->GetDesktop(&w, &h, &b);
    StopIfUnused();
  }
  if (width) *width = w;
  if (height) *height = h;
  if (bits) *bits = b;
}

void PlatNotifyDisplayChange(int bits, int width, int height) {
  std::lock_guard<std::mutex> lock(g_mutex);
  uint32_t self = PlatCurrentThreadId();
  for (PlatWindowRec* w : g_windows)
    if (w->Thread == self) PostLocked(w, WM_DISPLAYCHANGE, uintptr_t(bits), PlatMakeLParam(width, height));
}

void PlatSetScreenSaverActive(int active) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (EnsureStarted() != 0) return;
  Backend()->SetScreenSaver(active ? 1 : 0);
  g_screenSaverHeldOff = active ? 0 : 1;
  StopIfUnused();
}

int PlatShowCursor(int show) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cursorCount += show ? 1 : -1;
  ApplyCursorState();
  return g_cursorCount;
}

void PlatSetCursor(int arrow) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cursorArrow = arrow ? 1 : 0;
  ApplyCursorState();
}

int PlatGetCursorPos(int* x, int* y) {
  int cx = 0, cy = 0;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_started) Backend()->GetCursorPos(&cx, &cy);
  }
  if (x) *x = cx;
  if (y) *y = cy;
  return 0;
}

// ---- Native events into messages ------------------------------------------------------

void PlatDeliverNativeEvent(const PlatNativeEvent& e) {
  PlatInputTakeEvent(e);
  std::lock_guard<std::mutex> lock(g_mutex);
  PlatWindowRec* w = e.Window;
  if (!IsNativeLocked(w) || w->Destroying) return;
  switch (e.Kind) {
    case PlatNativeEventKind::FocusGained:
      if (w->Focused) return;
      w->Focused = 1;
      PostLocked(w, WM_ACTIVATEAPP, 1, 0);
      PostLocked(w, WM_ACTIVATE, WA_ACTIVE | (uintptr_t(w->Minimized ? 1 : 0) << 16), 0);
      return;
    case PlatNativeEventKind::FocusLost:
      if (!w->Focused) return;
      w->Focused = 0;
      PostLocked(w, WM_ACTIVATE, WA_INACTIVE | (uintptr_t(w->Minimized ? 1 : 0) << 16), 0);
      PostLocked(w, WM_ACTIVATEAPP, 0, 0);
      return;
    case PlatNativeEventKind::Moved: {
      PlatRect c = ClientOf(w);
      if (c.Left == e.A && c.Top == e.B) return;
      int dx = e.A - c.Left, dy = e.B - c.Top;
      w->Bounds =
          PlatRect{w->Bounds.Left + dx, w->Bounds.Top + dy, w->Bounds.Right + dx, w->Bounds.Bottom + dy};
      PostLocked(w, WM_MOVE, 0, PlatMakeLParam(e.A, e.B));
      return;
    }
    case PlatNativeEventKind::Resized:
      if (e.A == ClientWidth(w) && e.B == ClientHeight(w)) return;
      w->Bounds.Right = w->Bounds.Left + w->Frame.Left + e.A + w->Frame.Right;
      w->Bounds.Bottom = w->Bounds.Top + w->Frame.Top + e.B + w->Frame.Bottom;
      InvalidateWholeLocked(w);
      PostLocked(w, WM_SIZE, SIZE_RESTORED, PlatMakeLParam(e.A, e.B));
      return;
    case PlatNativeEventKind::Minimized:
      if (w->Minimized) return;
      w->Minimized = 1;
      PostLocked(w, WM_SIZE, SIZE_MINIMIZED, 0);
      return;
    case PlatNativeEventKind::Maximized:
      PostLocked(w, WM_SIZE, SIZE_MAXIMIZED, PlatMakeLParam(ClientWidth(w), ClientHeight(w)));
      return;
    case PlatNativeEventKind::Restored:
      if (!w->Minimized) return;
      w->Minimized = 0;
      InvalidateWholeLocked(w);
      PostLocked(w, WM_SIZE, SIZE_RESTORED, PlatMakeLParam(ClientWidth(w), ClientHeight(w)));
      return;
    case PlatNativeEventKind::Exposed:
      InvalidateWholeLocked(w);
      return;
    case PlatNativeEventKind::CloseRequested:
      PostLocked(w, WM_CLOSE, 0, 0);
      return;
    case PlatNativeEventKind::KeyDown:
      if (e.A <= 0 || e.A > 0xFE) return;
      PostLocked(w, WM_KEYDOWN, uintptr_t(e.A), intptr_t(1 | (e.B ? (1u << 30) : 0u)));
      return;
    case PlatNativeEventKind::KeyUp:
      if (e.A <= 0 || e.A > 0xFE) return;
      PostLocked(w, WM_KEYUP, uintptr_t(e.A), intptr_t(0xC0000001u));
      return;
    case PlatNativeEventKind::Text: {
      if (!e.Text) return;
      std::string bytes;
      if (!PlatUtf8ToCp932(e.Text, std::strlen(e.Text), &bytes)) return;
      // Code-page text arrives one byte per message, lead byte first.
      for (unsigned char ch : bytes) PostLocked(w, WM_CHAR, ch, 1);
      return;
    }
    case PlatNativeEventKind::MouseMove:
      PostLocked(w, WM_SETCURSOR, uintptr_t(intptr_t(0)), PlatMakeLParam(1, int(WM_MOUSEMOVE)));
      PostLocked(w, WM_MOUSEMOVE, 0, PlatMakeLParam(e.A, e.B));
      return;
    case PlatNativeEventKind::MouseButtonDown:
    case PlatNativeEventKind::MouseButtonUp: {
      static constexpr uint32_t kDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
      static constexpr uint32_t kUp[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
      if (e.A < 0 || e.A > 2) return;
      uint32_t message = e.Kind == PlatNativeEventKind::MouseButtonDown ? kDown[e.A] : kUp[e.A];
      PostLocked(w, WM_SETCURSOR, 0, PlatMakeLParam(1, int(message)));
      PostLocked(w, message, 0, PlatMakeLParam(e.X, e.Y));
      return;
    }
    case PlatNativeEventKind::MouseWheel:
      if (e.A == 0) return;
      PostLocked(w, WM_MOUSEWHEEL, uintptr_t(uint16_t(int16_t(e.A * 120))) << 16, PlatMakeLParam(e.X, e.Y));
      return;
    case PlatNativeEventKind::PadAdded:
    case PlatNativeEventKind::PadRemoved:
    case PlatNativeEventKind::PadAxis:
    case PlatNativeEventKind::PadButton:
    case PlatNativeEventKind::PadHat:
      return;  // input state only
  }
}
