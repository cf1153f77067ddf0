// The software side of drawing: graphs, rectangles and lines drawn into the
// current target image through the software renderer, and the choice of that
// image.
#include "graphics/soft/draw_soft.h"

#include <cstdint>

#include "core/strutil.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "graphics/surfacedata.h"
#include "softrender/memimg_draw.h"
#include "softrender/memimg_tables.h"
#include "softrender/triangle2d.h"
#include "softrender/triangle3d.h"

namespace {

// The target image. It is only ever set to a live image and cleared when
// that image goes (piece deletion, screen release), so no test is needed here.
MEMIMG* Target() { return DirectDrawState.TargetImage; }

// The blend graph's image, when one is selected and usable.
const MEMIMG* BlendImage() {
  const MEMIMG* b = DirectDrawState.BlendImage;
  return (GraphicsState.BlendGraph != -1 && b && IsValidMemImg(b)) ? b : nullptr;
}

int Clamped(double v) { return v < -2147483648.0 ? INT32_MIN : v > 2147483647.0 ? INT32_MAX : int(v); }
int Offset(int a, int b) {
  const int64_t v = int64_t(a) + b;
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : int(v);
}

// A graph target's depth image, when it has one, goes back to the farthest
// depth over the area the target's pieces cover.
void ClearTargetDepth() {
  const GraphRecord* g = GetGraphRecord(GraphicsState.DrawTarget);
  if (!g) return;
  for (int i = 0; i < g->PieceCount; ++i) {
    const Surface2DRecord* p = GetSurface2DRecord(g->Pieces[i]);
    SurfaceDataRecord* data = p ? GetSurfaceDataRecord(p->SurfaceData) : nullptr;
    if (!data || !IsValidMemImg(&data->ZImage) || !IsValidMemImg(&data->Image)) continue;
    const MemImgBase* b = data->Image.Base;
    const int64_t offset = p->View.Pixels - data->Image.Pixels;
    const int x = int(offset % b->Pitch / b->Format->BytesPerPixel), y = int(offset / b->Pitch);
    const Rect area{x, y, x + p->Width, y + p->Height};
    ClearMemImgRect(&data->ZImage, &area, 0xFFFF);
  }
}

}  // namespace

MEMIMG* GetDrawTargetImage() { return Target(); }

int SetDrawTarget2D(int target, int) {
  DirectDrawStateBlock& d = DirectDrawState;
  MEMIMG* image = nullptr;
  if (target == DRAW_TARGET_FRONT) {
    image = &d.FrontImage;
  } else if (target == DRAW_TARGET_BACK) {
    image = &d.BackImage;
  } else {
    const GraphRecord* g = GetGraphRecord(target);
    // Only a graph made to be drawn into, without palette or alpha, can be a target.
    if (!g || g->Format.Texture || !g->Format.DrawValid || g->Format.Palette || g->Format.AlphaChFlag)
      return -1;
    image = GetGraphPieceImage(g);
  }
  if (!image || !IsValidMemImg(image)) return -1;
  d.TargetImage = image;
  return 0;
}

int SelectBlendGraphSoft(GraphRecord* graph, int parameter1, int parameter2) {
  BuildBlendGraphLevelTable(parameter1, parameter2);
  MEMIMG* image = graph ? GetGraphPieceImage(graph) : nullptr;
  // The renderer blends by a one-channel image only.
  DirectDrawState.BlendImage = (image && image->Base->Type == MEMIMG_TYPE_GRAY8) ? image : nullptr;
  return 0;
}

int ClearDrawTargetSoft() {
  MEMIMG* t = Target();
  if (!t) return -1;
  ClearMemImgRect(t, nullptr, PackColorForFormat(t->Base->Format, 0, 0, 0, 255));
  InvalidateMemImgDerived(t);
  ClearTargetDepth();
  // A cleared front image holds the whole picture: nothing to read back.
  if (t == &DirectDrawState.FrontImage) DirectDrawState.FrontStale = 0;
  return 0;
}

int DrawGraphAtSoft(int x, int y, GraphRecord* graph, int transparent) {
  MEMIMG* t = Target();
  if (!t || !graph) return -1;
  const MEMIMG* blend = BlendImage();
  // Drawing never changes the graph's pieces: the count is read once.
  const int count = graph->PieceCount;
  const int32_t* pieces = graph->Pieces;
  for (int i = 0; i < count; ++i) {
    const Surface2DRecord* p = GetSurface2DRecord(pieces[i]);
    if (p) DrawMemImg(t, &p->View, Offset(x, p->GraphX), Offset(y, p->GraphY), transparent, blend);
  }
  return 0;
}

int DrawGraphStretchedSoft(int x1, int y1, int x2, int y2, GraphRecord* graph, int transparent, int) {
  MEMIMG* t = Target();
  if (!t || !graph || graph->Width <= 0 || graph->Height <= 0) return -1;
  const MEMIMG* blend = BlendImage();
  const double kx = (double(x2) - x1) / graph->Width, ky = (double(y2) - y1) / graph->Height;
  for (int i = 0; i < graph->PieceCount; ++i) {
    const Surface2DRecord* p = GetSurface2DRecord(graph->Pieces[i]);
    if (!p) continue;
    if (p->GraphX == 0 && p->GraphY == 0 && p->Width == graph->Width && p->Height == graph->Height) {
      DrawMemImgStretched(t, &p->View, x1, y1, x2, y2, transparent, blend);
      continue;
    }
    // Each piece lands where its columns and rows fall in the scaled graph.
    const int px1 = Clamped(x1 + p->GraphX * kx), px2 = Clamped(x1 + (p->GraphX + p->Width) * kx);
    const int py1 = Clamped(y1 + p->GraphY * ky), py2 = Clamped(y1 + (p->GraphY + p->Height) * ky);
    DrawMemImgStretched(t, &p->View, px1, py1, px2, py2, transparent, blend);
  }
  return 0;
}

int DrawGraphQuadSoft(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                      GraphRecord* graph, int transparent) {
  MEMIMG* t = Target();
  MEMIMG* image = graph ? GetGraphPieceImage(graph) : nullptr;
  if (!t || !image) return -1;
  const int w = graph->Width, h = graph->Height;
  // Corners top-left, top-right, bottom-left, bottom-right; the rasteriser
  // refuses corners too far apart, and so a graph wider or higher than it
  // can address.
  const MemImgVertex2D v[4] = {{FloatToIntTrunc(x1), FloatToIntTrunc(y1), 0, 0},
                               {FloatToIntTrunc(x2), FloatToIntTrunc(y2), w, 0},
                               {FloatToIntTrunc(x3), FloatToIntTrunc(y3), 0, h},
                               {FloatToIntTrunc(x4), FloatToIntTrunc(y4), w, h}};
  const MEMIMG* blend = BlendImage();
  DrawMemImgTriangle2D(t, image, &v[0], transparent, blend, 0);
  DrawMemImgTriangle2D(t, image, &v[1], transparent, blend, 0);
  return 0;
}

// A list of triangles through the 3-D rasteriser: shaded by the vertex
// colours over the graph's image (a plain white texture without a graph),
// not clipped in depth. With form 1 the vertex colours play no part. There is
// no depth image on this side, so nothing is depth-tested or written.
int FillQuadrangleSoft(const MemImgVertex3D* vertices, int triangles, GraphRecord* graph, int transparent,
                       int form, int) {
  MEMIMG* t = Target();
  if (!t || !vertices || triangles < 0) return -1;
  const MEMIMG* texture = nullptr;
  if (graph) {
    texture = GetGraphPieceImage(graph);
    if (!texture) return -1;
  }
  const MEMIMG* blend = BlendImage();
  const int vertexColour = form == 1 ? 0 : 1;
  int result = 0;
  for (int i = 0; i < triangles; ++i) {
    if (DrawMemImgTriangle3D(t, nullptr, texture, vertices + 3 * i, transparent, blend, 0, vertexColour,
                             vertexColour, 0) != 0) {
      result = -1;
    }
  }
  return result;
}

int FillRectangleSoft(int x1, int y1, int x2, int y2, int color) {
  MEMIMG* t = Target();
  if (!t) return -1;
  Rect r{x1, y1, x2, y2};
  NormalizeRect(&r);
  FillMemImgBoxXY(t, r.Left, r.Top, r.Right, r.Bottom, uint32_t(color));
  return 0;
}

int OutlineRectangleSoft(int x1, int y1, int x2, int y2, int color) {
  MEMIMG* t = Target();
  if (!t) return -1;
  OutlineMemImgBox(t, x1, y1, x2, y2, uint32_t(color));
  return 0;
}

int DrawLineSegmentSoft(int x1, int y1, int x2, int y2, int color) {
  MEMIMG* t = Target();
  if (!t) return -1;
  DrawMemImgLine(t, x1, y1, x2, y2, uint32_t(color));
  return 0;
}
