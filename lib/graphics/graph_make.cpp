// Making graphs: of a size, from decoded images, from image files, and as a
// rectangle of another graph.
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

// Removes a record whose surfaces could not be made, so a failed creation
// leaves nothing behind in the table.
void DiscardGraph(int handle) { FreeGraphHandle(handle, 0); }

}  // namespace

int CreateGraphOfSize(int width, int height, int textureAllowed, int alpha, int palette) {
  return CreateGraphWithSettings(width, height, textureAllowed, alpha, palette, GetNewGraphSettings());
}

int CreateGraphWithSettings(int width, int height, int textureAllowed, int alpha, int palette,
                            const NewGraphSettings& settings) {
  if (width <= 0 || height <= 0) return -1;
  GraphRecord* g = nullptr;
  const int handle = AddGraphDataWithSettings(width, height, textureAllowed, &g, alpha, palette, settings);
  if (handle < 0) return -1;
  const int r = g->Format.Texture ? CreateGraphSurface3D(g) : CreateGraphSurface2D(g);
  if (r != 0) {
    LogWrite("グラフィックの作成に失敗しました\n");
    DiscardGraph(handle);
    return -1;
  }
  return handle;
}

int CreateBlankGraph(int width, int height, int twoDimensionalOnly) {
  return CreateGraphOfSize(width, height, twoDimensionalOnly ? 0 : 1, GraphicsState.NewGraphAlphaCh, 0);
}

int MakeGraphForImage(PixelImage* image, PixelImage* alpha, int textureAllowed) {
  if (!image) return -1;
  EndScene3D();
  WaitWhileWindowInactive();
  if (alpha && (alpha->Width != image->Width || alpha->Height != image->Height)) return -1;
  const int palette = (image->Format.BytesPerPixel == 1 && image->Format.AlphaWidth == 0 && !alpha) ? 1 : 0;
  const int hasAlpha = (image->Format.AlphaWidth != 0 || alpha) ? 1 : 0;
  return CreateGraphOfSize(image->Width, image->Height, textureAllowed, hasAlpha, palette);
}

int CreateGraphFromImagePair(PixelImage* image, PixelImage* alpha, int textureAllowed, int mirror,
                             int callerOwned) {
  if (!image) return -1;
  UpdateColorFormatUnusedBits(&image->Format);
  if (alpha) UpdateColorFormatUnusedBits(&alpha->Format);
  EndScene3D();
  const bool mirrored = mirror == 1 && callerOwned == 1;
  if (mirrored) {
    MirrorPixelImage(image);
    if (alpha) MirrorPixelImage(alpha);
  }
  int handle = MakeGraphForImage(image, alpha, textureAllowed);
  if (handle >= 0 && ReloadGraphFromImage(0, 0, 0, nullptr, 0, image, alpha, 0, 0, handle, 0) != 0) {
    DiscardGraph(handle);
    handle = -1;
  }
  if (mirrored) {
    MirrorPixelImage(image);
    if (alpha) MirrorPixelImage(alpha);
  }
  return handle;
}

int CreateGraphFromImageDefault(PixelImage* image) {
  return CreateGraphFromImagePair(image, nullptr, 1, 0, 1);
}

int LoadFileAsGraph(const char* fileName, int textureAllowed, int mirror) {
  if (!fileName || !GraphicsManager.Initialised) return -1;
  EndScene3D();
  WaitWhileWindowInactive();

  PixelImage image{}, alpha{};
  const int loaded = LoadImageWithAlphaFile(fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
  if (loaded >= 0) {
    const bool hasAlpha = loaded == 0;
    if (mirror == 1) {
      MirrorPixelImage(&image);
      if (hasAlpha) MirrorPixelImage(&alpha);
    }
    int handle = CreateGraphFromImagePair(&image, hasAlpha ? &alpha : nullptr, textureAllowed, mirror, 0);
    if (handle >= 0) SetGraphSourceFile(handle, fileName, -1);
    ReleasePixelImageImpl(&image);
    if (hasAlpha) ReleasePixelImageImpl(&alpha);
    return handle;
  }

  // Not an image: a missing file is reported as such; anything else is left
  // to the caller's other readers.
  FileHandle file = FileOpenDispatch(fileName, 0, 0, 0);
  if (file == 0) {
    LogPrintf("グラフィックファイル %s がありません", fileName);
    return -1;
  }
  FileCloseDispatch(file);
  return GRAPH_FILE_NOT_IMAGE;
}

int CreateSubGraph(int x, int y, int width, int height, int source) {
  const GraphRecord* src = GetGraphRecord(source);
  if (!src) return -1;
  // The rectangle must start inside the source and have an area; the rest of
  // it is cut to the source.
  if (x < 0 || y < 0 || x >= src->Width || y >= src->Height || width <= 0 || height <= 0) return -1;
  if (width > src->Width - x) width = src->Width - x;
  if (height > src->Height - y) height = src->Height - y;

  GraphRecord* g = nullptr;
  const int handle =
      AddGraphData(width, height, src->Format.Texture, &g, src->Format.AlphaChFlag, src->Format.Palette);
  if (handle < 0) return -1;
  src = GetGraphRecord(source);  // still valid: adding never moves records
  g->Source = src->Source;
  g->Source.Owner = 0;
  std::memcpy(g->FileName, src->FileName, sizeof g->FileName);
  std::memcpy(g->Directory, src->Directory, sizeof g->Directory);
  g->SourceTooLong = src->SourceTooLong;
  g->Format = src->Format;
  g->LoadOption = src->LoadOption;
  g->SourceX = src->SourceX + x;
  g->SourceY = src->SourceY + y;
  const int r = g->Format.Texture ? CreateSubGraphSurface3D(g, x, y, width, height, src)
                                  : CreateSubGraphSurface2D(g, x, y, width, height, src);
  if (r != 0) {
    LogWrite("グラフィックの派生に失敗しました終了します");
    DiscardGraph(handle);
    return -1;
  }
  return handle;
}
