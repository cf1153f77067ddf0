// Windows, their message queues, the cursor and the desktop.
//
// The library was written against a message-driven windowing model: a window
// class names a window procedure, each thread owns a queue, messages are
// posted to a queue and taken off it by the thread (peek, translate,
// dispatch), or sent straight to a procedure. This layer gives exactly that
// model over a back end: SDL2 in the program, a scripted fake in unit tests.
// Native events (focus, moves, the close button, keys, typed text) become the
// messages below, with the parameters a window procedure expects; key, pad
// and mouse events also feed the input state (platform/input.h).
//
// Every window belongs to the thread that made it; only that thread's peeks
// collect native events. A window procedure may pump messages itself (the
// layer holds no lock while a procedure runs).
#pragma once
#include <cstdint>

struct PlatWindowRec;
using PlatWindow = PlatWindowRec*;

// A peek filter that takes only messages posted to the thread itself.
inline PlatWindow const PLAT_THREAD_MESSAGES = reinterpret_cast<PlatWindow>(intptr_t(-1));

using PlatWndProc = intptr_t (*)(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct PlatMsg {
  PlatWindow Window;  // null for a message posted to the thread
  uint32_t Message;
  uintptr_t WParam;
  intptr_t LParam;
};

struct PlatRect {
  int32_t Left, Top, Right, Bottom;
};

// ---- Messages -----------------------------------------------------------------
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;      // lParam: client x (low word), y (high word), signed
constexpr uint32_t WM_SIZE = 0x0005;      // wParam: SIZE_*; lParam: client width, height
constexpr uint32_t WM_ACTIVATE = 0x0006;  // wParam: WA_* (low word), minimised (high word)
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;         // wParam: exit code
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;  // wParam: 1 active, 0 inactive
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;  // wParam: bits per pixel; lParam: width, height
constexpr uint32_t WM_KEYDOWN = 0x0100;        // wParam: virtual key
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;  // wParam: one code-page-932 byte
constexpr uint32_t WM_IME_STARTCOMPOSITION = 0x010D;
constexpr uint32_t WM_IME_ENDCOMPOSITION = 0x010E;
constexpr uint32_t WM_IME_COMPOSITION = 0x010F;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;  // lParam: client x, y
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;  // wParam high word: signed delta, 120 per notch
constexpr uint32_t WM_SIZING = 0x0214;      // wParam: WMSZ_* edge; lParam: PlatRect* window rectangle
constexpr uint32_t WM_MOVING = 0x0216;      // lParam: PlatRect* window rectangle
constexpr uint32_t WM_IME_SETCONTEXT = 0x0281;
constexpr uint32_t WM_IME_NOTIFY = 0x0282;
constexpr uint32_t MM_MCINOTIFY = 0x03B9;
constexpr uint32_t WM_USER = 0x0400;

constexpr uintptr_t WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
constexpr uintptr_t SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
constexpr uintptr_t SC_SCREENSAVE = 0xF140, SC_MONITORPOWER = 0xF170;
constexpr uintptr_t WMSZ_LEFT = 1, WMSZ_RIGHT = 2, WMSZ_TOP = 3, WMSZ_TOPLEFT = 4, WMSZ_TOPRIGHT = 5,
                    WMSZ_BOTTOM = 6, WMSZ_BOTTOMLEFT = 7, WMSZ_BOTTOMRIGHT = 8;

inline intptr_t PlatMakeLParam(int low, int high) {
  return intptr_t(uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16));
}
inline int PlatLowWord(uintptr_t value) { return int(value & 0xFFFF); }
inline int PlatHighWord(uintptr_t value) { return int((value >> 16) & 0xFFFF); }
inline int PlatSignedLowWord(intptr_t value) { return int(int16_t(value & 0xFFFF)); }
inline int PlatSignedHighWord(intptr_t value) { return int(int16_t((value >> 16) & 0xFFFF)); }

// ---- Virtual keys (wParam of WM_KEYDOWN / WM_KEYUP) -------------------------
constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
              VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
              VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
              VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_NUMPAD0 = 0x60,
              VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F,
              VK_F1 = 0x70, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91, VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1,
              VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3, VK_LMENU = 0xA4, VK_RMENU = 0xA5;
// Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).

// ---- Window styles -----------------------------------------------------------------
constexpr uint32_t WS_POPUP = 0x80000000u, WS_VISIBLE = 0x10000000u, WS_CAPTION = 0x00C00000u,
                   WS_SYSMENU = 0x00080000u, WS_THICKFRAME = 0x00040000u, WS_MINIMIZEBOX = 0x00020000u;
constexpr uint32_t WS_EX_TOPMOST = 0x8u, WS_EX_WINDOWEDGE = 0x100u, WS_EX_CLIENTEDGE = 0x200u;
constexpr int GWL_STYLE = -16, GWL_EXSTYLE = -20;
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_MINIMIZE = 6, SW_SHOW = 5, SW_RESTORE = 9;
// Z-order for PlatSetWindowPos.
constexpr intptr_t HWND_TOP = 0, HWND_TOPMOST = -1, HWND_NOTOPMOST = -2;
constexpr uint32_t SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOREDRAW = 0x8,
                   SWP_NOACTIVATE = 0x10;
constexpr uint32_t CS_VREDRAW = 0x1, CS_HREDRAW = 0x2;

// ---- Classes and windows ---------------------------------------------------------
struct PlatWindowClass {
  uint32_t Style;  // CS_*
  PlatWndProc Procedure;
  int IconResource;       // the icon's identifier (32512: the default icon)
  const char* ClassName;  // code page 932
};

// Registers a class; 0, or -1 when the name is taken or empty or the window
// system cannot start. The first registration starts the window system.
int PlatRegisterClass(const PlatWindowClass* windowClass);
// Unregisters a class that no window uses any more; 0 or -1. The last
// unregistration ends the window system.
int PlatUnregisterClass(const char* className);
// Replaces the class icon; 0 or -1.
int PlatSetClassIcon(const char* className, int iconResource);
// 1 when a top-level window of that class exists, in this process or in
// another copy of the program.
int PlatFindWindowByClass(const char* className);

// Creates a top-level window at the window rectangle (x, y, width, height);
// null on failure. WS_VISIBLE shows it at once.
PlatWindow PlatCreateWindow(uint32_t exStyle, const char* className, const char* title, uint32_t style, int x,
                            int y, int width, int height);
// A message-only window: a queue and a procedure on the calling thread, no
// native window (nothing is shown, no native events, no painting); it does
// not start the window system. Null on failure.
PlatWindow PlatCreateMessageWindow(PlatWndProc procedure);
// The thread that owns the window (its queue), or 0 for no window.
uint32_t PlatGetWindowThread(PlatWindow window);
// Sends WM_DESTROY to the window procedure, then the window goes (its queued
// messages with it). 0, or -1 for no window.
int PlatDestroyWindow(PlatWindow window);
// 1 while the window exists.
int PlatIsWindow(PlatWindow window);
int PlatShowWindow(PlatWindow window, int command);
// Paints at once (WM_PAINT sent) when the window needs painting.
int PlatUpdateWindow(PlatWindow window);
int PlatSetWindowText(PlatWindow window, const char* text);
// Sets GWL_STYLE or GWL_EXSTYLE and returns the previous value (0 on failure).
uint32_t PlatSetWindowLong(PlatWindow window, int index, uint32_t value);
uint32_t PlatGetWindowLong(PlatWindow window, int index);
// Moves and sizes the window rectangle; insertAfter is HWND_TOP, HWND_TOPMOST
// or HWND_NOTOPMOST. 0 or -1.
int PlatSetWindowPos(PlatWindow window, intptr_t insertAfter, int x, int y, int width, int height,
                     uint32_t flags);
int PlatMoveWindow(PlatWindow window, int x, int y, int width, int height, int repaint);
// The window rectangle in screen coordinates; 0 or -1.
int PlatGetWindowRect(PlatWindow window, PlatRect* out);
// The client rectangle: (0, 0, client width, client height); 0 or -1.
int PlatGetClientRect(PlatWindow window, PlatRect* out);
// Client to screen coordinates; 0 or -1.
int PlatClientToScreen(PlatWindow window, int* x, int* y);
// Grows a client rectangle to the window rectangle of a style; 0.
int PlatAdjustWindowRectEx(PlatRect* rect, uint32_t style, int hasMenu, uint32_t exStyle);
// Makes the window the active, foreground window; 0 or -1.
int PlatSetForegroundWindow(PlatWindow window);
int PlatBringWindowToTop(PlatWindow window);

// ---- Message queues -------------------------------------------------------------
// Posts to the queue of the window's thread; a null window posts to the
// calling thread's own queue. 0, or -1 for a window that does not exist.
int PlatPostMessage(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Drops every queued `message` of the window with that wParam (the window
// need not exist any more); returns how many went.
int PlatRemoveQueuedMessages(PlatWindow window, uint32_t message, uintptr_t wParam);
// 1 when exactly this message waits in the window's queue.
int PlatHasQueuedMessage(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// How many posted messages wait in the window's queue (0 for a window that
// does not exist).
int PlatCountQueuedMessages(PlatWindow window);
// Asks the calling thread's queue to deliver WM_QUIT once it is empty.
void PlatPostQuitMessage(int exitCode);
// Looks at the calling thread's queue. filter: null any message,
// PLAT_THREAD_MESSAGES only thread messages, else that window's. remove 1
// takes the message off the queue. 1 when a message was found, else 0.
// Order: posted messages, then WM_QUIT, then WM_PAINT for a window needing
// paint (WM_PAINT stays until the window is painted).
int PlatPeekMessage(PlatMsg* out, PlatWindow filter, int remove);
// Turns a key press into its WM_CHAR where the key types a control character
// (Enter, Backspace, Tab, Escape); typed text arrives as WM_CHAR already.
int PlatTranslateMessage(const PlatMsg* message);
// Calls the procedure of the message's window; thread messages go nowhere.
intptr_t PlatDispatchMessage(const PlatMsg* message);
// Calls the window procedure now, on the calling thread; 0 for no window.
intptr_t PlatSendMessage(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The default handling: WM_CLOSE destroys the window, WM_PAINT validates it.
intptr_t PlatDefWindowProc(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---- Painting --------------------------------------------------------------------
// Marks a rectangle (null: the whole client area) as needing paint.
int PlatInvalidateRect(PlatWindow window, const PlatRect* rect);
// Starts painting: the rectangle needing paint (client coordinates) and the
// window becomes valid. 0, or -1 when there is nothing to paint on.
int PlatBeginPaint(PlatWindow window, PlatRect* paintRect);
int PlatEndPaint(PlatWindow window);
// Fills a client rectangle (null: all of it) with black on the screen.
int PlatFillClientBlack(PlatWindow window, const PlatRect* rect);

// ---- Display ----------------------------------------------------------------------
// The desktop's size and colour depth (bytes per pixel x 8); any may be null.
void PlatGetDesktopMetrics(int* width, int* height, int* bits);
// After the library changed the display mode: posts WM_DISPLAYCHANGE to every
// window of the calling thread.
void PlatNotifyDisplayChange(int bits, int width, int height);
// Screen saver and display power-off allowed (1) or held off (0).
void PlatSetScreenSaverActive(int active);

// ---- Cursor -------------------------------------------------------------------------
// Raises (show 1) or lowers the cursor's show count; the cursor shows while
// the count is 0 or more. Returns the new count.
int PlatShowCursor(int show);
// Sets the cursor shape over the windows: 1 the arrow, 0 none.
void PlatSetCursor(int arrow);
// The cursor position in screen coordinates; 0.
int PlatGetCursorPos(int* x, int* y);
