// Two-dimensional pieces of graphs. In software drawing one piece covers a
// whole graph: a view of a library image owned by a surface-data record. A
// sub-graph's piece is a view into its source's record, which it keeps alive
// with a reference.
#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "graphics/surfacedata.h"
#include "image/pixelimage.h"

namespace {

int AddSurface2D(int surfaceData, int graphX, int graphY, int width, int height, int viewX, int viewY) {
  DirectDrawStateBlock& d = DirectDrawState;
  SurfaceDataRecord* data = GetSurfaceDataRecord(surfaceData);
  if (!data || !IsValidMemImg(&data->Image)) return -1;
  const int slot = d.Surfaces.FreeSlot();
  if (slot < 0) return -1;
  auto* s = static_cast<Surface2DRecord*>(TrackedAllocZeroed(sizeof(Surface2DRecord), "", 0));
  if (!s) return -1;
  DeriveMemImg(&s->View, &data->Image, viewX, viewY, width, height);
  if (!IsValidMemImg(&s->View)) {
    TrackedFree(s);
    return -1;
  }
  s->SurfaceData = surfaceData;
  s->GraphX = graphX;
  s->GraphY = graphY;
  s->Width = width;
  s->Height = height;
  s->Handle = d.Surfaces.Add(slot, s);
  return s->Handle;
}

// Drops the piece and its reference; the last reference deletes the data.
int DeleteSurface2D(int handle) {
  Surface2DRecord* s = GetSurface2DRecord(handle);
  if (!s) return -1;
  DirectDrawStateBlock& d = DirectDrawState;
  if (d.TargetImage == &s->View) d.TargetImage = nullptr;
  if (d.BlendImage == &s->View) d.BlendImage = nullptr;
  TerminateMemImg(&s->View);
  if (ReleaseSurfaceDataRef(s->SurfaceData) == 0) DeleteSurfaceData(s->SurfaceData);
  d.Surfaces.Remove(d.Surfaces.SlotOf(handle));
  TrackedFree(s);
  return 0;
}

// Writes (sx, sy, w, h) of the image into the piece at (px, py), cut to the
// image, the alpha image and the piece.
void WriteIntoPiece(Surface2DRecord* piece, const PixelImage* image, const PixelImage* alpha, int sx, int sy,
                    int px, int py, int w, int h) {
  if (px < 0) {
    sx -= px;
    w += px;
    px = 0;
  }
  if (py < 0) {
    sy -= py;
    h += py;
    py = 0;
  }
  if (sx < 0) {
    px -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    py -= sy;
    h += sy;
    sy = 0;
  }
  if (w > image->Width - sx) w = image->Width - sx;
  if (h > image->Height - sy) h = image->Height - sy;
  if (alpha) {
    if (w > alpha->Width - sx) w = alpha->Width - sx;
    if (h > alpha->Height - sy) h = alpha->Height - sy;
  }
  if (w > piece->Width - px) w = piece->Width - px;
  if (h > piece->Height - py) h = piece->Height - py;
  if (w <= 0 || h <= 0) return;
  TransferPixelImageToMemImg(image, alpha, &piece->View, sx, sy, w, h, px, py, 0);
}

}  // namespace

int DeleteAllSurface2DChecked() {
  DirectDrawStateBlock& d = DirectDrawState;
  for (int slot = d.Surfaces.EndMark - 1; slot >= 0; --slot)
    if (d.Surfaces.Records[slot]) DeleteSurface2D(d.Surfaces.Records[slot]->Handle);
  return 0;
}

MEMIMG* GetGraphPieceImage(const GraphRecord* graph) {
  if (!graph || graph->PieceCount <= 0) return nullptr;
  Surface2DRecord* s = GetSurface2DRecord(graph->Pieces[0]);
  return s ? &s->View : nullptr;
}

int CreateGraphSurface2D(GraphRecord* graph) {
  if (!graph || graph->Width <= 0 || graph->Height <= 0 || graph->Width > 0xFFFF || graph->Height > 0xFFFF)
    return -1;
  const int data = AddSurfaceData(1, uint16_t(graph->Width), uint16_t(graph->Height),
                                  GraphicsState.TransparentColor, &graph->Format);
  if (data < 0) return -1;
  const int piece = AddSurface2D(data, 0, 0, graph->Width, graph->Height, 0, 0);
  if (piece < 0) {
    DeleteSurfaceData(data);
    return -1;
  }
  // A fresh graph starts black, as the transparent colour of its image.
  SurfaceDataRecord* rec = GetSurfaceDataRecord(data);
  ClearMemImgRect(
      &rec->Image, nullptr,
      rec->Image.Base->TransColor == 0xFFFF && rec->Request.Palette ? 0 : rec->Image.Base->TransColor);
  graph->Pieces[0] = piece;
  graph->PieceCount = 1;
  return 0;
}

int CreateSubGraphSurface2D(GraphRecord* graph, int x, int y, int width, int height,
                            const GraphRecord* source) {
  if (!graph || !source || width <= 0 || height <= 0) return -1;
  int count = 0;
  for (int i = 0; i < source->PieceCount; ++i) {
    const Surface2DRecord* sp = GetSurface2DRecord(source->Pieces[i]);
    if (!sp) continue;
    // The part of this source piece inside the rectangle.
    const int left = x > sp->GraphX ? x : sp->GraphX;
    const int top = y > sp->GraphY ? y : sp->GraphY;
    const int right = (x + width) < (sp->GraphX + sp->Width) ? (x + width) : (sp->GraphX + sp->Width);
    const int bottom = (y + height) < (sp->GraphY + sp->Height) ? (y + height) : (sp->GraphY + sp->Height);
    if (left >= right || top >= bottom) continue;
    const SurfaceDataRecord* data = GetSurfaceDataRecord(sp->SurfaceData);
    if (!data) continue;
    // The view's position inside the record's whole image.
    const int viewX = int(sp->View.Pixels - data->Image.Pixels) % int(data->Image.Base->Pitch) /
                          int(data->Image.Base->Format->BytesPerPixel) +
                      (left - sp->GraphX);
    const int viewY =
        int((sp->View.Pixels - data->Image.Pixels) / int(data->Image.Base->Pitch)) + (top - sp->GraphY);
    AddSurfaceDataRef(sp->SurfaceData);
    const int piece =
        AddSurface2D(sp->SurfaceData, left - x, top - y, right - left, bottom - top, viewX, viewY);
    if (piece < 0 || count >= GRAPH_MAX_PIECES) {
      if (piece >= 0)
        DeleteSurface2D(piece);
      else
        ReleaseSurfaceDataRef(sp->SurfaceData);
      DeleteGraphSurface2D(graph);
      return -1;
    }
    graph->Pieces[count++] = piece;
    graph->PieceCount = count;
  }
  return count > 0 ? 0 : -1;
}

int DeleteGraphSurface2D(GraphRecord* graph) {
  if (!graph) return -1;
  for (int i = 0; i < graph->PieceCount; ++i) DeleteSurface2D(graph->Pieces[i]);
  graph->PieceCount = 0;
  return 0;
}

int TransferImageToGraphSurface2D(int destX, int destY, int, const PixelImage* image, const PixelImage* alpha,
                                  const Rect* sourceRect, GraphRecord* graph) {
  if (!graph || !image || !sourceRect) return -1;
  const int w = sourceRect->Right - sourceRect->Left, h = sourceRect->Bottom - sourceRect->Top;
  if (w <= 0 || h <= 0) return -1;
  for (int i = 0; i < graph->PieceCount; ++i) {
    Surface2DRecord* p = GetSurface2DRecord(graph->Pieces[i]);
    if (p)
      WriteIntoPiece(p, image, alpha, sourceRect->Left, sourceRect->Top, destX - p->GraphX, destY - p->GraphY,
                     w, h);
  }
  return 0;
}

int ReloadImageToGraphSurface2D(int, int, int, int sourceX, int sourceY, GraphRecord* graph, int,
                                const PixelImage* image, const PixelImage* alpha) {
  if (!graph || !image) return -1;
  for (int i = 0; i < graph->PieceCount; ++i) {
    Surface2DRecord* p = GetSurface2DRecord(graph->Pieces[i]);
    if (p)
      WriteIntoPiece(p, image, alpha, sourceX + p->GraphX, sourceY + p->GraphY, 0, 0, p->Width, p->Height);
  }
  return 0;
}

int FillGraphSurface2D(GraphRecord* graph, int r, int g, int b, int a) {
  if (!graph) return -1;
  for (int i = 0; i < graph->PieceCount; ++i) {
    Surface2DRecord* p = GetSurface2DRecord(graph->Pieces[i]);
    if (!p) continue;
    if (p->View.Base->PaletteFlag) return -1;
    ClearMemImgRect(&p->View, nullptr, PackColorForFormat(p->View.Base->Format, r, g, b, a));
  }
  return 0;
}

int CopyDrawTargetToGraphSoft(int x1, int y1, int x2, int y2, GraphRecord* graph, int) {
  MEMIMG* target = GetDrawTargetImage();
  if (!graph || !target) return -1;
  Rect r{x1, y1, x2, y2};
  NormalizeRect(&r);
  int result = 0;
  for (int i = 0; i < graph->PieceCount; ++i) {
    Surface2DRecord* p = GetSurface2DRecord(graph->Pieces[i]);
    if (!p) continue;
    const Rect part{r.Left + p->GraphX, r.Top + p->GraphY, r.Right, r.Bottom};
    if (CopyMemImgRect(&p->View, target, &part, 0, 0) < 0) result = -1;
  }
  return result;
}
