// The table of back-end sides the drawing entries call, bound to the display
// back end.
#include "core/alloc.h"
#include "graphics/draw.h"
#include "graphics/soft/display.h"
#include "graphics/soft/draw_soft.h"

namespace {

void* TrackedAllocPlain(size_t size) { return TrackedAlloc(size, "", 0); }

DrawSideTable RealSides() {
  return DrawSideTable{
      DrawGraphAt3D,          DrawGraphStretched3D, DrawGraphQuad3D,          FillQuadrangle3D,
      FillRectangle3D,        OutlineRectangle3D,   DrawLineSegment3D,        DrawGraphAtSoft,
      DrawGraphStretchedSoft, DrawGraphQuadSoft,    FillQuadrangleSoft,       FillRectangleSoft,
      OutlineRectangleSoft,   DrawLineSegmentSoft,  SyncFrontImageFromScreen, PresentFrontImageRect,
      TrackedAllocPlain,
  };
}

}  // namespace

DrawSideTable DrawSides = RealSides();

void ResetDrawSides() { DrawSides = RealSides(); }
