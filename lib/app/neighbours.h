// Services of the graphics core, the display back end, movies and network
// that start-up, shutdown, the pump and the window procedure call, as those
// parts use them. Where the subsystem has a header of its own it is included
// too, so a declaration that drifts from its definition fails to compile.
#pragma once
#include <cstdint>

#include "graphics/soft/display.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/geometry.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/surfacedata.h"
#include "vexlo.h"

// ---- Graphics core: device and manager, graphs, drawing state ----------------
int InitGraphicsDevice(void* mainWindow);   // 0; failure is fatal inside
int TermGraphicsDevice();
using GraphRestoreCallback = void (*)();
int SetGraphRestoreCallback(GraphRestoreCallback callback);   // null registers the file reloader
int SetFlipWaitVBlank(int flag);
int GetFlipWaitVBlank();
int SetDrawTargetImpl(int target);
int GetDrawTarget();
int SetNewGraphDrawValid(int flag);
int CreateBlankGraph(int width, int height, int twoDimensionalOnly);
int FreeGraphHandle(int graph, int logFlag);
int CreateGraphFromImageDefault(PixelImage* image);
int DrawGraphAt(int x, int y, int graph, int transparent);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);
int SetBlendModeParam(int mode, int parameter);
int RestoreAllGraphSurfaces();
int ReapplyGraphicsSettings();
int GetScreenModeInfo(int* width, int* height, int* bits);
int SetDrawTargetRect(const Rect* rect);
int GetStoredDrawClipArgs(Rect* rect);
int SetDrawClipRect(int x1, int y1, int x2, int y2);
int MakeColorImpl(int red, int green, int blue);
int LoadImageFileImpl(const char* path, int twoDimensionalOnly);
int ClearDrawTargetImpl();
int DrawGraphPartImpl(int x, int y, int srcX, int srcY, int width, int height, int graph, int transparent,
                      int mirror);
int DrawLineSegmentImpl(int x1, int y1, int x2, int y2, int color, int thickness);
int DrawRectangleImpl(int x1, int y1, int x2, int y2, int color, int filled);
int MakeRgbPixelFormatImpl(PixelFormatRecord* format, int bitCount, uint32_t redMask, uint32_t greenMask,
                           uint32_t blueMask, uint32_t alphaMask);

// ---- Display back end ------------------------------------------------------------
int GetSoftwareRenderRequest();
int SelectRenderMode(int flag);
int SetSeparateBackLayout(int flag);
int GetSeparateBackLayout();
int GetScreenSize(int* width, int* height);       // 640 x 480 while unset
void* GetDirectDrawObject();                      // null: no display device object
int HasDirectDrawOutput();
int IsDisplayModeChanged();
const PixelFormatRecord* GetScreenPixelFormatImpl();
int GetFlipToGdiMode();
int SetFlipToGdiMode(int flag);
int CheckAllSurface2DLost();
int RestoreAllSurface3D();
int PresentSoftScreen(const Rect* rect);          // null: the whole window
int FlipScreenImpl();
int ReleaseDirectDraw();
int ReleaseDirect3D();
int ChangeScreenMode(int width, int height, int bits, int flag, int refresh);
int UpdateScreenColorFormat();

#include "movie/movie.h"
#include "network/network.h"
