// The display back end's state: the screen mode and format, software drawing
// with output through the window alone, the front and back screen images,
// and the start, end and change of the display mode.
#include <cstring>

#include "core/log.h"
#include "core/window_query.h"
#include "graphics/drawstate.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "platform/present.h"
#include "platform/window.h"
#include "softrender/memimg_tables.h"

DirectDrawStateBlock DirectDrawState;

namespace {

bool g_tablesBuilt = false;

bool AcceptedDepth(int bits) { return bits == 16 || bits == 32; }

void ReleaseScreenImages() {
  DirectDrawStateBlock& d = DirectDrawState;
  if (IsValidMemImg(&d.FrontImage)) TerminateMemImg(&d.FrontImage);
  if (IsValidMemImg(&d.BackImage)) TerminateMemImg(&d.BackImage);
  std::memset(&d.FrontImage, 0, sizeof d.FrontImage);
  std::memset(&d.BackImage, 0, sizeof d.BackImage);
  d.TargetImage = nullptr;
}

// Black in the screen image format (the bits that belong to no channel set).
uint32_t ScreenBlack(const MEMIMG* img) { return PackColorForFormat(img->Base->Format, 0, 0, 0, 255); }

void ShowFullScreen() {
  PlatWindow w = GetMainWindow();
  if (w) PlatSetPresentFullscreen(w, IsWindowedMode() ? 0 : 1);
}

}  // namespace

int GetSoftwareRenderRequest() { return DirectDrawState.SoftwareRequest; }

int SetSoftwareRenderRequest(int flag) {
  // Output through the window alone always draws in software.
  DirectDrawState.SoftwareRequest = DirectDrawState.GdiOnly ? 1 : (flag ? 1 : 0);
  return 0;
}

int SelectRenderMode(int flag) {
  DirectDrawStateBlock& d = DirectDrawState;
  if (flag == 0) {
    d.GdiOnly = 1;
    d.SoftwareDrawing = 1;
    d.SoftwareRequest = 1;
  } else if (!d.Started) {
    // Leaving software drawing needs a display device; the next start looks
    // for one (and falls back when there is none).
    d.GdiOnly = 0;
    d.SoftwareDrawing = 0;
    d.SoftwareRequest = 0;
  }
  return 0;
}

int SetSeparateBackLayout(int flag) {
  if (!DirectDrawState.DirectDraw) DirectDrawState.SeparateBack = flag ? 1 : 0;
  return 0;
}
int GetSeparateBackLayout() { return DirectDrawState.SeparateBack; }

int GetScreenSize(int* width, int* height) {
  const DirectDrawStateBlock& d = DirectDrawState;
  if (width) *width = d.ScreenWidth > 0 ? d.ScreenWidth : DEFAULT_SCREEN_WIDTH;
  if (height) *height = d.ScreenHeight > 0 ? d.ScreenHeight : DEFAULT_SCREEN_HEIGHT;
  return 0;
}

int GetScreenColorBits() {
  return DirectDrawState.ScreenBits > 0 ? DirectDrawState.ScreenBits : DEFAULT_SCREEN_BITS;
}

void* GetDirectDrawObject() { return DirectDrawState.DirectDraw; }
int HasDirectDrawOutput() { return DirectDrawState.GdiOnly ? 0 : 1; }
int IsDisplayModeChanged() { return DirectDrawState.DisplayModeChanged; }

const PixelFormatRecord* GetScreenPixelFormatImpl() {
  if (DirectDrawState.ScreenPixelFormat.Size == 0) UpdateScreenColorFormat();
  return &DirectDrawState.ScreenPixelFormat;
}

const ColorFormat* GetScreenColorData() {
  if (DirectDrawState.ScreenFormat.BitDepth == 0) UpdateScreenColorFormat();
  return &DirectDrawState.ScreenFormat;
}

int GetFlipToGdiMode() { return DirectDrawState.FlipToGdi; }
int SetFlipToGdiMode(int flag) {
  // Output already goes through the window, so a menu is always visible.
  DirectDrawState.FlipToGdi = flag;
  return 0;
}

int SetScreenModeSetting(int width, int height, int bits) {
  if (DirectDrawState.Started) return -1;
  if (width < 0 || height < 0 || width > 8192 || height > 8192 || (bits != 0 && !AcceptedDepth(bits)))
    return -1;
  DirectDrawState.ScreenWidth = width;
  DirectDrawState.ScreenHeight = height;
  DirectDrawState.ScreenBits = bits;
  return 0;
}

int UpdateScreenColorFormat() {
  DirectDrawStateBlock& d = DirectDrawState;
  const int bits = GetScreenColorBits();
  d.DisplayBits = bits;
  if (bits == 16)
    MakeRgbPixelFormatImpl(&d.ScreenPixelFormat, 16, 0xF800, 0x07E0, 0x001F, 0);
  else if (bits == 8)
    MakeRgbPixelFormatImpl(&d.ScreenPixelFormat, 8, 0, 0, 0, 0);
  else
    MakeRgbPixelFormatImpl(&d.ScreenPixelFormat, bits, 0xFF0000, 0xFF00, 0xFF, 0);
  ColorFormatFromPixelFormat(&d.ScreenPixelFormat, &d.ScreenFormat);
  return 0;
}

int CreateMainSurfaces() {
  DirectDrawStateBlock& d = DirectDrawState;
  ReleaseScreenImages();
  int w, h;
  GetScreenSize(&w, &h);
  const int type = GetScreenColorBits() == 16 ? 0 : 1;
  if (InitializeMemImgForScreen(&d.FrontImage, w, h, type) != 0 ||
      InitializeMemImgForScreen(&d.BackImage, w, h, type) != 0) {
    ReleaseScreenImages();
    LogWrite("メモリイメージの作成に失敗しました\n");
    return -1;
  }
  ClearMemImgRect(&d.FrontImage, nullptr, ScreenBlack(&d.FrontImage));
  ClearMemImgRect(&d.BackImage, nullptr, ScreenBlack(&d.BackImage));
  d.FrontStale = 0;
  d.TargetImage = &d.BackImage;
  return 0;
}

int ReleaseMainSurfaces() {
  ReleaseScreenImages();
  return 0;
}

int InitDirectDraw() {
  DirectDrawStateBlock& d = DirectDrawState;
  if (!g_tablesBuilt) {
    InitMemImgTables();
    g_tablesBuilt = true;
  }
  // No display device object exists on this machine: only software drawing
  // with output through the window can start.
  if (!d.SoftwareDrawing) {
    LogWrite("DirectDraw オブジェクトを作成できません\n");
    return -1;
  }
  d.GdiOnly = 1;
  d.DirectDraw = nullptr;
  if (!AcceptedDepth(GetScreenColorBits())) d.ScreenBits = DEFAULT_SCREEN_BITS;
  UpdateScreenColorFormat();
  if (CreateMainSurfaces() != 0) return -1;
  d.Started = 1;
  PlatSetPresentVSync(GraphicsState.NoVBlankWait ? 0 : 1);
  ShowFullScreen();
  InitGraphicsManager();
  return 0;
}

int TermDirectDraw() {
  DirectDrawStateBlock& d = DirectDrawState;
  TermGraphicsManager();
  DeleteAllSurface2DChecked();
  ReleaseScreenImages();
  PlatEndPresentation();
  d.Started = 0;
  d.BlendImage = nullptr;
  return 0;
}

int ChangeScreenMode(int width, int height, int bits, int flag, int refresh) {
  (void)flag;
  (void)refresh;
  DirectDrawStateBlock& d = DirectDrawState;
  int w, h;
  GetScreenSize(&w, &h);
  const int newW = width == -1 ? w : width, newH = height == -1 ? h : height;
  const int newBits = bits == -1 ? GetScreenColorBits() : bits;
  if (newW <= 0 || newH <= 0 || newW > 8192 || newH > 8192 || !AcceptedDepth(newBits)) return -1;
  if (!d.Started) {
    d.ScreenWidth = newW;
    d.ScreenHeight = newH;
    d.ScreenBits = newBits;
    // The window waits for the display to report its mode.
    PlatNotifyDisplayChange(newBits, newW, newH);
    return 0;
  }
  LogWrite("画面モードの変更処理を開始します\n");
  // The transparent colour survives the manager's reset.
  const uint32_t transparent = GraphicsState.TransparentColor;
  TermGraphicsManager();
  DeleteAllSurface2DChecked();
  d.ScreenWidth = newW;
  d.ScreenHeight = newH;
  d.ScreenBits = newBits;
  UpdateScreenColorFormat();
  int result = CreateMainSurfaces();
  if (result != 0) {
    // Go back to the default mode, which always fits.
    d.ScreenWidth = d.ScreenHeight = 0;
    d.ScreenBits = DEFAULT_SCREEN_BITS;
    UpdateScreenColorFormat();
    CreateMainSurfaces();
  }
  ShowFullScreen();
  InitGraphicsManager();
  GraphicsState.TransparentColor = transparent;
  PlatNotifyDisplayChange(GetScreenColorBits(), d.ScreenWidth > 0 ? d.ScreenWidth : DEFAULT_SCREEN_WIDTH,
                          d.ScreenHeight > 0 ? d.ScreenHeight : DEFAULT_SCREEN_HEIGHT);
  return result == 0 ? 0 : -1;
}

// Nothing of these exists without a display device: each is done at once.
int CheckAllSurface2DLost() { return 0; }
int RestoreMainSurfaces() { return 0; }
int ReleaseDirectDraw() { return 0; }
int ReleaseSurface2DSurfaces() { return 0; }
int ReleaseMainClipper() { return 0; }
int ApplyDisplayMode() { return 0; }
int RecreateSurface2DSurfaces() { return 0; }
int CreateMainClipper() { return 0; }
int RecreateDirectDrawObjects() { return 0; }
int RestoreScreenPalette() { return 0; }
