// The drawing sides of the display back end: the software side, which draws
// into library images through the software renderer, and the
// three-dimensional side, which has no device here and refuses.
#pragma once
#include "graphics/draw.h"
#include "graphics/graph.h"

int DrawGraphAtSoft(int x, int y, GraphRecord* graph, int transparent);
int DrawGraphStretchedSoft(int x1, int y1, int x2, int y2, GraphRecord* graph, int transparent, int flag);
int DrawGraphQuadSoft(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                      GraphRecord* graph, int transparent);
int FillQuadrangleSoft(const MemImgVertex3D* vertices, int triangles, GraphRecord* graph, int transparent,
                       int a, int b);
int FillRectangleSoft(int x1, int y1, int x2, int y2, int color);
int OutlineRectangleSoft(int x1, int y1, int x2, int y2, int color);
int DrawLineSegmentSoft(int x1, int y1, int x2, int y2, int color);

int DrawGraphAt3D(int x, int y, float fx, float fy, GraphRecord* graph, int transparent, int flag);
int DrawGraphStretched3D(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                         GraphRecord* graph, int transparent, int flag);
int DrawGraphQuad3D(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                    GraphRecord* graph, int transparent);
int FillQuadrangle3D(const MemImgVertex3D* vertices, int triangles, GraphRecord* graph, int transparent,
                     int a, int b);
int FillRectangle3D(int x1, int y1, int x2, int y2, int color);
int OutlineRectangle3D(int x1, int y1, int x2, int y2, int color);
int DrawLineSegment3D(int x1, int y1, int x2, int y2, int color);
