// The drawing state: draw target and its rectangles, clip rectangle, blend
// mode, tint, blend graph, the settings new graphs are made with, the flip
// counter and the transforms. Every drawing entry and both back-end sides
// read it.
#pragma once
#include <cstdint>

#include "graphics/draw_target.h"
#include "graphics/geometry.h"
#include "graphics/graph.h"
#include "graphics/lights.h"
#include "softrender/blend_mode.h"

struct GraphicsStateBlock {
  GraphRestoreCallback RestoreCallback;  // survives InitGraphicsState
  int32_t DrawTarget;                    // DRAW_TARGET_FRONT, DRAW_TARGET_BACK or a graph
  Rect DrawTargetRect;                   // where the target lies on the screen
  // The one clip rectangle, right and bottom exclusive. The software renderer
  // reads it through a pointer and the float form is derived from it, so a
  // change here is the whole change.
  Rect ClipRect;
  int32_t TargetWidth, TargetHeight;
  int32_t Draw3DWords[4];
  float Draw3DFloat;
  int32_t FilterMode;
  int32_t BlendMode;  // BLEND_COPY ... (blend_mode.h)
  int32_t BlendParam;
  int32_t BlendGraph;  // -1 none
  int32_t BlendGraphParam[2];
  uint32_t Tint;                  // 0xRRGGBB; 0xFFFFFF no tint
  int32_t NewGraphColorBitDepth;  // 0: the screen's
  int32_t TextureGraphSetting;
  int32_t NewGraphDrawValid;
  int32_t NewGraphAlphaCh;
  int32_t NewGraphAlphaTest;
  int32_t NewGraphSystemMem;
  int32_t NewGraphNoManageTexture;
  int32_t NoVBlankWait;
  uint32_t TransparentColor;  // 0xRRGGBB
  int32_t EmptyClip;          // 1 while the clip rectangle has no area
  uint64_t FlipCount;
  Matrix4 World, View, Projection, Viewport;
  int32_t ClipArgs[4];  // the last SetDrawClipRect arguments as given
  LightBlock Lights;
};

extern GraphicsStateBlock GraphicsState;

int SetNewGraphColorBitDepth(int bits);
int GetNewGraphColorBitDepth();
int SetNewGraphDrawValid(int flag);
int SetNewGraphAlphaTest(int flag);
int GetNewGraphAlphaTest();
int SetNewGraphAlphaCh(int flag);
int GetNewGraphAlphaCh();
int SetNewGraphNoManageTexture(int flag);
int GetNewGraphNoManageTexture();
int SetNewGraphSystemMem(int flag);
int GetNewGraphSystemMem();
int SetNewGraphVideoMem(int flag);
int SetTextureGraphMode(int flag);
int IsTextureGraphMode();
int SetFlipWaitVBlank(int flag);
int GetFlipWaitVBlank();
int ResetFlipCount();
int IncrementFlipCount();
uint64_t GetFlipCount();
int GetDrawTarget();
int SetDrawTargetRect(const Rect* rect);
int GetDrawClipRect(Rect* rect);
// The clip rectangle as last asked for (before it was cut to the target).
int GetStoredDrawClipArgs(Rect* rect);
int SetDrawFilterMode(int mode);
int GetDrawFilterMode();
int SetBlendModeParam(int mode, int parameter);
int SelectBlendGraph(int graph, int parameter1, int parameter2);
int CompareWithBlendGraphSize(const GraphRecord* record);
int SetDrawTint(int r, int g, int b);
void SetDrawTintPacked(uint32_t rgb);
int SetDrawClipRect(int x1, int y1, int x2, int y2);
int SetDrawTargetImpl(int target);
int ClearDrawTargetImpl();
int MakeColorImpl(int r, int g, int b);
int SplitColorValue(uint32_t value, int* r, int* g, int* b);
int GetScreenModeInfo(int* width, int* height, int* bits);
int FillDrawRectWhiteBegin(const Rect* rect);
int FillDrawRectWhiteEnd(const Rect* rect);
int SetWorldMatrix(const Matrix4* matrix, int index);
int SetViewMatrix(const Matrix4* matrix);
int SetProjectionMatrix(const Matrix4* matrix);
int DrawRectangleImpl(int x1, int y1, int x2, int y2, int color, int filled);
int InitGraphicsState();
// Rebuilds the display objects after the display device was lost and marks
// every graph lost (reloading those that came from files); 0. The caller
// restarts input around it and rebuilds what lives on the display above
// graphics (fonts, movies) after it.
int ReapplyGraphicsSettings();

// Points the software renderer at the clip rectangle and copies the blend
// mode, parameter and tint into the block it reads.
void SyncSoftDrawState();

// The clip rectangle as floats (left, top, right, bottom): the form the
// three-dimensional side takes, derived from the clip rectangle when asked.
struct ClipRectFloat {
  float Left, Top, Right, Bottom;
};
inline ClipRectFloat GetDrawClipRectF() {
  const Rect& c = GraphicsState.ClipRect;
  return ClipRectFloat{float(c.Left), float(c.Top), float(c.Right), float(c.Bottom)};
}
