#include "app/window_proc.h"

#include "app/main_window.h"
#include "app/service_hooks.h"
#include "core/log.h"
#include "core/system_state.h"
#include "graphics/draw_target.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "network/network.h"
#include "sound/sound.h"

namespace {

WindowState& Win() { return SystemState.Window; }
bool Windowed() { return SystemState.Kept.WindowMode != 0; }

struct TypedKey {
  int VirtualKey;
  unsigned char Code;
};

// Keys that put an editing code into the typed-character buffer.
constexpr TypedKey kTypedKeys[] = {
    {VK_DELETE, 0x10}, {VK_LEFT, 0x1D}, {VK_RIGHT, 0x1C}, {VK_UP, 0x1E}, {VK_DOWN, 0x1F},
};

// Rebuilds the display after the device was lost or the desktop's mode
// changed. Input is ended with the display and started again once it is
// back (left ended, the keyboard and pads would stay dead); once the graphs
// are marked lost and reloaded, the fonts' caches are made again and the
// movies bound to the display are reopened.
void RebuildDisplay() {
  InputServices.TermInput();
  DisplayServices.ReapplyGraphicsSettings();
  FontServices.RecreateAllFonts();
  MovieServices.ReopenAllMovies();
  InputServices.InitInput();
}

void OnActivation(int value, uintptr_t wParam) {
  Win().Active = value != 0 ? 1 : 0;
  if (Win().Creating) return;
  bool fullScreen = !Windowed();
  if (Win().Active) {
    InputServices.RequestImeRestoreOnActivate();
    DisplayServices.CheckAllSurface2DLost();
    DisplayServices.RestoreAllSurface3D();
    if (fullScreen && SystemState.Initialised) {
      // A minimised full-screen window has no screen to re-apply settings to.
      if (PlatHighWord(wParam) == 0) RebuildDisplay();
    }
    MovieServices.ResumeAllMoviePlayback();
    InputServices.RefreshInputAcquire();
  } else {
    if (fullScreen && DisplayServices.IsDisplayModeChanged()) {
      if (!DisplayServices.HasDirectDrawOutput()) {
        DisplayServices.ReleaseDirectDraw();
        PlatShowWindow(GetMainWindow(), SW_MINIMIZE);
      } else {
        DisplayServices.ReleaseDirect3D();
      }
    }
    if (fullScreen && DisplayServices.IsDisplayModeChanged() && GetDirectDrawObject()) {
      MovieServices.PauseAllMoviePlayback();
    } else {
      MovieServices.PauseAllMoviePlayback();
      InputServices.RefreshInputAcquire();
    }
  }
  InputServices.ApplyPadVibration();
}

void OnDisplayChange(PlatWindow window, int bits, intptr_t size) {
  int newWidth = PlatLowWord(uintptr_t(size)), newHeight = PlatHighWord(uintptr_t(size));
  if (!Windowed() || Win().ModeChanging) Win().DisplayChangeSeen = 1;
  if (!Windowed()) return;

  int width = 0, height = 0, libBits = 0;
  GetScreenModeInfo(&width, &height, &libBits);
  if (width == newWidth && height == newHeight && libBits == bits) {
    Win().DisplayChangeSeen = 1;
    return;
  }
  bool refused = bits == 24 || (bits != libBits && bits == 8) || width > newWidth || height > newHeight;
  if (refused) {
    LogWrite("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
    LogWrite("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
    if (!Win().ClosePosted) {
      Win().ClosePosted = 1;
      PlatPostMessage(window, WM_CLOSE, 0, 0);
    }
    return;
  }
  MovieServices.ReleaseAllMovieStreams();
  DisplayServices.UpdateScreenColorFormat();
  RebuildDisplay();
  MovieServices.ResumeAllMoviePlayback();
  Win().DisplayChangeSeen = 1;
}

// Keeps the client area in the screen's proportion while the frame is
// dragged, and takes the new size as the window scale.
void OnSizing(PlatWindow window, uintptr_t edge, PlatRect* proposed) {
  int sw = 640, sh = 480;
  GetScreenSize(&sw, &sh);
  if (!proposed || sw <= 0 || sh <= 0) return;
  PlatRect w, c;
  if (PlatGetWindowRect(window, &w) != 0 || PlatGetClientRect(window, &c) != 0) return;
  int fw = (w.Right - w.Left) - (c.Right - c.Left);
  int fh = (w.Bottom - w.Top) - (c.Bottom - c.Top);
  int cw = (proposed->Right - proposed->Left) - fw;
  int ch = (proposed->Bottom - proposed->Top) - fh;
  bool heightFollows;
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_RIGHT:
      heightFollows = true;
      break;
    case WMSZ_TOP:
    case WMSZ_BOTTOM:
      heightFollows = false;
      break;
    default:
      heightFollows = double(ch) / sh < double(cw) / sw;
      break;
  }
  if (heightFollows)
    proposed->Bottom = proposed->Top + int(int64_t(cw) * sh / sw) + fh;
  else
    proposed->Right = proposed->Left + int(int64_t(ch) * sw / sh) + fw;
  SystemState.Kept.WindowScale = double((proposed->Right - proposed->Left) - fw) / sw;
}

bool OnPaint(PlatWindow window) {
  PlatRect paint;
  if (PlatBeginPaint(window, &paint) != 0) return false;
  if (Windowed()) {
    Win().Painting = 1;
    if (!SystemState.Initialised) {
      PlatFillClientBlack(window, &paint);
    } else if (DisplayServices.GetDrawTarget() == DRAW_TARGET_BACK) {
      // A repaint must not wait for the vertical blank.
      int wait = DisplayServices.GetFlipWaitVBlank();
      DisplayServices.SetFlipWaitVBlank(0);
      Rect r{paint.Left, paint.Top, paint.Right, paint.Bottom};
      DisplayServices.PresentSoftScreen(&r);
      DisplayServices.SetFlipWaitVBlank(wait);
    }
    Win().Painting = 0;
  }
  PlatEndPaint(window);
  return true;
}

void PushChar(unsigned char code) { InputServices.PushTypedChar(code); }

}  // namespace

intptr_t MainWindowProc(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_DESTROY:
      LogWrite("ウインドウが破棄されようとしています\n");
      LogWrite("ソフトを終了する準備が整いました\n");
      PlatPostQuitMessage(0);
      Win().Quit = 1;
      break;
    case WM_MOVE:
      if (Windowed() && !Win().ModeChanging) OnWindowMoved(lParam);
      break;
    case WM_SIZE:
      if (wParam != SIZE_MAXIMIZED) UpdateWindowPlacement();
      break;
    case WM_ACTIVATE:
      OnActivation(PlatLowWord(wParam), wParam);
      break;
    case WM_PAINT:
      if (OnPaint(window)) return 0;
      break;
    case WM_CLOSE:
      LogWrite("ウインドウを閉じようとしています\n");
      PlatDestroyWindow(window);
      if (Win().ClosingState == CLOSING_NONE) Win().ClosingState = CLOSING_BY_WM_CLOSE;
      return 0;
    case WM_ACTIVATEAPP:
      if (wParam == 0) OnActivation(0, 0);
      break;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      if (Win().CursorVisible == 0) {
        PlatSetCursor(0);
        while (PlatShowCursor(0) >= 0) {}
      }
      break;
    case WM_DISPLAYCHANGE:
      OnDisplayChange(window, int(wParam), lParam);
      break;
    case WM_KEYDOWN:
      if (!InputServices.IsTypedCharBufferFull()) {
        for (const TypedKey& key : kTypedKeys)
          if (uintptr_t(key.VirtualKey) == wParam) PushChar(key.Code);
      }
      break;
    case WM_CHAR: {
      unsigned char c = static_cast<unsigned char>(wParam & 0xFF);
      if (c == 0x0A)
        PushChar(0x0D);
      else if (c >= 0x20 || c == 0x08 || c == 0x09 || c == 0x0D || c == 0x10 || c == 0x1B)
        PushChar(c);
      break;
    }
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
      return InputServices.HandleImeMessage(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
      if (wParam == SC_MONITORPOWER || wParam == SC_SCREENSAVE) return 1;
      break;
    case WM_SIZING:
      if (Windowed()) OnSizing(window, wParam, reinterpret_cast<PlatRect*>(lParam));
      break;
    case WM_MOVING:
      if (!Windowed() && lParam) PlatGetWindowRect(window, reinterpret_cast<PlatRect*>(lParam));
      break;
    case MM_MCINOTIFY:
      OnMciNotify(window, message, wParam, lParam);
      break;
    case SocketNotifyMessage:
      return OnSocketMessage(wParam, lParam);
    default:
      break;
  }
  return PlatDefWindowProc(window, message, wParam, lParam);
}
