// The three-dimensional layer of a machine without Direct3D: no device is
// ever valid, so every call that needs one refuses with -1 and every call
// that only keeps a device in step has nothing to do and answers 0. The
// graphics core never makes texture graphs here (Direct3D is not usable), so
// the texture-piece calls are reached only by a caller that ignores that.
#include "graphics/soft/display.h"
#include "graphics/soft/draw_soft.h"

int IsDevice3DValid() { return 0; }
int ReleaseDirect3D() { return 0; }
int CreateDirect3DObject() { return -1; }
int RestoreAllSurface3D() { return 0; }
// -1 tells the graphics manager that Direct3D is not up.
int DeleteAllSurface3DChecked() { return -1; }

int CreateGraphSurface3D(GraphRecord*) { return -1; }
int CreateSubGraphSurface3D(GraphRecord*, int, int, int, int, const GraphRecord*) { return -1; }
int DeleteGraphSurface3D(GraphRecord* graph) {
  if (graph) graph->PieceCount = 0;
  return 0;
}
int TransferImageToGraphSurface3D(int, int, int, const PixelImage*, const PixelImage*, const Rect*,
                                  GraphRecord*) {
  return -1;
}
int ReloadImageToGraphSurface3D(int, int, int, int, int, GraphRecord*, int, const PixelImage*,
                                const PixelImage*) {
  return -1;
}
int RestoreGraphSurface3D(GraphRecord*) { return -1; }
int FillGraphSurface3D(GraphRecord*, int, int, int, int) { return -1; }
int CopyDrawTargetToGraph3D(int, int, int, int, GraphRecord*, int) { return -1; }

int SetDrawTarget3D(int, int) { return -1; }
int SetViewportFromRect3D(const Rect*) { return -1; }
int SetDrawFilterMode3D(int) { return 0; }
// The software side reads the tint and blend parameter from the drawing
// state itself; there is no vertex colour to rebuild.
int UpdateDrawDiffuseColor() { return 0; }
int SelectBlendGraph3D(GraphRecord*, int, int) { return 0; }
int ClearDrawTarget3D() { return 0; }
int EndScene3D() { return 0; }
int SetWorldTransform3D(const Matrix4*, int) { return 0; }
int SetViewTransform3D(const Matrix4*) { return 0; }
int SetProjectionTransform3D(const Matrix4*) { return 0; }

int DrawGraphAt3D(int, int, float, float, GraphRecord*, int, int) { return -1; }
int DrawGraphStretched3D(int, int, int, int, float, float, float, float, GraphRecord*, int, int) {
  return -1;
}
int DrawGraphQuad3D(float, float, float, float, float, float, float, float, GraphRecord*, int) { return -1; }
int FillQuadrangle3D(const MemImgVertex3D*, int, GraphRecord*, int, int, int) { return -1; }
int FillRectangle3D(int, int, int, int, int) { return -1; }
int OutlineRectangle3D(int, int, int, int, int) { return -1; }
int DrawLineSegment3D(int, int, int, int, int) { return -1; }
