#include "app/main_window.h"

#include "app/mouse.h"
#include "app/pump.h"
#include "app/service_hooks.h"
#include "app/window_proc.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/random.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "graphics/draw_target.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/sysinfo.h"
#include "platform/thread.h"

namespace {

constexpr const char* kDefaultClassName = "K274615R";
constexpr const char* kDefaultTitle = "Vexlo";
// The timer test's limits: one second, or 60 changes of either clock.
constexpr uint32_t kTimerTestMs = 1000;
constexpr int kTimerTestChanges = 60;
constexpr uint32_t kSettleMs = 200;

WindowState& Win() { return SystemState.Window; }
PlatWindow Main() { return static_cast<PlatWindow>(SystemState.Kept.MainWindow); }

int ScreenWidth() {
  int w = 640, h = 480;
  GetScreenSize(&w, &h);
  return w;
}
int ScreenHeight() {
  int w = 640, h = 480;
  GetScreenSize(&w, &h);
  return h;
}

uint32_t WindowedStyle() { return WINDOWED_STYLE | (Win().StyleApplied ? WS_VISIBLE : 0u); }

// The client area of the main window in screen coordinates, or false.
bool ReadClientScreenRect(PlatRect* out) {
  PlatRect c;
  if (PlatGetClientRect(Main(), &c) != 0) return false;
  int x = 0, y = 0;
  PlatClientToScreen(Main(), &x, &y);
  *out = PlatRect{x, y, x + c.Right, y + c.Bottom};
  return true;
}

void StoreClientRect(const PlatRect& r) {
  Win().ClientRect[0] = r.Left;
  Win().ClientRect[1] = r.Top;
  Win().ClientRect[2] = r.Right;
  Win().ClientRect[3] = r.Bottom;
}

// Client size for the windowed mode: the screen size times the window scale.
void ScaledClientSize(int* width, int* height) {
  double scale = GetWindowScale();
  *width = int(ScreenWidth() * scale);
  *height = int(ScreenHeight() * scale);
}

// The window rectangle for a client size, centred on the saved desktop.
PlatRect CentredWindowRect(int clientWidth, int clientHeight, uint32_t style, uint32_t exStyle) {
  PlatRect r{0, 0, clientWidth, clientHeight};
  PlatAdjustWindowRectEx(&r, style, 0, exStyle);
  int dx = (Win().DesktopWidth - (r.Right - r.Left)) / 2;
  int dy = (Win().DesktopHeight - (r.Bottom - r.Top)) / 2;
  return PlatRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// Measures how often the millisecond clock and the high-resolution counter
// change, and keeps the counter unless the millisecond clock changed more.
void RunTimerTest() {
  LogWrite("タイマーの精度を検査します\n");
  int mmChanges = 0, counterChanges = 0;
  uint32_t start = PlatGetMilliseconds();
  uint32_t lastMs = start;
  uint64_t lastCounter = PlatQueryCounter();
  while (MillisecondsSince(start, PlatGetMilliseconds()) < kTimerTestMs && mmChanges < kTimerTestChanges &&
         counterChanges < kTimerTestChanges) {
    uint32_t ms = PlatGetMilliseconds();
    if (ms != lastMs) ++mmChanges;
    lastMs = ms;
    uint64_t counter = PlatQueryCounter();
    if (counter != lastCounter) ++counterChanges;
    lastCounter = counter;
    if (PumpWindowMessagesImpl() != 0) break;
  }
  LogPrintf("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", mmChanges,
            counterChanges);
  LogWrite(" ");
  if (mmChanges > counterChanges) {
    LogPrintf("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", int(Win().TimerPeriod));
    SystemState.PerfCounterUsable = 0;
  } else {
    LogPrintf("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
              double(SystemState.PerfCounterFrequency) / 1000.0);
  }
  LogWrite(" ");
}

// Undoes the steps of InitMainWindow that a failure leaves behind.
int FailInitMainWindow() {
  Win().Quit = 1;
  if (Win().ClassRegistered) {
    PlatUnregisterClass(SystemState.Kept.WindowClassName);
    Win().ClassRegistered = 0;
  }
  PlatSetScreenSaverActive(1);
  Win().TimerPeriodBegun = 0;
  Win().Creating = 0;
  return -1;
}

}  // namespace

int InitMainWindow() {
  // The reset keeps the settings (SystemState.Kept); COM was initialised just
  // before and must still be ended at shutdown, so its flag is carried over.
  int32_t comInitialised = SystemState.ComInitialised;
  ResetSystemState();
  SystemState.ComInitialised = comInitialised;

  SystemStateKept& kept = SystemState.Kept;
  if (kept.WindowClassName[0] == '\0')
    StrCopyN(kept.WindowClassName, sizeof kept.WindowClassName,
             kept.WindowTitle[0] ? kept.WindowTitle : kDefaultClassName);
  Win().MainThreadId = PlatCurrentThreadId();

  PlatMemoryStatus memory{};
  PlatGetMemoryStatus(&memory);
  LogPrintf("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", double(memory.TotalPhysical) / 1048576.0,
            double(memory.AvailablePhysical) / 1048576.0);
  char text[64];
  FormatStringN(text, sizeof text, "%.2fMB\n", double(memory.AvailablePhysical) / 1048576.0);
  PlatDebugOutput(text);
  kept.Info.TotalPhysicalMemory = memory.TotalPhysical;
  kept.Info.FreePhysicalMemory = memory.AvailablePhysical;
  kept.Info.TotalPageFile = memory.TotalPageFile;
  kept.Info.FreePageFile = memory.AvailablePageFile;
  kept.Info.TotalVirtualMemory = memory.TotalVirtual;
  kept.Info.FreeVirtualMemory = memory.AvailableVirtual;

  PlatGetDesktopMetrics(&Win().DesktopWidth, &Win().DesktopHeight, &Win().DesktopBits);

  SystemState.PerfCounterFrequency = PlatCounterFrequency();
  SystemState.PerfCounterUsable = SystemState.PerfCounterFrequency != 0;
  // The millisecond clock already runs at its finest period here; the period
  // is remembered so that EndMainWindow ends what start-up began.
  Win().TimerPeriod = PlatTimerMinPeriod();
  Win().TimerPeriodBegun = 1;
  if (SystemState.PerfCounterUsable) RunTimerTest();

  SeedRandom(GetMillisecondClock());
  PlatSetScreenSaverActive(0);

  LogWrite("ソフトの二重起動検査... ");
  if (PlatFindWindowByClass(kept.WindowClassName)) {
    LogWrite("二重起動されています、ソフトを終了します\n");
    return FailInitMainWindow();
  }
  LogWrite("二重起動はされていませんでした\n");

  Win().Creating = 1;
  PlatWindowClass windowClass{CS_HREDRAW | CS_VREDRAW, MainWindowProc,
                              kept.IconResource ? kept.IconResource : DEFAULT_ICON_RESOURCE,
                              kept.WindowClassName};
  LogWrite("ウインドウクラスを登録します... ");
  if (PlatRegisterClass(&windowClass) != 0) {
    LogWrite("ウインドウクラスの登録に失敗しました\n");
    return FailInitMainWindow();
  }
  Win().ClassRegistered = 1;
  LogWrite("登録に成功しました\n");

  if (kept.WindowTitle[0] == '\0') StrCopyN(kept.WindowTitle, sizeof kept.WindowTitle, kDefaultTitle);

  PlatWindow window;
  if (kept.WindowMode) {
    LogWrite("ウインドウモード起動用のウインドウを作成します\n");
    Win().CursorRequest = 1;
    int cw, ch;
    ScaledClientSize(&cw, &ch);
    PlatRect r = CentredWindowRect(cw, ch, WindowedStyle(), WINDOWED_EX_STYLE);
    window = PlatCreateWindow(WINDOWED_EX_STYLE, kept.WindowClassName, kept.WindowTitle, WindowedStyle(),
                              r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  } else {
    LogWrite("フルスクリーンモード用のウインドウを作成します\n");
    Win().CursorRequest = 0;
    window = PlatCreateWindow(FULLSCREEN_EX_STYLE, kept.WindowClassName, kept.WindowTitle, FULLSCREEN_STYLE,
                              0, 0, ScreenWidth(), ScreenHeight());
  }
  if (!window) {
    LogWrite("ウインドウの作成に失敗しました\n");
    return FailInitMainWindow();
  }
  kept.MainWindow = window;
  LogWrite("ウインドウの作成に成功しました\n");
  PlatShowWindow(window, SW_SHOW);
  PlatUpdateWindow(window);

  Win().ClosePosted = 0;
  Win().Active = 1;
  if (!kept.WindowMode) {
    LogWrite("カーソルを不可視にしました\n");
    PlatSetCursor(0);
  }
  // Typed text reaches the window as code-page characters; no input method
  // window of the library's own is involved.
  LogWrite("ＩＭＥを無効にしました\n");
  if (kept.WindowMode) {
    PlatRect client;
    if (ReadClientScreenRect(&client)) StoreClientRect(client);
  }

  UpdateDoubleByteTextFlag();
  SetMouseCursorVisibleImpl(Win().CursorRequest);
  Win().ClosingState = CLOSING_NONE;

  PlatBringWindowToTop(window);
  // Let the new window settle: its first activation, moves and paints.
  uint32_t start = GetMillisecondClock();
  while (MillisecondsSince(start, GetMillisecondClock()) < kSettleMs) {
    PumpWindowMessagesImpl();
    PlatSleep(1);
  }
  UpdateWindowPlacement();
  Win().Creating = 0;
  return 0;
}

int EndMainWindow() {
  PlatWindow window = Main();
  if (!window) return 0;
  PlatSetScreenSaverActive(1);
  SetMouseCursorVisibleImpl(1);
  if (!Win().ClosePosted) {
    Win().ClosePosted = 1;
    PlatPostMessage(window, WM_CLOSE, 0, 0);
  }
  PlatMsg pending;
  while (PumpWindowMessagesImpl() == 0) {
    // A close posted earlier that was taken without reaching the window must
    // not hold the end forever: ask again once nothing else is queued.
    if (PlatIsWindow(window) && !PlatPeekMessage(&pending, window, 0))
      PlatPostMessage(window, WM_CLOSE, 0, 0);
  }
  // A quit that came from elsewhere ends the pump before the window is gone.
  // The destruction then posts a quit of its own that no pump takes any
  // more: it is taken here, or the next start of the library would end at
  // its first pump.
  if (PlatIsWindow(window)) {
    PlatDestroyWindow(window);
    PlatMsg quit;
    while (PlatPeekMessage(&quit, PLAT_THREAD_MESSAGES, 1) && quit.Message != WM_QUIT) {}
  }
  if (Win().ClassRegistered) {
    PlatUnregisterClass(SystemState.Kept.WindowClassName);
    Win().ClassRegistered = 0;
  }
  EndCharCodeBuffer();
  Win().TimerPeriodBegun = 0;
  SystemState.Kept.MainWindow = nullptr;
  return 0;
}

int ChangeWindowModeImpl(int flag) {
  LogWrite("ChangeWindowMode実行 \n");
  if (flag == SystemState.Kept.WindowMode) return 0;
  Win().StyleApplied = 1;
  Win().DisplayChangeSeen = 0;
  StoreWindowModeFlag(flag);
  if (!Main()) return 0;

  Win().ModeChanging = 1;
  ApplyWindowModeStyle();
  // The screen mode's change starts the graphics manager again, and the
  // fonts with it, as at start-up.
  const bool running = SystemState.Initialised != 0;
  if (running) FontServices.TerminateFontSystem();
  int result = DisplayServices.ChangeScreenMode(-1, -1, -1, 1, -1);
  if (running) FontServices.InitializeFontSystem();
  // The display reports its new mode with a message; a display that never
  // does must not hold the program forever.
  uint32_t start = GetMillisecondClock();
  while (PumpWindowMessagesImpl() == 0 && !Win().DisplayChangeSeen) {
    if (MillisecondsSince(start, GetMillisecondClock()) >= MODE_CHANGE_WAIT_LIMIT_MS) break;
    PlatSleep(1);
  }
  Win().ModeChanging = 0;
  return result;
}

int StoreWindowModeFlag(int flag) {
  SystemState.Kept.WindowMode = flag;
  LogWrite(flag ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
  return 0;
}

int ApplyWindowModeStyle() {
  PlatWindow window = Main();
  if (!window) return 0;
  int sw = ScreenWidth(), sh = ScreenHeight();
  if (!SystemState.Kept.WindowMode) {
    LogWrite("ウインドウスタイルをフルスクリーンモード用に変更します... ");
    PlatSetWindowLong(window, GWL_EXSTYLE, FULLSCREEN_EX_STYLE);
    PlatSetWindowLong(window, GWL_STYLE, FULLSCREEN_STYLE);
    StoreClientRect(PlatRect{0, 0, sw, sh});
    PlatShowWindow(window, SW_SHOW);
    PlatUpdateWindow(window);
    PlatSetWindowPos(window, HWND_TOPMOST, 0, 0, sw, sh, SWP_NOREDRAW);
    SetMouseCursorVisibleImpl(0);
  } else {
    LogWrite("ウインドウスタイルをウインドウモード用に変更します... ");
    PlatSetWindowLong(window, GWL_EXSTYLE, WINDOWED_EX_STYLE);
    PlatSetWindowLong(window, GWL_STYLE, WindowedStyle());
    int cw, ch;
    ScaledClientSize(&cw, &ch);
    PlatRect r = CentredWindowRect(cw, ch, WindowedStyle(), WINDOWED_EX_STYLE);
    PlatSetWindowPos(window, HWND_TOP, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, 0);
    PlatRect client;
    if (ReadClientScreenRect(&client)) {
      StoreClientRect(client);
      // A window taller or wider than the desktop would start its client
      // area off the screen: move it so the picture starts at (0, 0).
      if (client.Left < 0 || client.Top < 0) {
        int dx = client.Left < 0 ? -client.Left : 0;
        int dy = client.Top < 0 ? -client.Top : 0;
        PlatRect w;
        PlatGetWindowRect(window, &w);
        PlatSetWindowPos(window, HWND_TOP, w.Left + dx, w.Top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        StoreClientRect(PlatRect{0, 0, client.Right - client.Left, client.Bottom - client.Top});
      }
    }
    SetMouseCursorVisibleImpl(1);
  }
  LogWrite("完了\n");
  PlatSetForegroundWindow(window);
  PlatPostMessage(window, WM_SETCURSOR, reinterpret_cast<uintptr_t>(window), 0);
  return 0;
}

int UpdateWindowPlacement() {
  PlatWindow window = Main();
  if (!window) return 0;
  if (SystemState.Kept.WindowScale <= 0.0) SystemState.Kept.WindowScale = 1.0;
  double scale = SystemState.Kept.WindowMode ? SystemState.Kept.WindowScale : 1.0;
  int width = int(ScreenWidth() * scale), height = int(ScreenHeight() * scale);
  PlatRect w, c;
  if (PlatGetWindowRect(window, &w) != 0 || PlatGetClientRect(window, &c) != 0) return 0;
  int frameW = (w.Right - w.Left) - (c.Right - c.Left);
  int frameH = (w.Bottom - w.Top) - (c.Bottom - c.Top);
  PlatMoveWindow(window, w.Left, w.Top, width + frameW, height + frameH, 1);
  if (SystemState.Kept.WindowMode && !Win().StyleApplied) {
    Win().StyleApplied = 1;
    ApplyWindowModeStyle();
  }
  return 0;
}

int OnWindowMoved(intptr_t position) {
  PlatRect c;
  if (PlatGetClientRect(Main(), &c) != 0) return 0;
  int x = PlatSignedLowWord(position), y = PlatSignedHighWord(position);
  StoreClientRect(PlatRect{x, y, x + c.Right, y + c.Bottom});
  if (DisplayServices.GetDrawTarget() == DRAW_TARGET_FRONT && !GetSeparateBackLayout()) {
    Rect target{x, y, x + c.Right, y + c.Bottom};
    DisplayServices.SetDrawTargetRect(&target);
  }
  Rect clip{};
  GetStoredDrawClipArgs(&clip);
  DisplayServices.SetDrawClipRect(clip.Left, clip.Top, clip.Right, clip.Bottom);
  return 0;
}

int BringWindowToFront(void* window, int topmost) {
  // Foreground rules between processes do not apply here: raising the
  // window is all it takes to bring it to the front.
  int result = PlatSetForegroundWindow(static_cast<PlatWindow>(window));
  if (topmost == 1)
    result = PlatSetWindowPos(Main(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
  return result;
}

int SetMainWindowTitleImpl(const char* text) {
  if (!text) text = "";
  if (Main()) PlatSetWindowText(Main(), text);
  StrCopyN(SystemState.Kept.WindowTitle, sizeof SystemState.Kept.WindowTitle, text);
  return 0;
}

int SetWindowIconResourceImpl(int identifier) {
  SystemState.Kept.IconResource = identifier;
  if (Main())
    PlatSetClassIcon(SystemState.Kept.WindowClassName, identifier ? identifier : DEFAULT_ICON_RESOURCE);
  return 0;
}
