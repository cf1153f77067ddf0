// The two-dimensional drawing entries: the common frame (empty clip, handle
// and blend-graph checks, side choice, the front-screen steps) and the
// wrappers that draw mirrored or a part of a graph.
#include <cmath>
#include <cstdint>

#include "core/hooks.h"
#include "core/window_query.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"

namespace {

struct Bounds {
  int Left, Top, Right, Bottom;
};

// Steps 1 to 4 of the frame for a graph: empty clip (0 and nothing else),
// the handle and the blend graph (-1), the inactive-window wait.
enum class FrameStart { Draw, Empty, Refused };

FrameStart StartGraphFrame(int graph, GraphRecord** out) {
  if (GraphicsState.EmptyClip) return FrameStart::Empty;
  GraphRecord* g = GetGraphRecord(graph);
  if (!g) return FrameStart::Refused;
  if (GraphicsState.BlendGraph != -1 && CompareWithBlendGraphSize(g) != 0) return FrameStart::Refused;
  if (!IsWindowActive()) WaitWhileWindowInactive();
  *out = g;
  return FrameStart::Draw;
}

int TruncToInt(double v);

// Truncation toward zero, held inside the int range.
int SubClamped(int a, int b) {
  const int64_t v = int64_t(a) - int64_t(b);
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : int(v);
}

int AddClamped(int a, int b) {
  const int64_t v = int64_t(a) + int64_t(b);
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : int(v);
}

int TruncToInt(double v) {
  const double t = std::trunc(v);
  if (!(t > -2147483648.0)) return INT32_MIN;
  if (t > 2147483647.0) return INT32_MAX;
  return int(t);
}

void BeforeDraw(bool front) {
  if (front && DirectDrawState.FrontStale) DrawSides.SyncFrontImageFromScreen();
}

int AfterDraw(bool front, int result, const Rect& r) {
  if (front) DrawSides.PresentFrontImageRect(&r);
  return result;
}

Rect Ordered(int x1, int y1, int x2, int y2) {
  return Rect{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
}

// Runs a three-dimensional side call, inside the subtractive bracket when the
// blend mode is subtraction.
template <typename F>
int Run3D(const Rect& r, F&& call) {
  if (GraphicsState.BlendMode != BLEND_SUB) return call();
  FillDrawRectWhiteBegin(&r);
  const int result = call();
  FillDrawRectWhiteEnd(&r);
  return result;
}

// Saves the clip rectangle, narrows it for one call, and puts it back. The
// software renderer reads the same rectangle, so nothing else changes.
class ClipScope {
 public:
  explicit ClipScope(const Rect& narrow) : saved_(GraphicsState.ClipRect) {
    // The narrow rectangle is ordered: each edge is held inside the saved clip.
    // Read from a local copy so the edges stay in registers rather than being
    // read back from the member just stored.
    const Rect b = saved_;
    GraphicsState.ClipRect = Rect{Hold(narrow.Left, b.Left, b.Right), Hold(narrow.Top, b.Top, b.Bottom),
                                  Hold(narrow.Right, b.Left, b.Right), Hold(narrow.Bottom, b.Top, b.Bottom)};
  }
  ~ClipScope() { GraphicsState.ClipRect = saved_; }
  ClipScope(const ClipScope&) = delete;
  ClipScope& operator=(const ClipScope&) = delete;

 private:
  static int Hold(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }
  Rect saved_;
};

}  // namespace

int IsFrontScreenCase() {
  const bool front = GraphicsState.DrawTarget == DRAW_TARGET_FRONT;
  return (front && IsSoftwareDrawing() && DirectDrawState.DisplayBits != 8) ? 1 : 0;
}

int ColourDrawingUses3D() {
  return (GraphicsState.TextureGraphSetting == 1 && GraphicsManager.Direct3DUsable && !IsSoftwareDrawing())
             ? 1
             : 0;
}

namespace {

// The frame after the handle was found valid (also the part draws' path).
// Inlined into both callers: the part draw of one small cell is dominated by
// this frame, and the call itself showed in profiles.
[[gnu::always_inline]] inline int DrawGraphAtRecord(int x, int y, GraphRecord* g, int transparent) {
  if (GraphicsState.EmptyClip) return 0;
  if (GraphicsState.BlendGraph != -1 && CompareWithBlendGraphSize(g) != 0) return -1;
  if (!IsWindowActive()) WaitWhileWindowInactive();
  // A fed graph shown straight on the screen is placed there, not drawn.
  if (g->Source.Ops && RefreshGraphSource(g, 1, x, y, 1)) return -1;
  const bool front = IsFrontScreenCase() != 0;
  if (!g->Format.Texture && !front) return DrawSides.DrawGraphAtSoft(x, y, g, transparent);
  const Rect r{x, y, AddClamped(x, g->Width), AddClamped(y, g->Height)};
  BeforeDraw(front);
  const int result =
      g->Format.Texture
          ? Run3D(r, [&] { return DrawSides.DrawGraphAt3D(x, y, float(x), float(y), g, transparent, 1); })
          : DrawSides.DrawGraphAtSoft(x, y, g, transparent);
  return AfterDraw(front, result, r);
}

}  // namespace

int DrawGraphAt(int x, int y, int graph, int transparent) {
  if (GraphicsState.EmptyClip) return 0;
  GraphRecord* g = GetGraphRecord(graph);
  if (!g) return -1;
  return DrawGraphAtRecord(x, y, g, transparent);
}

int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent) {
  GraphRecord* g = nullptr;
  const FrameStart start = StartGraphFrame(graph, &g);
  if (start != FrameStart::Draw) return start == FrameStart::Empty ? 0 : -1;
  if (g->Source.Ops && RefreshGraphSource(g, 1, x1, y1, int((int64_t(x2) - x1) / g->Width))) return -1;
  const bool side3D = g->Format.Texture != 0;
  const Rect r = Ordered(x1, y1, x2, y2);
  const bool front = IsFrontScreenCase() != 0;
  BeforeDraw(front);
  const int result =
      side3D ? Run3D(r,
                     [&] {
                       return DrawSides.DrawGraphStretched3D(x1, y1, x2, y2, float(x1), float(y1), float(x2),
                                                             float(y2), g, transparent, 1);
                     })
             : DrawSides.DrawGraphStretchedSoft(x1, y1, x2, y2, g, transparent, -1);
  return AfterDraw(front, result, r);
}

int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                  int transparent) {
  GraphRecord* g = nullptr;
  const FrameStart start = StartGraphFrame(graph, &g);
  if (start != FrameStart::Draw) return start == FrameStart::Empty ? 0 : -1;
  if (g->Source.Ops) RefreshGraphSource(g, 0, 0, 0, 0);
  const bool side3D = g->Format.Texture != 0;
  Rect r{0xFFFFFF, 0xFFFFFF, 0, 0};
  const float xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
  for (int i = 0; i < 4; ++i) {
    // Truncation toward zero; values beyond the int range are held at its edge.
    const int ix = TruncToInt(xs[i]), iy = TruncToInt(ys[i]);
    if (ix < r.Left) r.Left = ix;
    if (iy < r.Top) r.Top = iy;
    if (ix > r.Right) r.Right = ix;
    if (iy > r.Bottom) r.Bottom = iy;
  }
  const bool front = IsFrontScreenCase() != 0;
  BeforeDraw(front);
  const int result =
      side3D
          ? Run3D(r,
                  [&] { return DrawSides.DrawGraphQuad3D(x1, y1, x2, y2, x4, y4, x3, y3, g, transparent); })
          : DrawSides.DrawGraphQuadSoft(x1, y1, x2, y2, x4, y4, x3, y3, g, transparent);
  return AfterDraw(front, result, r);
}

namespace {
// A colour primitive over `r` on the side the drawing state picks, with the
// front-screen bookkeeping around it.
template <typename Draw3D, typename DrawSoft>
int DrawColourPrimitive(const Rect& r, Draw3D draw3D, DrawSoft drawSoft) {
  if (GraphicsState.EmptyClip) return 0;
  if (!IsWindowActive()) WaitWhileWindowInactive();
  const bool side3D = ColourDrawingUses3D() != 0;
  const bool front = IsFrontScreenCase() != 0;
  BeforeDraw(front);
  const int result = side3D ? Run3D(r, draw3D) : drawSoft();
  return AfterDraw(front, result, r);
}
}  // namespace

int FillRectangle(int x1, int y1, int x2, int y2, int color) {
  return DrawColourPrimitive(
      Ordered(x1, y1, x2, y2), [&] { return DrawSides.FillRectangle3D(x1, y1, x2, y2, color); },
      [&] { return DrawSides.FillRectangleSoft(x1, y1, x2, y2, color); });
}

int OutlineRectangle(int x1, int y1, int x2, int y2, int color) {
  return DrawColourPrimitive(
      Ordered(x1, y1, x2, y2), [&] { return DrawSides.OutlineRectangle3D(x1, y1, x2, y2, color); },
      [&] { return DrawSides.OutlineRectangleSoft(x1, y1, x2, y2, color); });
}

int DrawLineSegmentImpl(int x1, int y1, int x2, int y2, int color, int thickness) {
  if (thickness > 1) return DrawWideLine(x1, y1, x2, y2, color, thickness);
  const Rect o = Ordered(x1, y1, x2, y2);
  // Both end points are drawn: the rectangle reaches one past the far corner.
  return DrawColourPrimitive(
      Rect{o.Left, o.Top, AddClamped(o.Right, 1), AddClamped(o.Bottom, 1)},
      [&] { return DrawSides.DrawLineSegment3D(x1, y1, x2, y2, color); },
      [&] { return DrawSides.DrawLineSegmentSoft(x1, y1, x2, y2, color); });
}

int DrawGraphMirrored(int x, int y, int graph, int transparent) {
  const GraphRecord* g = GetGraphRecord(graph);
  if (!g) return -1;
  return DrawGraphStretched(AddClamped(x, g->Width), y, x, AddClamped(y, g->Height), graph, transparent);
}

int DrawGraphPartImpl(int x, int y, int srcX, int srcY, int width, int height, int graph, int transparent,
                      int mirror) {
  // An empty part draws nothing; the narrowed clip would be empty anyway, and
  // an inverted one would clip to a different rectangle.
  if (width <= 0 || height <= 0) return -1;
  GraphRecord* g = GetGraphRecord(graph);
  if (!g) return (GraphicsState.EmptyClip && !mirror) ? 0 : -1;
  ClipScope scope(Rect{x, y, AddClamped(x, width), AddClamped(y, height)});
  if (!mirror) return DrawGraphAtRecord(SubClamped(x, srcX), SubClamped(y, srcY), g, transparent);
  return DrawGraphMirrored(TruncToInt(double(x) - g->Width + srcX + width), TruncToInt(double(y) - srcY),
                           graph, transparent);
}

int DrawGraphPartStretched(int x1, int y1, int x2, int y2, int srcX, int srcY, int width, int height,
                           int graph, int transparent) {
  const GraphRecord* g = GetGraphRecord(graph);
  if (!g) return -1;
  if (width <= 0 || height <= 0) return -1;
  const bool mirrorX = x2 < x1, mirrorY = y2 < y1;
  const Rect r = Ordered(x1, y1, x2, y2);
  ClipScope scope(r);
  const double kx = (double(r.Right) - r.Left) / width, ky = (double(r.Bottom) - r.Top) / height;
  const int W = g->Width, H = g->Height;
  int X1, X2, Y1, Y2;
  if (!mirrorX) {
    X1 = TruncToInt(double(r.Left) - std::trunc(srcX * kx));
    X2 = TruncToInt(double(r.Left) + std::trunc((double(W) - srcX) * kx));
  } else {
    X1 = TruncToInt(double(r.Right) + std::trunc(srcX * kx));
    X2 = TruncToInt(double(r.Right) - std::trunc((double(W) - srcX) * kx));
  }
  if (!mirrorY) {
    Y1 = TruncToInt(double(r.Top) - std::trunc(srcY * ky));
    Y2 = TruncToInt(double(r.Top) + std::trunc((double(H) - srcY) * ky));
  } else {
    Y1 = TruncToInt(double(r.Bottom) + std::trunc(srcY * ky));
    Y2 = TruncToInt(double(r.Bottom) - std::trunc((double(H) - srcY) * ky));
  }
  return DrawGraphStretched(X1, Y1, X2, Y2, graph, transparent);
}
