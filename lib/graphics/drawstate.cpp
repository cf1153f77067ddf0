// The drawing state block: its setters and their ranges, the flip counter,
// the transforms, and setting everything up again after a start or after the
// display device was rebuilt.
#include "graphics/drawstate.h"

#include <cstring>

#include "core/hooks.h"
#include "core/log.h"
#include "graphics/draw.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"

GraphicsStateBlock GraphicsState;

namespace {

int Clamp255(int v) { return v >= 256 ? 255 : v < 0 ? 0 : v; }
bool With3D() { return GraphicsManager.Direct3DUsable != 0; }

}  // namespace

NewGraphSettings GetNewGraphSettings() {
  const GraphicsStateBlock& s = GraphicsState;
  return NewGraphSettings{
      .ColorBitDepth = s.NewGraphColorBitDepth,
      .TextureGraph = s.TextureGraphSetting,
      .DrawValid = s.NewGraphDrawValid,
      .AlphaTest = s.NewGraphAlphaTest,
      .SystemMemory = s.NewGraphSystemMem,
      .NoTextureManage = s.NewGraphNoManageTexture,
  };
}

int SetNewGraphColorBitDepth(int bits) {
  GraphicsState.NewGraphColorBitDepth = bits;
  return 0;
}
int GetNewGraphColorBitDepth() { return GraphicsState.NewGraphColorBitDepth; }
int SetNewGraphDrawValid(int flag) {
  GraphicsState.NewGraphDrawValid = flag;
  return 0;
}
int SetNewGraphAlphaTest(int flag) {
  GraphicsState.NewGraphAlphaTest = flag;
  return 0;
}
int GetNewGraphAlphaTest() { return GraphicsState.NewGraphAlphaTest; }
int SetNewGraphAlphaCh(int flag) {
  GraphicsState.NewGraphAlphaCh = flag;
  return 0;
}
int GetNewGraphAlphaCh() { return GraphicsState.NewGraphAlphaCh; }
int SetNewGraphNoManageTexture(int flag) {
  GraphicsState.NewGraphNoManageTexture = flag;
  return 0;
}
int GetNewGraphNoManageTexture() { return GraphicsState.NewGraphNoManageTexture; }
int SetNewGraphSystemMem(int flag) {
  GraphicsState.NewGraphSystemMem = HasDirectDrawOutput() ? flag : 1;
  return 0;
}
int GetNewGraphSystemMem() { return GraphicsState.NewGraphSystemMem; }
int SetNewGraphVideoMem(int flag) {
  GraphicsState.NewGraphSystemMem = HasDirectDrawOutput() ? (flag != 1 ? 1 : 0) : 1;
  return 0;
}

int SetTextureGraphMode(int flag) {
  if (!GetDirectDrawObject()) SetSoftwareRenderRequest(flag ? 0 : 1);
  GraphicsState.TextureGraphSetting = flag;
  return 0;
}

int IsTextureGraphMode() {
  return (GraphicsState.TextureGraphSetting == 1 && With3D() && !IsSoftwareDrawing() && IsDevice3DValid())
             ? 1
             : 0;
}

int SetFlipWaitVBlank(int flag) {
  GraphicsState.NoVBlankWait = flag ? 0 : 1;
  return 0;
}
int GetFlipWaitVBlank() { return GraphicsState.NoVBlankWait ? 0 : 1; }

int ResetFlipCount() {
  GraphicsState.FlipCount = 0;
  return 0;
}
int IncrementFlipCount() {
  ++GraphicsState.FlipCount;
  return 0;
}
uint64_t GetFlipCount() { return GraphicsState.FlipCount; }

int SetDrawFilterMode(int mode) {
  if (GraphicsState.FilterMode == mode) return 0;
  GraphicsState.FilterMode = mode;
  if (With3D()) SetDrawFilterMode3D(mode);
  return 0;
}
int GetDrawFilterMode() { return GraphicsState.FilterMode; }

int SetBlendModeParam(int mode, int parameter) {
  GraphicsStateBlock& s = GraphicsState;
  if (mode == s.BlendMode && parameter == s.BlendParam) return 0;
  WaitWhileWindowInactive();
  s.BlendMode = mode;
  s.BlendParam = Clamp255(parameter);
  UpdateDrawDiffuseColor();
  SyncSoftDrawState();
  return 0;
}

int SelectBlendGraph(int graph, int parameter1, int parameter2) {
  GraphicsStateBlock& s = GraphicsState;
  if (graph == s.BlendGraph && parameter1 == s.BlendGraphParam[0] && parameter2 == s.BlendGraphParam[1])
    return 0;
  GraphRecord* g = nullptr;
  if (graph != -1) {
    g = GetGraphRecord(graph);
    if (!g) return -1;
  }
  s.BlendGraph = graph;
  WaitWhileWindowInactive();
  s.BlendGraphParam[1] = Clamp255(parameter2);
  s.BlendGraphParam[0] = Clamp255(parameter1);
  if (With3D()) SelectBlendGraph3D(g, s.BlendGraphParam[0], s.BlendGraphParam[1]);
  SelectBlendGraphSoft(g, s.BlendGraphParam[0], s.BlendGraphParam[1]);
  return 0;
}

int CompareWithBlendGraphSize(const GraphRecord* record) {
  const GraphRecord* blend = GetGraphRecord(GraphicsState.BlendGraph);
  if (!blend || !record) return -1;
  return (blend->Width >= record->Width && blend->Height >= record->Height) ? 0 : -1;
}

int SetDrawTint(int r, int g, int b) {
  GraphicsStateBlock& s = GraphicsState;
  const uint32_t t = s.Tint;
  if (int((t >> 16) & 0xFF) == r && int((t >> 8) & 0xFF) == g && int(t & 0xFF) == b) return 0;
  s.Tint = (uint32_t(Clamp255(r)) << 16) | (uint32_t(Clamp255(g)) << 8) | uint32_t(Clamp255(b));
  if (With3D()) UpdateDrawDiffuseColor();
  SyncSoftDrawState();
  return 0;
}

void SetDrawTintPacked(uint32_t rgb) {
  rgb &= 0xFFFFFF;
  if (GraphicsState.Tint == rgb) return;
  GraphicsState.Tint = rgb;
  UpdateDrawDiffuseColor();
  SyncSoftDrawState();
}

namespace {
// Fills the rectangle white in subtract mode at full strength on the 3-D side,
// then restores the tint and leaves the blend mode at `modeAfter` with the
// caller's parameter.
int FillDrawRectWhite(const Rect* rect, int modeAfter) {
  GraphicsStateBlock& s = GraphicsState;
  const int white = MakeColorImpl(255, 255, 255);
  const uint32_t tint = s.Tint;
  const int param = s.BlendParam;
  if (tint != 0xFFFFFF) SetDrawTintPacked(0xFFFFFF);
  if (s.BlendMode != BLEND_SUB || s.BlendParam != 255) {
    WaitWhileWindowInactive();
    s.BlendMode = BLEND_SUB;
    s.BlendParam = 255;
    UpdateDrawDiffuseColor();
  }
  DrawSides.FillRectangle3D(rect->Left, rect->Top, rect->Right, rect->Bottom, white);
  if (tint != 0xFFFFFF) SetDrawTintPacked(tint);
  SetBlendModeParam(modeAfter, param);
  return 0;
}
}  // namespace

int FillDrawRectWhiteBegin(const Rect* rect) { return FillDrawRectWhite(rect, BLEND_ADD_3D); }

int FillDrawRectWhiteEnd(const Rect* rect) { return FillDrawRectWhite(rect, BLEND_SUB); }

int SetWorldMatrix(const Matrix4* matrix, int index) {
  if (!matrix) return -1;
  GraphicsState.World = *matrix;
  if (With3D()) SetWorldTransform3D(matrix, index);
  return 0;
}

int SetViewMatrix(const Matrix4* matrix) {
  if (!matrix) return -1;
  GraphicsState.View = *matrix;
  if (With3D()) SetViewTransform3D(matrix);
  return 0;
}

int SetProjectionMatrix(const Matrix4* matrix) {
  if (!matrix) return -1;
  GraphicsState.Projection = *matrix;
  if (With3D()) SetProjectionTransform3D(matrix);
  return 0;
}

int DrawRectangleImpl(int x1, int y1, int x2, int y2, int color, int filled) {
  return filled ? FillRectangle(x1, y1, x2, y2, color) : OutlineRectangle(x1, y1, x2, y2, color);
}

int InitGraphicsState() {
  GraphicsStateBlock& s = GraphicsState;
  const GraphRestoreCallback callback = s.RestoreCallback;
  // Lights still held would be lost by the fill below.
  FreeAllLightHandles();
  std::memset(&s, 0, sizeof s);
  s.RestoreCallback = callback;
  s.BlendGraph = -1;
  s.Draw3DWords[0] = 0;
  s.Draw3DWords[1] = 0;
  s.Draw3DWords[2] = 4;
  s.Draw3DWords[3] = 3;
  s.Draw3DFloat = 0.2f;
  s.TextureGraphSetting = 1;
  s.NewGraphAlphaTest = 1;
  s.FilterMode = 0;
  s.BlendMode = BLEND_COPY;
  s.Tint = 0xFFFFFF;
  s.NewGraphColorBitDepth = 0;
  MatrixIdentity(&s.World);
  s.DrawTarget = DRAW_TARGET_BACK;
  SyncSoftDrawState();
  SetDrawTargetImpl(DRAW_TARGET_FRONT);
  SetDrawClipRect(0, 0, s.TargetWidth, s.TargetHeight);
  s.Lights.DefaultLight = AddDirectionalLight(1.0f, -1.0f, 1.0f);
  return 0;
}

int ReapplyGraphicsSettings() {
  ReleaseDirect3D();
  ReleaseMainSurfaces();
  ReleaseSurface2DSurfaces();
  ReleaseMainClipper();
  if (GetFlipToGdiMode()) {
    ApplyDisplayMode();
    RecreateSurface2DSurfaces();
    CreateMainClipper();
  } else {
    ReleaseDirectDraw();
    RecreateDirectDrawObjects();
  }
  CreateMainSurfaces();
  RestoreScreenPalette();
  SetDrawTarget2D(GraphicsState.DrawTarget, GraphicsState.DrawTarget);
  CreateDirect3DObject();
  ClearDrawTargetImpl();
  FlipScreenImpl();
  SetAllGraphsLost();
  if (With3D()) {
    SetWorldTransform3D(&GraphicsState.World, 0);
    SetViewTransform3D(&GraphicsState.View);
    SetProjectionTransform3D(&GraphicsState.Projection);
  }
  LogIndentDecrease();
  return 0;
}
