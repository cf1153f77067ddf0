// Lines thicker than one pixel, drawn as a band of two triangles.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/alloc.h"
#include "core/hooks.h"
#include "core/window_query.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "softrender/memimg_tables.h"

namespace {

int TruncClamped(float v) {
  const double t = std::trunc(double(v));
  if (!(t > -2147483648.0)) return INT32_MIN;
  if (t > 2147483647.0) return INT32_MAX;
  return int(t);
}

}  // namespace

int DrawWideLine(int x1, int y1, int x2, int y2, int color, int thickness) {
  if (thickness <= 0) thickness = 1;
  const float a = float(x2 - int64_t(x1)), b = float(y2 - int64_t(y1));
  const float length = std::sqrt(a * a + b * b);
  // Both end points the same: the band has no direction and no area.
  if (!(length > 0.0f)) return 0;
  const float k = (1.0f / length) * (float(thickness) * 0.5f);
  const float nx = b * k, ny = -a * k;

  int r = 0, g = 0, bl = 0;
  SplitColorValue(uint32_t(color), &r, &g, &bl);
  PrimitiveVertex2D v[4];
  const float px[4] = {float(x1) + nx, float(x2) + nx, float(x1) - nx, float(x2) - nx};
  const float py[4] = {float(y1) + ny, float(y2) + ny, float(y1) - ny, float(y2) - ny};
  for (int i = 0; i < 4; ++i) {
    v[i] = PrimitiveVertex2D{px[i], py[i], 0.0f, 0.0f, uint8_t(bl), uint8_t(g), uint8_t(r), 255};
  }
  FillQuadrangle(v, 4, 5, -5, 0);
  return 0;
}

int FillQuadrangle(const PrimitiveVertex2D* vertices, int count, int primitiveType, int graph,
                   int transparent) {
  (void)graph;
  if (GraphicsState.EmptyClip) return 0;
  if (!vertices || count != 4 || primitiveType != 5) return -1;
  const bool side3D = ColourDrawingUses3D() != 0;
  if (!IsWindowActive()) WaitWhileWindowInactive();

  Rect rect{0, 0, 0, 0};
  const bool front = IsFrontScreenCase() != 0;
  if ((GraphicsState.BlendMode == BLEND_SUB && side3D) || front) {
    float lo[2] = {100000000.0f, 100000000.0f}, hi[2] = {-100000000.0f, -100000000.0f};
    for (int i = 0; i < 4; ++i) {
      const float c[2] = {vertices[i].X, vertices[i].Y};
      for (int j = 0; j < 2; ++j) {
        lo[j] = std::fmin(lo[j], c[j] - 1.0f);
        hi[j] = std::fmax(hi[j], c[j] + 1.0f);
      }
    }
    rect = Rect{TruncClamped(lo[0]), TruncClamped(lo[1]), TruncClamped(hi[0]), TruncClamped(hi[1])};
  }

  auto* converted = static_cast<MemImgVertex3D*>(DrawSides.Alloc(sizeof(MemImgVertex3D) * 4));
  if (!converted) return -1;
  const uint32_t tint = GraphicsState.Tint;
  const uint32_t tr = (tint >> 16) & 0xFF, tg = (tint >> 8) & 0xFF, tb = tint & 0xFF;
  const uint32_t p = uint32_t(GraphicsState.BlendParam) & 0xFF;
  for (int i = 0; i < 4; ++i) {
    const PrimitiveVertex2D& s = vertices[i];
    MemImgVertex3D& d = converted[i];
    d.X = s.X;
    d.Y = s.Y;
    d.Z = 0.0f;
    d.W = 1.0f;
    d.U = s.U;
    d.V = s.V;
    d.Blue = uint8_t(MemImgProductTable[tb][s.Blue]);
    d.Green = uint8_t(MemImgProductTable[tg][s.Green]);
    d.Red = uint8_t(MemImgProductTable[tr][s.Red]);
    d.Alpha = GraphicsState.BlendMode != BLEND_COPY ? uint8_t(MemImgProductTable[p][s.Alpha]) : s.Alpha;
  }
  const Rect& t = GraphicsState.DrawTargetRect;
  if (t.Left != 0 || t.Top != 0) {
    for (int i = 0; i < 4; ++i) {
      converted[i].X += float(t.Left);
      converted[i].Y += float(t.Top);
    }
  }
  auto* list = static_cast<MemImgVertex3D*>(DrawSides.Alloc(sizeof(MemImgVertex3D) * 6));
  if (!list) {
    TrackedFree(converted);
    return -1;
  }
  list[0] = converted[0];
  list[1] = converted[1];
  list[2] = converted[2];
  list[3] = converted[3];
  list[4] = converted[2];
  list[5] = converted[1];

  if (front && DirectDrawState.FrontStale) DrawSides.SyncFrontImageFromScreen();
  int result;
  if (side3D && GraphicsState.BlendMode == BLEND_SUB) {
    FillDrawRectWhiteBegin(&rect);
    result = DrawSides.FillQuadrangle3D(list, 2, nullptr, transparent, 0, 0);
    FillDrawRectWhiteEnd(&rect);
  } else if (side3D) {
    result = DrawSides.FillQuadrangle3D(list, 2, nullptr, transparent, 0, 0);
  } else {
    result = DrawSides.FillQuadrangleSoft(list, 2, nullptr, transparent, 0, 0);
  }
  if (front) DrawSides.PresentFrontImageRect(&rect);
  TrackedFree(converted);
  TrackedFree(list);
  return result;
}
