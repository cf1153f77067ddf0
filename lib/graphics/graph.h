// Graph handles: the record behind each graph, its table, and the making,
// deleting and reloading of graphs. A graph is an image the library can draw
// and draw into; its pixels live in pieces made by the display back end.
#pragma once
#include <cstdint>

#include "core/handle_table.h"
#include "core/hooks.h"
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
  int32_t Movie;  // -1: none
  // 1 when this graph opened its movie and closes it; a sub-graph shares
  // its source's movie without owning it.
  int32_t MovieOwner;
  int32_t Lost;  // 1 while the device surfaces are lost and not reloaded
  // 1 when the name or directory did not fit: the graph cannot be reloaded.
  int32_t SourceTooLong;
};

// ---- Table ---------------------------------------------------------------------------
int AddGraphData(int width, int height, int textureAllowed, GraphRecord** out, int alpha, int palette);
GraphRecord* GetGraphRecord(int handle);
int IsGraphHandleValid(int handle);
int GetGraphDimensions(int handle, int* width, int* height);
int SetGraphLostFlagPtr(int handle, int* flag);
int FreeGraphHandle(int handle, int logFlag);
int FreeAllGraphHandles(int logFlag);

// ---- Making graphs ---------------------------------------------------------------------
int CreateGraphOfSize(int width, int height, int textureAllowed, int alpha, int palette);
int CreateBlankGraph(int width, int height, int twoDimensionalOnly);
int MakeGraphForImage(PixelImage* image, PixelImage* alpha, int textureAllowed);
int CreateGraphFromImagePair(PixelImage* image, PixelImage* alpha, int textureAllowed, int mirror,
                             int callerOwned);
int CreateGraphFromImageDefault(PixelImage* image);
int LoadFileAsGraph(const char* fileName, int textureAllowed, int mirror, int movieFlag);
int LoadImageFileImpl(const char* fileName, int twoDimensionalOnly);
int CreateSubGraph(int x, int y, int width, int height, int source);

// ---- Source files and reloading -----------------------------------------------------------
int SetGraphSourceFile(int handle, const char* fileName, int source);
int TransferImageToGraph(int destX, int destY, int flag, const char* fileName, const PixelImage* image,
                         const PixelImage* alpha, const Rect* sourceRect, int handle, uint32_t loadOption);
int ReloadGraphFromImage(int x, int y, int flag, const char* fileName, int reserved, const PixelImage* image,
                         const PixelImage* alpha, int sourceX, int sourceY, int handle, uint32_t loadOption);
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
// A movie graph shown straight on the screen: places its movie there.
int DrawGraphMovieFrame(int handle, int x, int y, int scale, int show);
int UpdateGraphMovieFrame(int handle, int flag);

// ---- Movie graphs -------------------------------------------------------------------------
// The loader's second chance for a file that is no image: a graph of the
// movie's size fed by its frames, or -1 (logged).
int LoadMovieAsGraph(const char* fileName, int textureAllowed, int movieFlag);
// The frame callbacks: copy a movie's new frame into the graph (the data).
void UpdateMovieGraphSurface2D(MovieRecord* movie, void* graph);
void UpdateMovieGraphTexture(MovieRecord* movie, void* graph);
// The movie check of the drawing entries for a graph with a movie: brings
// its frame up to date; 1 when the movie is shown straight on the screen
// (the entry then places it instead of drawing).
int StepGraphMovie(GraphRecord* graph);
