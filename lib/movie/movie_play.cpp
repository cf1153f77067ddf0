// Pause, resume and start, and the release and rebuild of display-bound
// movies around a display change. A movie's play state is the pair
// (Playing, Paused): stopped (0, 1), playing (1, 0), paused by the system
// (1, 1). A Theora movie keeps time on the microsecond counter, or on its
// sound track when it has one; restarting it sets the counter's start so
// that the frame it stands on is due now.
#include <cmath>

#include "core/clock.h"
#include "graphics/graph.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "sound/sound.h"

namespace {

// A media-stream movie without its display surfaces: released for a display
// change, or (on this platform, always) never given any.
bool StreamReleased(const MovieRecord*) { return true; }

// Sets StartTime so that the Theora movie's current frame is due now. The
// frame's time is rounded up to whole microseconds: rounded down, the clock
// would stand a fraction short of the frame, the pacing would find the frame
// before it due and wrap forward round the whole movie to reach it. Where
// the pacing's own arithmetic still falls a hair short (a frame time of whole
// microseconds), one microsecond more settles it. The time is kept in 64
// bits, so a movie of any length resumes where it stood.
void RestartTheoraClock(MovieRecord* m) {
  m->StartTime = int64_t(GetMicrosecondCounter(0));
  TheoraMovieInfo info;
  GetTheoraMovieInfo(m->Theora, &info);
  const int frame = GetTheoraMovieFrame(m->Theora);
  if (!(info.FramesPerSecond > 0.0) || frame <= 0) return;
  const double up = std::ceil(double(frame) / info.FramesPerSecond * 1000000.0);
  if (!(up < 9.0e18)) return;
  int64_t us = int64_t(up);
  for (int i = 0; i < 4 && TheoraFrameAtTime(us, info.FramesPerSecond) < frame; ++i) ++us;
  m->StartTime -= us;
}

// The two ways a movie is set going: its clock (or stream) restarted, its
// sound track played on from where it stopped.
void SetGoing(MovieRecord* m, int playType) {
  if (m->IsTheora) {
    RestartTheoraClock(m);
    PlaySoundHandleImpl(m->Sound, playType, 0);
  }
  m->Paused = 0;
  m->PlayType = playType;
  m->Playing = 1;
}

}  // namespace

int StartMoviePlayback(int handle, int playType) {
  MovieRecord* m = GetMovieRecord(handle);
  if (!m) return -1;
  if (!m->IsTheora && StreamReleased(m)) return -1;
  if (m->Paused == 0) return 0;
  SetGoing(m, (playType & MOVIE_PLAY_LOOP_BIT) ? 3 : 1);
  return 0;
}

int PauseMoviePlayback(int handle, int bySystem) {
  MovieRecord* m = GetMovieRecord(handle);
  if (!m) return -1;
  if (m->Paused == 1) return 0;
  if (m->IsTheora) {
    StopSoundData(m->Sound);
    // Shows the frame due at this moment before the movie stands still.
    UpdateMovieFrame(handle, 0);
  } else if (StreamReleased(m)) {
    return 0;
  }
  m->Paused = 1;
  if (bySystem == 0) m->Playing = 0;
  return 0;
}

int PauseAllMoviePlayback() {
  for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot)
    if (MovieTable.Records[slot]) PauseMoviePlayback(MovieTable.HandleAt(slot), 1);
  return 0;
}

int ResumeAllMoviePlayback() {
  for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot) {
    MovieRecord* m = MovieTable.Records[slot];
    if (!m) continue;
    const int playType = m->PlayType == 0 ? 1 : m->PlayType;
    if (m->Paused == 0 || m->Playing == 0) continue;
    if (!m->IsTheora && StreamReleased(m)) continue;
    SetGoing(m, playType);
  }
  return 0;
}

int ReleaseAllMovieStreams() {
  // Only media-stream movies hold display objects, and on this platform none
  // ever does: Theora movies are never touched, and a stream movie without
  // surfaces is already released.
  return 0;
}

int ReopenAllMovies() {
  for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot) {
    MovieRecord* m = MovieTable.Records[slot];
    if (!m || m->IsTheora || !StreamReleased(m)) continue;
    if (OpenMovieDirectShow(GetDirectDrawObject(), m, m->Path, nullptr, nullptr, m->SurfaceMode) == -1)
      return -1;
  }
  return 0;
}

int DrawAllMoviesToScreen() {
  for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot) {
    const MovieRecord* m = MovieTable.Records[slot];
    if (m && !m->IsTheora && m->SurfaceMode == 1)
      DrawMovieToScreen(m->ScreenX, m->ScreenY, m->ScreenScale, MovieTable.HandleAt(slot), m->OverlayShown);
  }
  return 0;
}
