// The draw target, its clip rectangle, and clearing it.
#include <cstring>
#include <utility>

#include "core/hooks.h"
#include "core/log.h"
#include "core/window_query.h"
#include "graphics/drawstate.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "softrender/memimg_tables.h"

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// Sets the transforms for a target of w x h: world identity, a viewport over
// the whole target, and a view and projection under which a point (x, y, 0)
// lands on pixel column x and row h - y of a screen-sized target.
void ResetTransformsForTarget(int w, int h) {
  Matrix4 m;
  MatrixIdentity(&m);
  SetWorldMatrix(&m, 0);
  const float fw = float(w), fh = float(h);
  MatrixViewport(&GraphicsState.Viewport, fw / 2, fh / 2, fw, fh);
  const float d = float(h / 2) * 1.7320509f;
  const Vector3 eye{fw * 0.5f, fh * 0.5f, -d};
  const Vector3 at{fw * 0.5f, fh * 0.5f, -d + 1.0f};
  const Vector3 up{0.0f, 1.0f, 0.0f};
  MatrixLookAt(&m, &eye, &at, &up);
  SetViewMatrix(&m);
  if (MatrixPerspective(&m, 1.0471976f, d * 0.01f, d + 1000.0f, -1.0f) == 0) SetProjectionMatrix(&m);
}

// Selects the target on the layers in use; false when every layer refused.
bool SelectOnLayers(int target, int old) {
  const bool with3D = GraphicsManager.Direct3DUsable != 0;
  const int r3 = with3D ? SetDrawTarget3D(target, old) : -1;
  const int r2 = SetDrawTarget2D(target, old);
  return r2 == 0 || (with3D && r3 == 0);
}

void StoreTargetRect(int target) {
  Rect& r = GraphicsState.DrawTargetRect;
  r = Rect{0, 0, 0, 0};
  const bool softOnScreen = IsSoftwareDrawing() && GetScreenColorBits() != 8;
  if (target == DRAW_TARGET_FRONT && !GetSeparateBackLayout() && IsWindowedMode() && !softOnScreen) {
    int c[4];
    GetWindowClientScreenRect(c);
    r = Rect{c[0], c[1], c[2], c[3]};
  }
}

// The steps of a target change. `attempt` counts the restorations after a
// refusal: 0 the caller's target, 1 the old target selected again, 2 the
// back screen.
int SelectDrawTarget(int target, int attempt) {
  GraphicsStateBlock& s = GraphicsState;
  const int old = s.DrawTarget;
  s.DrawTarget = target;
  StoreTargetRect(target);

  if (!SelectOnLayers(target, old)) {
    // The old target is selected again through the same steps, so its clip
    // and transforms follow as for any change from the refused target. When
    // even that is refused (the old graph was deleted meanwhile), the back
    // screen, which is always there, takes over instead of an endless round
    // of retries.
    if (attempt == 0)
      SelectDrawTarget(old, 1);
    else if (attempt == 1)
      SelectDrawTarget(DRAW_TARGET_BACK, 2);
    return -1;
  }

  int w = 0, h = 0;
  GetGraphDimensions(target, &w, &h);
  int oldW = -1, oldH = -1;
  if (GetGraphDimensions(old, &oldW, &oldH) != 0) oldW = oldH = -1;
  if (w == oldW && h == oldH) {
    const Rect c = s.ClipRect;
    SetDrawClipRect(c.Left, c.Top, c.Right, c.Bottom);
  } else {
    SetDrawClipRect(0, 0, w, h);
  }
  s.TargetWidth = w;
  s.TargetHeight = h;
  ResetTransformsForTarget(w, h);
  return 0;
}

}  // namespace

int SetDrawTargetImpl(int target) {
  if (!GraphicsManager.Initialised) return -1;
  WaitWhileWindowInactive();
  return SelectDrawTarget(target, 0);
}

int SetDrawClipRect(int x1, int y1, int x2, int y2) {
  GraphicsStateBlock& s = GraphicsState;
  s.ClipArgs[0] = x1;
  s.ClipArgs[1] = y1;
  s.ClipArgs[2] = x2;
  s.ClipArgs[3] = y2;

  int w = 0, h = 0;
  if (s.DrawTarget == DRAW_TARGET_BACK) {
    GetScreenSize(&w, &h);
  } else if (s.DrawTarget == DRAW_TARGET_FRONT) {
    int c[4] = {0, 0, 0, 0};
    if (IsWindowedMode()) {
      PlatRect pr{0, 0, 0, 0};
      if (GetMainWindow() && PlatGetClientRect(GetMainWindow(), &pr) == 0) {
        c[0] = pr.Left;
        c[1] = pr.Top;
      }
    } else {
      GetWindowClientScreenRect(c);
    }
    if (c[0] < 0) x1 = -c[0];
    if (c[1] < 0) y1 = -c[1];
    GetScreenSize(&w, &h);
    int dw = 0, dh = 0;
    GetDesktopMetrics(&dw, &dh, nullptr);
    if (dw > 0 && c[0] + w >= dw) w = dw - c[0];
    if (dh > 0 && c[1] + h >= dh) h = dh - c[1];
  } else {
    const GraphRecord* g = GetGraphRecord(s.DrawTarget);
    if (!g) return 0;
    w = g->Width;
    h = g->Height;
  }

  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  s.ClipRect = Rect{Clamp(x1, 0, w), Clamp(y1, 0, h), Clamp(x2, 0, w), Clamp(y2, 0, h)};
  if (s.ClipRect.Left == s.ClipRect.Right || s.ClipRect.Top == s.ClipRect.Bottom) {
    s.EmptyClip = 1;
    return 0;
  }
  s.EmptyClip = 0;
  if (GraphicsManager.Direct3DUsable && SetViewportFromRect3D(&s.ClipRect) != 0)
    LogPrintf("ビューポートの設定に失敗しました %s", s.DrawTarget == DRAW_TARGET_FRONT  ? "Front Buffer"
                                                     : s.DrawTarget == DRAW_TARGET_BACK ? "Back Buffer"
                                                                                        : "Image Buffer");
  return 0;
}

int GetDrawTarget() { return GraphicsState.DrawTarget; }

int SetDrawTargetRect(const Rect* rect) {
  if (rect) GraphicsState.DrawTargetRect = *rect;
  return 0;
}

int GetDrawClipRect(Rect* rect) {
  if (rect) *rect = GraphicsState.ClipRect;
  return 0;
}

int GetStoredDrawClipArgs(Rect* rect) {
  if (rect)
    *rect = Rect{GraphicsState.ClipArgs[0], GraphicsState.ClipArgs[1], GraphicsState.ClipArgs[2],
                 GraphicsState.ClipArgs[3]};
  return 0;
}

int ClearDrawTargetImpl() {
  WaitWhileWindowInactive();
  if (GraphicsManager.Direct3DUsable) ClearDrawTarget3D();
  ClearDrawTargetSoft();
  if (IsSoftwareDrawing() && GetScreenColorBits() != 8 && GraphicsState.DrawTarget == DRAW_TARGET_FRONT) {
    int w = 0, h = 0;
    GetScreenSize(&w, &h);
    const Rect all{0, 0, w, h};
    PresentFrontImageRect(&all);
  }
  return 0;
}

void SyncSoftDrawState() {
  const GraphicsStateBlock& s = GraphicsState;
  SoftDrawState.Clip = &s.ClipRect;
  SoftDrawState.BlendMode = s.BlendMode;
  SoftDrawState.BlendParam = s.BlendParam;
  SoftDrawState.Tint = s.Tint;
}
