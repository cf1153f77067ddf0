// The display back end for a machine without a display device object: the
// library draws in software into its own images (front screen, back screen,
// graph pieces) and shows frames in the main window through the platform
// layer. The three-dimensional layer is absent; its entries answer as their
// callers expect when it is.
#pragma once
#include <cstdint>

#include "graphics/geometry.h"
#include "graphics/graph.h"
#include "image/colorformat.h"
#include "image/pixel_format_record.h"
#include "softrender/memimg.h"

constexpr int SURFACE2D_TABLE_SIZE = 65536;
constexpr int32_t SURFACE2D_HANDLE_TAG = 0x28000000;
constexpr int DEFAULT_SCREEN_WIDTH = 640;
constexpr int DEFAULT_SCREEN_HEIGHT = 480;
constexpr int DEFAULT_SCREEN_BITS = 16;

// One two-dimensional piece of a graph: a view of a surface-data record's
// image. Sub-graphs make pieces over their source's records.
struct Surface2DRecord {
  uint32_t Check;
  int32_t Handle;
  int32_t SurfaceData;     // the record that owns the pixels
  int32_t GraphX, GraphY;  // where the piece lies in its graph
  int32_t Width, Height;
  MEMIMG View;  // the piece's pixels
};

struct ScreenPaletteEntry {
  uint8_t Red, Green, Blue, Flags;
};

struct DirectDrawStateBlock {
  void* DirectDraw;                               // the device object: never present here
  int32_t DisplayBits;                            // colour depth of the current display mode
  int32_t ScreenWidth, ScreenHeight, ScreenBits;  // settings, 0 while unset
  ColorFormat ScreenFormat;
  PixelFormatRecord ScreenPixelFormat;
  ScreenPaletteEntry ScreenPalette[256];
  int32_t SoftwareDrawing;  // 1: drawing goes to library images
  int32_t GdiOnly;          // 1: output through the window alone
  int32_t SeparateBack;     // layout with a separate back surface
  int32_t SoftwareRequest;
  int32_t FlipToGdi;
  int32_t DisplayModeChanged;
  int32_t Started;  // between InitDirectDraw and TermDirectDraw
  MEMIMG FrontImage, BackImage;
  int32_t FrontStale;   // the window shows something the front image lacks
  MEMIMG* TargetImage;  // where the two-dimensional side draws now
  MEMIMG* BlendImage;   // the selected blend graph's image, or null
  HandleTable<Surface2DRecord, SURFACE2D_TABLE_SIZE, SURFACE2D_HANDLE_TAG> Surfaces;
};

extern DirectDrawStateBlock DirectDrawState;

// ---- Device, modes and formats ----------------------------------------------------
// SetSoftwareRenderRequest and GetDirectDrawObject are declared in graph.h,
// where the layers above graphics reach them.
int GetSoftwareRenderRequest();
int SelectRenderMode(int flag);
int SetSeparateBackLayout(int flag);
int GetSeparateBackLayout();
int GetScreenSize(int* width, int* height);
int GetScreenColorBits();
int HasDirectDrawOutput();
int IsDisplayModeChanged();
// Inline: every drawing entry asks this on each call.
inline int IsSoftwareDrawing() { return DirectDrawState.SoftwareDrawing; }
int IsDevice3DValid();
const PixelFormatRecord* GetScreenPixelFormatImpl();
const ColorFormat* GetScreenColorData();
int GetFlipToGdiMode();
int SetFlipToGdiMode(int flag);
// Screen size and depth used by the next InitDirectDraw (0 keeps the default).
int SetScreenModeSetting(int width, int height, int bits);
int InitDirectDraw();
int TermDirectDraw();
int ChangeScreenMode(int width, int height, int bits, int flag, int refresh);
int UpdateScreenColorFormat();
int CheckAllSurface2DLost();
int RestoreAllSurface3D();
int RestoreMainSurfaces();
int ReleaseDirectDraw();
int ReleaseDirect3D();
int ReleaseMainSurfaces();
int ReleaseSurface2DSurfaces();
int ReleaseMainClipper();
int ApplyDisplayMode();
int RecreateSurface2DSurfaces();
int CreateMainClipper();
int RecreateDirectDrawObjects();
int CreateMainSurfaces();
int RestoreScreenPalette();
int CreateDirect3DObject();

// ---- Two-dimensional pieces ------------------------------------------------------------
// Inline: the software side looks up each piece on every draw.
inline Surface2DRecord* GetSurface2DRecord(int handle) { return DirectDrawState.Surfaces.Get(handle); }
int DeleteAllSurface2DChecked();
int DeleteAllSurface3DChecked();
int CreateGraphSurface2D(GraphRecord* graph);
int CreateGraphSurface3D(GraphRecord* graph);
int CreateSubGraphSurface2D(GraphRecord* graph, int x, int y, int width, int height,
                            const GraphRecord* source);
int CreateSubGraphSurface3D(GraphRecord* graph, int x, int y, int width, int height,
                            const GraphRecord* source);
int DeleteGraphSurface2D(GraphRecord* graph);
int DeleteGraphSurface3D(GraphRecord* graph);
int TransferImageToGraphSurface2D(int destX, int destY, int flag, const PixelImage* image,
                                  const PixelImage* alpha, const Rect* sourceRect, GraphRecord* graph);
int TransferImageToGraphSurface3D(int destX, int destY, int flag, const PixelImage* image,
                                  const PixelImage* alpha, const Rect* sourceRect, GraphRecord* graph);
int ReloadImageToGraphSurface2D(int x, int y, int flag, int sourceX, int sourceY, GraphRecord* graph,
                                int reserved, const PixelImage* image, const PixelImage* alpha);
int ReloadImageToGraphSurface3D(int x, int y, int flag, int sourceX, int sourceY, GraphRecord* graph,
                                int reserved, const PixelImage* image, const PixelImage* alpha);
int RestoreGraphSurface3D(GraphRecord* graph);
int FillGraphSurface2D(GraphRecord* graph, int r, int g, int b, int a);
int FillGraphSurface3D(GraphRecord* graph, int r, int g, int b, int a);
int CopyDrawTargetToGraphSoft(int x1, int y1, int x2, int y2, GraphRecord* graph, int flag);
int CopyDrawTargetToGraph3D(int x1, int y1, int x2, int y2, GraphRecord* graph, int flag);
// The image of a graph's first piece (what it draws from and into), or null.
MEMIMG* GetGraphPieceImage(const GraphRecord* graph);

// ---- Drawing state on the device ---------------------------------------------------------
int SetDrawTarget2D(int target, int oldTarget);
int SetDrawTarget3D(int target, int oldTarget);
int SetViewportFromRect3D(const Rect* rect);
int SetDrawFilterMode3D(int mode);
int UpdateDrawDiffuseColor();
int SelectBlendGraph3D(GraphRecord* graph, int parameter1, int parameter2);
int SelectBlendGraphSoft(GraphRecord* graph, int parameter1, int parameter2);
int ClearDrawTarget3D();
int ClearDrawTargetSoft();
int EndScene3D();
int SetWorldTransform3D(const Matrix4* matrix, int index);
int SetViewTransform3D(const Matrix4* matrix);
int SetProjectionTransform3D(const Matrix4* matrix);
// The image the two-dimensional side draws into now, or null.
MEMIMG* GetDrawTargetImage();

// ---- Frames ------------------------------------------------------------------------------------
int FlipScreenImpl();
int PresentSoftScreen(const Rect* rect);
int PresentFrontImageRect(const Rect* rect);
int SyncFrontImageFromScreen();
