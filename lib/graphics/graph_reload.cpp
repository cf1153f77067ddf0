// Where graphs come from and how they are loaded again: the source file of a
// graph, writing decoded images into it, restoring and reloading after the
// display device was lost, and filling and copying into graphs.
#include <cstring>

#include "core/hooks.h"
#include "core/log.h"
#include "file/fileaccess.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "image/imagedecode.h"
#include "image/pixelimage.h"

namespace {

constexpr size_t kDirBufferSize = 1024;
// The reload pass leaves alone what a Windows path of its day could not hold.
constexpr size_t kReloadMaxDirectory = 128;
constexpr size_t kReloadMaxFileName = 64;

// Copies a text into a fixed field; false (and an empty field) when it does
// not fit, so an over-long name is never cut into a different, wrong name.
bool CopyBounded(char* field, size_t size, const char* text) {
  const size_t length = std::strlen(text);
  if (length >= size) {
    field[0] = '\0';
    return false;
  }
  std::memcpy(field, text, length + 1);
  return true;
}

int ReloadSurfaces(int x, int y, int flag, int sourceX, int sourceY, GraphRecord* g, int reserved,
                   const PixelImage* image, const PixelImage* alpha) {
  return g->Format.Texture
             ? ReloadImageToGraphSurface3D(x, y, flag, sourceX, sourceY, g, reserved, image, alpha)
             : ReloadImageToGraphSurface2D(x, y, flag, sourceX, sourceY, g, reserved, image, alpha);
}

void CurrentDirectory(char* buffer) {
  buffer[0] = '\0';
  if (GetDirDispatch(buffer) != 0) buffer[0] = '\0';
  buffer[kDirBufferSize - 1] = '\0';
}

}  // namespace

int SetGraphSourceFile(int handle, const char* fileName, int source) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  char dir[kDirBufferSize];
  g->Directory[0] = '\0';
  g->SourceTooLong = 0;
  if (fileName) {
    CurrentDirectory(dir);
    const bool dirFits = CopyBounded(g->Directory, sizeof g->Directory, dir);
    const bool nameFits = CopyBounded(g->FileName, sizeof g->FileName, fileName);
    if (!dirFits || !nameFits) {
      g->FileName[0] = '\0';
      g->SourceTooLong = 1;
    }
    return 0;
  }
  if (source != -1) {
    const GraphRecord* src = GetGraphRecord(source);
    if (!src) return -1;
    std::memcpy(g->FileName, src->FileName, sizeof g->FileName);
    if (src->Directory[0]) {
      std::memcpy(g->Directory, src->Directory, sizeof g->Directory);
    } else {
      CurrentDirectory(dir);
      if (!CopyBounded(g->Directory, sizeof g->Directory, dir)) g->FileName[0] = '\0';
    }
    g->SourceTooLong = src->SourceTooLong;
    return 0;
  }
  CurrentDirectory(dir);
  CopyBounded(g->Directory, sizeof g->Directory, dir);
  g->FileName[0] = '\0';
  return 0;
}

int TransferImageToGraph(int destX, int destY, int flag, const char* fileName, const PixelImage* image,
                         const PixelImage* alpha, const Rect* sourceRect, int handle, uint32_t loadOption) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g || !image || !sourceRect) return -1;
  SetGraphSourceFile(handle, fileName, -1);
  g->SourceX = sourceRect->Left;
  g->SourceY = sourceRect->Top;
  g->LoadOption = loadOption;
  return g->Format.Texture ? TransferImageToGraphSurface3D(destX, destY, flag, image, alpha, sourceRect, g)
                           : TransferImageToGraphSurface2D(destX, destY, flag, image, alpha, sourceRect, g);
}

int ReloadGraphFromImage(int x, int y, int flag, const char* fileName, int reserved, const PixelImage* image,
                         const PixelImage* alpha, int sourceX, int sourceY, int handle, uint32_t loadOption) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g || !image) return -1;
  SetGraphSourceFile(handle, fileName, -1);
  g->LoadOption = loadOption;
  g->SourceX = sourceX;
  g->SourceY = sourceY;
  return ReloadSurfaces(x, y, flag, sourceX, sourceY, g, reserved, image, alpha);
}

int ReloadGraphPixels(GraphRecord* graph, const PixelImage* image) {
  if (!graph || !image) return -1;
  return ReloadSurfaces(0, 0, 0, 0, 0, graph, 0, image, nullptr);
}

int RestoreGraphSurface(int handle) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  if (g->Format.Texture) {
    RestoreGraphSurface3D(g);
  } else {
    for (int i = 0; i < g->PieceCount; ++i) {
      const Surface2DRecord* piece = GetSurface2DRecord(g->Pieces[i]);
      if (piece) RestoreSurfaceData(piece->SurfaceData);
    }
  }
  if (g->Source.Ops) g->Source.Ops->Restore(g->Source.Id);
  return 0;
}

int RestoreAllGraphSurfaces() {
  GraphicsManagerBlock& m = GraphicsManager;
  if (!m.Initialised) return 0;
  RestoreMainSurfaces();
  for (int slot = 0; slot < m.Graphs.EndMark; ++slot)
    if (m.Graphs.Records[slot]) RestoreGraphSurface(m.Graphs.Records[slot]->Handle);
  return 0;
}

int SetAllGraphsLost() {
  GraphicsManagerBlock& m = GraphicsManager;
  for (int slot = 0; slot < m.Graphs.EndMark; ++slot)
    if (m.Graphs.Records[slot]) m.Graphs.Records[slot]->Lost = 1;
  if (GraphicsState.RestoreCallback) GraphicsState.RestoreCallback();
  return 0;
}

int SetGraphRestoreCallback(GraphRestoreCallback callback) {
  GraphicsState.RestoreCallback = callback ? callback : ReloadLostGraphs;
  return 0;
}

int HasGraphRestoreCallback() { return GraphicsState.RestoreCallback ? 1 : 0; }

void ReloadLostGraphs() {
  LogWrite("グラフィックを復帰します\n");
  char startDir[kDirBufferSize];
  CurrentDirectory(startDir);

  GraphicsManagerBlock& m = GraphicsManager;
  PixelImage image{}, alpha{};
  bool held = false, heldAlpha = false;
  const GraphRecord* previous = nullptr;
  char previousName[GRAPH_FILE_NAME_SIZE] = "", previousDir[GRAPH_DIRECTORY_SIZE] = "";
  uint32_t previousOption = 0;
  const int end = m.Graphs.EndMark;
  for (int slot = 0; slot < end; ++slot) {
    GraphRecord* g = m.Graphs.Records[slot];
    if (!g || g->Lost != 1 || g->FileName[0] == '\0') continue;
    if (std::strlen(g->Directory) <= kReloadMaxDirectory && std::strlen(g->FileName) <= kReloadMaxFileName) {
      const bool same = previous && held && std::strcmp(previousName, g->FileName) == 0 &&
                        std::strcmp(previousDir, g->Directory) == 0 && previousOption == g->LoadOption;
      if (!same) {
        if (held) ReleasePixelImageImpl(&image);
        if (heldAlpha) ReleasePixelImageImpl(&alpha);
        held = heldAlpha = false;
        ChangeDirDispatch(g->Directory);
        const int r = LoadImageWithAlphaFile(g->FileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
        held = r >= 0;
        heldAlpha = r == 0;
      }
      if (held) {
        // The names are copied first: the reload rewrites the record's own.
        char name[GRAPH_FILE_NAME_SIZE];
        std::memcpy(name, g->FileName, sizeof name);
        ReloadGraphFromImage(0, 0, 0, name, 0, &image, heldAlpha ? &alpha : nullptr, g->SourceX, g->SourceY,
                             g->Handle, g->LoadOption);
        std::memcpy(g->FileName, name, sizeof name);
      }
    }
    g->Lost = 0;
    previous = g;
    std::memcpy(previousName, g->FileName, sizeof previousName);
    std::memcpy(previousDir, g->Directory, sizeof previousDir);
    previousOption = g->LoadOption;
  }
  if (held) ReleasePixelImageImpl(&image);
  if (heldAlpha) ReleasePixelImageImpl(&alpha);
  ChangeDirDispatch(startDir);
}

int FillGraphWithColor(int handle, int r, int g, int b, int a) {
  GraphRecord* rec = GetGraphRecord(handle);
  if (!rec) return -1;
  return rec->Format.Texture ? FillGraphSurface3D(rec, r, g, b, a) : FillGraphSurface2D(rec, r, g, b, a);
}

int CopyDrawTargetToGraph(int x1, int y1, int x2, int y2, int handle, int flag) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  WaitWhileWindowInactive();
  EndScene3D();
  return g->Format.Texture ? CopyDrawTargetToGraph3D(x1, y1, x2, y2, g, flag)
                           : CopyDrawTargetToGraphSoft(x1, y1, x2, y2, g, flag);
}
