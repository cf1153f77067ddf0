// Movie graphs: a graph whose pixels are the frames of a movie. The image
// loader opens a file that is no image as a movie, makes a graph of its size
// and binds the movie to it as the graph's frame source. A draw of the graph
// refreshes the source: the movie moves to the frame due now and its frame
// callback copies a new frame into the graph. The graph layer reaches the
// movie only through the source's operations, and the movie reaches
// graphics only through graph.h.
#include "core/log.h"
#include "graphics/graph.h"
#include "image/pixelimage.h"
#include "movie/movie.h"

namespace {

// Copies the movie's frame into the graph when it is new, or when the graph
// lost its surfaces' contents since (or always, when forced).
void CopyMovieFrame(MovieRecord* movie, GraphRecord* g, bool force) {
  int fresh = 0;
  const PixelImage* frame = GetMovieFrameImage(movie, &fresh);
  if (!frame || !(fresh || force || g->Lost)) return;
  ReloadGraphPixels(g, frame);
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

// The graph's reload writes either kind of surface; the two callbacks stay
// apart so that a movie's record tells which kind of graph it feeds.
void UpdateMovieGraphSurface2D(MovieRecord* movie, void* graph) {
  CopyMovieFrame(movie, static_cast<GraphRecord*>(graph), false);
}

void UpdateMovieGraphTexture(MovieRecord* movie, void* graph) {
  CopyMovieFrame(movie, static_cast<GraphRecord*>(graph), false);
}

int LoadMovieAsGraph(const char* fileName, int textureAllowed, int movieFlag) {
  int width = 0, height = 0;
  const int movie = OpenMovie(fileName, &width, &height, movieFlag);
  if (movie < 0) {
    LogPrintf("右記のグラフィックファイルのロードに失敗しました：%s \n", fileName);
    return -1;
  }

  // The graph is made in the screen's depth, in system memory, unmanaged;
  // the caller's other new-graph settings hold. A movie placed straight on
  // the screen takes no texture pieces, and without a display device it asks
  // for software drawing.
  NewGraphSettings settings = GetNewGraphSettings();
  if (IsMovieShownOnScreen(movie) == 1) {
    if (GetDirectDrawObject() == nullptr) SetSoftwareRenderRequest(1);
    settings.TextureGraph = 0;
  }
  settings.ColorBitDepth = 0;  // the screen's
  settings.SystemMemory = 1;
  settings.NoTextureManage = 1;
  const int handle = CreateGraphWithSettings(width, height, textureAllowed, 0, 0, settings);
  if (handle < 0) {
    LogPrintf("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", fileName);
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
  CopyMovieFrame(GetMovieRecord(movie), g, true);
  return handle;
}
