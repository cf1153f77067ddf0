// The two-dimensional drawing entries and the two back-end sides they hand
// their calls to. The sides are reached through one table so a test can put
// a recording side in place of the real one.
#pragma once
#include <cstddef>
#include <cstdint>

#include "graphics/geometry.h"
#include "graphics/graph.h"
#include "softrender/triangle3d.h"  // MemImgVertex3D, the transformed vertex both sides take

// A caller's vertex of a filled quadrangle.
struct PrimitiveVertex2D {
  float X, Y;
  float U, V;
  uint8_t Blue, Green, Red, Alpha;
};
static_assert(sizeof(PrimitiveVertex2D) == 20, "primitive vertex is 20 bytes");

struct DrawSideTable {
  // The three-dimensional side. There is no Direct3D here: the real entries
  // (graphics/soft/direct3d_absent.cpp) draw nothing and answer -1 to every
  // call; only a test's recording side does more in these slots.
  int (*DrawGraphAt3D)(int x, int y, float fx, float fy, GraphRecord* graph, int transparent, int flag);
  int (*DrawGraphStretched3D)(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                              GraphRecord* graph, int transparent, int flag);
  int (*DrawGraphQuad3D)(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                         GraphRecord* graph, int transparent);
  int (*FillQuadrangle3D)(const MemImgVertex3D* vertices, int triangles, GraphRecord* graph, int transparent,
                          int a, int b);
  int (*FillRectangle3D)(int x1, int y1, int x2, int y2, int color);
  int (*OutlineRectangle3D)(int x1, int y1, int x2, int y2, int color);
  int (*DrawLineSegment3D)(int x1, int y1, int x2, int y2, int color);
  // The software side.
  int (*DrawGraphAtSoft)(int x, int y, GraphRecord* graph, int transparent);
  int (*DrawGraphStretchedSoft)(int x1, int y1, int x2, int y2, GraphRecord* graph, int transparent,
                                int flag);
  int (*DrawGraphQuadSoft)(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                           GraphRecord* graph, int transparent);
  int (*FillQuadrangleSoft)(const MemImgVertex3D* vertices, int triangles, GraphRecord* graph,
                            int transparent, int a, int b);
  int (*FillRectangleSoft)(int x1, int y1, int x2, int y2, int color);
  int (*OutlineRectangleSoft)(int x1, int y1, int x2, int y2, int color);
  int (*DrawLineSegmentSoft)(int x1, int y1, int x2, int y2, int color);
  // Front-screen steps.
  int (*SyncFrontImageFromScreen)();
  int (*PresentFrontImageRect)(const Rect* rect);
  // The tracked allocator as the wide lines use it (a test makes it fail).
  void* (*Alloc)(size_t size);
};

extern DrawSideTable DrawSides;
// Puts the real sides back.
void ResetDrawSides();

// ---- Entries -------------------------------------------------------------------------------
int DrawGraphAt(int x, int y, int graph, int transparent);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);
int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                  int transparent);
int DrawLineSegmentImpl(int x1, int y1, int x2, int y2, int color, int thickness);
int FillRectangle(int x1, int y1, int x2, int y2, int color);
int OutlineRectangle(int x1, int y1, int x2, int y2, int color);
int DrawGraphMirrored(int x, int y, int graph, int transparent);
int DrawGraphPartImpl(int x, int y, int srcX, int srcY, int width, int height, int graph, int transparent,
                      int mirror);
int DrawGraphPartStretched(int x1, int y1, int x2, int y2, int srcX, int srcY, int width, int height,
                           int graph, int transparent);

// ---- Wide lines ------------------------------------------------------------------------------
int DrawWideLine(int x1, int y1, int x2, int y2, int color, int thickness);
int FillQuadrangle(const PrimitiveVertex2D* vertices, int count, int primitiveType, int graph,
                   int transparent);

// 1 while the front-screen steps run around each draw: the front screen is
// the target, drawing is in software and the screen is not 8-bit.
int IsFrontScreenCase();
// 1 when colour drawing takes the three-dimensional side.
int ColourDrawingUses3D();
