// Movie graphs: a graph whose pixels are the frames of a movie. The graph
// loader opens a file that is no image as a movie (through the movie layer's
// hooks), makes a graph of its size and has each new frame copied into it;
// the drawing entries bring the frame up to date before they draw.
#include "core/hooks.h"
#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/soft/display.h"
#include "image/pixelimage.h"

namespace {

using ReloadFunction = int (*)(int, int, int, int, int, GraphRecord*, int, const PixelImage*,
                               const PixelImage*);

// Copies the movie's frame into the graph when it is new, or when the graph
// lost its surfaces' contents since (or always, when forced).
template <ReloadFunction Reload>
void CopyMovieFrame(MovieRecord* movie, GraphRecord* g, bool force) {
  int fresh = 0;
  const PixelImage* frame = UpwardHooks.Movies.GetMovieFrameImage(movie, &fresh);
  if (!frame || !(fresh || force || g->Lost)) return;
  Reload(0, 0, 0, 0, 0, g, 0, frame, nullptr);
  g->Lost = 0;
}

}  // namespace

void UpdateMovieGraphSurface2D(MovieRecord* movie, void* graph) {
  CopyMovieFrame<ReloadImageToGraphSurface2D>(movie, static_cast<GraphRecord*>(graph), false);
}

void UpdateMovieGraphTexture(MovieRecord* movie, void* graph) {
  CopyMovieFrame<ReloadImageToGraphSurface3D>(movie, static_cast<GraphRecord*>(graph), false);
}

int LoadMovieAsGraph(const char* fileName, int textureAllowed, int movieFlag) {
  const MovieGraphHookTable& movies = UpwardHooks.Movies;
  int width = 0, height = 0;
  const int movie = movies.OpenMovie(fileName, &width, &height, movieFlag);
  if (movie < 0) {
    LogPrintf("右記のグラフィックファイルのロードに失敗しました：%s \n", fileName);
    return -1;
  }

  // The graph is made in the screen's depth, in system memory, unmanaged.
  GraphicsStateBlock& s = GraphicsState;
  const int32_t depth = s.NewGraphColorBitDepth, systemMem = s.NewGraphSystemMem;
  const int32_t noManage = s.NewGraphNoManageTexture, textureMode = IsTextureGraphMode();
  if (movies.IsMovieShownOnScreen(movie) == 1) {
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
    movies.CloseMovie(movie);
    return -1;
  }

  GraphRecord* g = GetGraphRecord(handle);
  g->Movie = movie;
  g->MovieOwner = 1;
  const bool texture = g->Format.Texture != 0;
  movies.SetMovieFrameCallback(movie, texture ? UpdateMovieGraphTexture : UpdateMovieGraphSurface2D, g);
  // The movie stands on its first frame, converted when it opened: the graph
  // shows it from the start rather than staying blank until a new frame.
  if (MovieRecord* m = movies.GetMovieRecord(movie)) {
    if (texture)
      CopyMovieFrame<ReloadImageToGraphSurface3D>(m, g, true);
    else
      CopyMovieFrame<ReloadImageToGraphSurface2D>(m, g, true);
  }
  return handle;
}

int UpdateGraphMovieFrame(int handle, int flag) {
  const GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  if (g->Movie == -1) return 0;
  return UpwardHooks.Movies.UpdateMovieFrame(g->Movie, flag);
}

int DrawGraphMovieFrame(int handle, int x, int y, int scale, int show) {
  const GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  if (g->Movie == -1) return 0;
  return UpwardHooks.Movies.DrawMovieToScreen(x, y, scale, g->Movie, show);
}

int StepGraphMovie(GraphRecord* g) {
  const MovieGraphHookTable& movies = UpwardHooks.Movies;
  const int onScreen = movies.IsMovieShownOnScreen(g->Movie);
  if (onScreen < 0) return 0;  // the movie is gone (a sub-graph outliving its source)
  movies.UpdateMovieFrame(g->Movie, 0);
  return onScreen;
}
