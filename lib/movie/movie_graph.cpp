// Movie graphs: a graph whose pixels are the frames of a movie. The image
// loader opens a file that is no image as a movie, makes a graph of its size
// and binds the movie to it as the graph's frame source. A draw of the graph
// refreshes the source: the movie moves to the frame due now and its frame
// callback copies a new frame into the graph. The graph layer reaches the
// movie only through the source's operations.
#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/soft/display.h"
#include "image/pixelimage.h"
#include "movie/movie.h"

namespace {

using ReloadFunction = int (*)(int, int, int, int, int, GraphRecord*, int, const PixelImage*,
                               const PixelImage*);

// Copies the movie's frame into the graph when it is new, or when the graph
// lost its surfaces' contents since (or always, when forced).
template <ReloadFunction Reload>
void CopyMovieFrame(MovieRecord* movie, GraphRecord* g, bool force) {
  int fresh = 0;
  const PixelImage* frame = GetMovieFrameImage(movie, &fresh);
  if (!frame || !(fresh || force || g->Lost)) return;
  Reload(0, 0, 0, 0, 0, g, 0, frame, nullptr);
  g->Lost = 0;
}

// The movie gone (a sub-graph outliving its source graph) leaves the graph
// with what it holds.
int RefreshMovieGraph(int32_t movie, int place, int x, int y, int scale) {
  const int onScreen = IsMovieShownOnScreen(movie);
  if (onScreen < 0) return 0;
  UpdateMovieFrame(movie, 0);
  if (!place || !onScreen) return 0;
  DrawMovieToScreen(x, y, scale, movie, 1);
  return 1;
}

int ReleaseMovieGraph(int32_t movie) { return CloseMovie(movie); }
int RestoreMovieGraph(int32_t movie) { return RestoreMovieSurfaces(movie); }

constexpr GraphFrameSourceOps kMovieSource = {
    .Refresh = RefreshMovieGraph,
    .Release = ReleaseMovieGraph,
    .Restore = RestoreMovieGraph,
};

}  // namespace

void UpdateMovieGraphSurface2D(MovieRecord* movie, void* graph) {
  CopyMovieFrame<ReloadImageToGraphSurface2D>(movie, static_cast<GraphRecord*>(graph), false);
}

void UpdateMovieGraphTexture(MovieRecord* movie, void* graph) {
  CopyMovieFrame<ReloadImageToGraphSurface3D>(movie, static_cast<GraphRecord*>(graph), false);
}

int LoadMovieAsGraph(const char* fileName, int textureAllowed, int movieFlag) {
  int width = 0, height = 0;
  const int movie = OpenMovie(fileName, &width, &height, movieFlag);
  if (movie < 0) {
    LogPrintf("右記のグラフィックファイルのロードに失敗しました：%s \n", fileName);
    return -1;
  }

  // The graph is made in the screen's depth, in system memory, unmanaged.
  GraphicsStateBlock& s = GraphicsState;
  const int32_t depth = s.NewGraphColorBitDepth, systemMem = s.NewGraphSystemMem;
  const int32_t noManage = s.NewGraphNoManageTexture, textureMode = IsTextureGraphMode();
  if (IsMovieShownOnScreen(movie) == 1) {
    if (GetDirectDrawObject() == nullptr) SetSoftwareRenderRequest(1);
    s.TextureGraphSetting = 0;
  }
  s.NewGraphColorBitDepth = GetScreenColorBits();
  s.NewGraphSystemMem = 1;
  s.NewGraphNoManageTexture = 1;
  const int handle = CreateGraphOfSize(width, height, textureAllowed, 0, 0);
  if (handle < 0)
    LogPrintf("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", fileName);
  s.NewGraphColorBitDepth = depth;
  s.NewGraphSystemMem = systemMem;
  s.NewGraphNoManageTexture = noManage;
  s.TextureGraphSetting = textureMode;
  if (handle < 0) {
    // Nothing would ever close the movie (its thread, file and sound).
    CloseMovie(movie);
    return -1;
  }

  GraphRecord* g = GetGraphRecord(handle);
  g->Source = GraphFrameSource{&kMovieSource, movie, 1};
  const bool texture = g->Format.Texture != 0;
  SetMovieFrameCallback(movie, texture ? UpdateMovieGraphTexture : UpdateMovieGraphSurface2D, g);
  // The movie stands on its first frame, converted when it opened: the graph
  // shows it from the start rather than staying blank until a new frame.
  MovieRecord* m = GetMovieRecord(movie);
  if (texture)
    CopyMovieFrame<ReloadImageToGraphSurface3D>(m, g, true);
  else
    CopyMovieFrame<ReloadImageToGraphSurface2D>(m, g, true);
  return handle;
}
