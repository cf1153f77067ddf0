// Graph handles: the record behind each graph, its table, and the making,
// deleting and reloading of graphs. A graph is an image the library can draw
// and draw into; its pixels live in pieces made by the display back end.
#pragma once
#include <cstdint>

#include "core/handle_table.h"
#include "graphics/geometry.h"

struct PixelImage;

constexpr int GRAPH_TABLE_SIZE = 32768;
constexpr int GRAPH_MAX_PIECES = 64;
constexpr int GRAPH_FILE_NAME_SIZE = 64;
constexpr int GRAPH_DIRECTORY_SIZE = 256;
constexpr int32_t GRAPH_HANDLE_TAG = 0x08000000;

// The nine bytes every surface of a graph is asked for with.
struct SurfaceFormatRequest {
  uint8_t Texture;  // 1: Direct3D texture pieces
  uint8_t AlphaChFlag;
  uint8_t DrawValid;  // can be a draw target
  uint8_t SystemMemory;
  uint8_t NoTextureManage;
  uint8_t AlphaTestFlag;
  uint8_t ColorBitDepth;  // 16 or 32 (8 on a palette screen)
  uint8_t Option;         // 1: 8-bit single channel image; 0 for graphs
  uint8_t Palette;        // the software image keeps its palette
};
static_assert(sizeof(SurfaceFormatRequest) == 9, "format request is nine bytes");

// What a new graph is made with beyond its size, alpha and palette. The
// drawing state keeps the caller's settings (GetNewGraphSettings); a layer
// above graphics that needs a graph of its own kind passes its own copy
// rather than changing those.
struct NewGraphSettings {
  int32_t ColorBitDepth;  // 0: the screen's (32 for a texture with alpha)
  int32_t TextureGraph;   // 0: never texture pieces
  int32_t DrawValid;      // 1: can be a draw target (and then has no alpha)
  int32_t AlphaTest;
  int32_t SystemMemory;
  int32_t NoTextureManage;
};

// A source that feeds a graph's pixels from a layer above graphics (a
// movie's frames). That layer fills in the operations and the source's id
// when it binds the source to a graph; the graph layer calls them and knows
// nothing else of the source. Each operation checks the id itself: a
// sub-graph shares its source's feed and may outlive it.
struct GraphFrameSourceOps {
  // Before a draw: brings the source's graph up to date. With place 1 a
  // source shown straight on the screen is placed there instead, at (x, y)
  // and the integer scale, and the answer is 1: the entry then draws
  // nothing. 0 otherwise.
  int (*Refresh)(int32_t id, int place, int x, int y, int scale);
  // The owning graph is deleted: the source ends.
  int (*Release)(int32_t id);
  // The graph's surfaces were restored in place.
  int (*Restore)(int32_t id);
};

struct GraphFrameSource {
  const GraphFrameSourceOps* Ops;  // null: the graph has no source
  int32_t Id;                      // the source's own handle
  // 1 when this graph bound the source and ends it; a sub-graph shares its
  // source graph's feed without owning it.
  int32_t Owner;
};

struct GraphRecord {
  uint32_t Check;
  int* LostFlag;
  int32_t Handle;
  SurfaceFormatRequest Format;
  uint32_t LoadOption;
  int32_t Pieces[GRAPH_MAX_PIECES];
  int32_t PieceCount;
  char FileName[GRAPH_FILE_NAME_SIZE];
  char Directory[GRAPH_DIRECTORY_SIZE];
  int32_t SourceX, SourceY;
  int32_t Width, Height;
  GraphFrameSource Source;
  int32_t Lost;  // 1 while the device surfaces are lost and not reloaded
  // 1 when the name or directory did not fit: the graph cannot be reloaded.
  int32_t SourceTooLong;
};

// ---- Table ---------------------------------------------------------------------------
// The drawing state's new-graph settings as they are now.
NewGraphSettings GetNewGraphSettings();
// A record with its format bytes, without surfaces; AddGraphData with the
// drawing state's settings.
int AddGraphData(int width, int height, int textureAllowed, GraphRecord** out, int alpha, int palette);
int AddGraphDataWithSettings(int width, int height, int textureAllowed, GraphRecord** out, int alpha,
                             int palette, const NewGraphSettings& settings);
GraphRecord* GetGraphRecord(int handle);
int IsGraphHandleValid(int handle);
int GetGraphDimensions(int handle, int* width, int* height);
int SetGraphLostFlagPtr(int handle, int* flag);
int FreeGraphHandle(int handle, int logFlag);
int FreeAllGraphHandles(int logFlag);

// ---- Making graphs ---------------------------------------------------------------------
// A graph with its surfaces; CreateGraphOfSize with the drawing state's
// settings. -1 when the size has no area or the surfaces cannot be made.
int CreateGraphOfSize(int width, int height, int textureAllowed, int alpha, int palette);
int CreateGraphWithSettings(int width, int height, int textureAllowed, int alpha, int palette,
                            const NewGraphSettings& settings);
int CreateBlankGraph(int width, int height, int twoDimensionalOnly);
int MakeGraphForImage(PixelImage* image, PixelImage* alpha, int textureAllowed);
int CreateGraphFromImagePair(PixelImage* image, PixelImage* alpha, int textureAllowed, int mirror,
                             int callerOwned);
int CreateGraphFromImageDefault(PixelImage* image);
// A file that exists but is no image the decoders take: the caller may try
// another reader (the library's image loader tries it as a movie).
constexpr int GRAPH_FILE_NOT_IMAGE = -2;
// A graph of an image file and its alpha companion; -1 (logged when the file
// is missing), or GRAPH_FILE_NOT_IMAGE (nothing logged).
int LoadFileAsGraph(const char* fileName, int textureAllowed, int mirror);
int CreateSubGraph(int x, int y, int width, int height, int source);

// ---- Source files and reloading -----------------------------------------------------------
int SetGraphSourceFile(int handle, const char* fileName, int source);
int TransferImageToGraph(int destX, int destY, int flag, const char* fileName, const PixelImage* image,
                         const PixelImage* alpha, const Rect* sourceRect, int handle, uint32_t loadOption);
int ReloadGraphFromImage(int x, int y, int flag, const char* fileName, int reserved, const PixelImage* image,
                         const PixelImage* alpha, int sourceX, int sourceY, int handle, uint32_t loadOption);
// Writes an image into the graph's surfaces from its top left corner,
// whichever kind they are: a frame source's new picture. The graph's source
// file, position and load option stay as they are. 0, or -1.
int ReloadGraphPixels(GraphRecord* graph, const PixelImage* image);
int RestoreGraphSurface(int handle);
int RestoreAllGraphSurfaces();
int SetAllGraphsLost();
using GraphRestoreCallback = void (*)();
int SetGraphRestoreCallback(GraphRestoreCallback callback);
int HasGraphRestoreCallback();
void ReloadLostGraphs();

// ---- Pixels ----------------------------------------------------------------------------------
int FillGraphWithColor(int handle, int r, int g, int b, int a);
int CopyDrawTargetToGraph(int x1, int y1, int x2, int y2, int handle, int flag);

// ---- The display under the graphs ---------------------------------------------------------
// The display device object the graphs' surfaces are made on, or null while
// the library draws in software (always, on this platform). A movie player
// above graphics makes its own surfaces on it.
void* GetDirectDrawObject();
// Asks for software drawing at the display's next start; output through the
// window alone always draws in software. 0.
int SetSoftwareRenderRequest(int flag);

// The frame-source check of the drawing entries: brings a fed graph up to
// date; 1 when its source was placed straight on the screen instead (see
// GraphFrameSourceOps::Refresh).
inline int RefreshGraphSource(const GraphRecord* g, int place, int x, int y, int scale) {
  return g->Source.Ops->Refresh(g->Source.Id, place, x, y, scale);
}
