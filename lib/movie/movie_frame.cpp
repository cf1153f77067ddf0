// The frame due now: a Theora movie is paced by its sound track's play time,
// or by the microsecond counter from StartTime when it has none, and its
// player is moved forward (never back) to that frame; then the movie's frame
// callback takes the frame.
#include "core/clock.h"
#include "core/strutil.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "sound/sound.h"

int TheoraFrameAtTime(int64_t us, double fps) { return DoubleToIntTrunc(double(us) * fps * 0.000001); }

namespace {

// The frame due for a playing Theora movie.
int DueTheoraFrame(const MovieRecord* m, const TheoraMovieInfo& info, bool loops) {
  const int count = info.FrameCount;
  int64_t us;
  if (m->Sound != -1) {
    us = int64_t(GetSoundPlayTime(m->Sound)) * 1000;
  } else {
    us = int64_t(GetMicrosecondCounter(0)) - m->StartTime;
  }
  int due = TheoraFrameAtTime(us, info.FramesPerSecond);
  // A clock behind StartTime (or no rate) holds the movie at its start.
  if (due < 0) due = 0;
  if (due >= count) {
    // With a sound track the sound decides when the movie ends.
    due = (loops && m->Sound == -1) ? due % count : count - 1;
  }
  return due;
}

void StepTheoraMovie(MovieRecord* m) {
  TheoraMovieInfo info;
  GetTheoraMovieInfo(m->Theora, &info);
  // A movie without frames has nowhere to go: its frame stays.
  if (m->Paused || info.FrameCount <= 0) return;
  const bool loops = (m->PlayType & MOVIE_PLAY_LOOP_BIT) != 0;
  const int count = info.FrameCount;
  const int due = DueTheoraFrame(m, info, loops);
  const int cur = GetTheoraMovieFrame(m->Theora);
  if (due == cur) {
    if (due == count - 1 && !loops && m->Sound == -1) {
      m->Playing = 0;
      m->Paused = 1;
    }
  } else if (due > cur) {
    AdvanceTheoraMovie(m->Theora, due - cur);
  } else {
    // Forward across the end of the movie, wrapping to the due frame.
    AdvanceTheoraMovie(m->Theora, count - cur + due);
  }
}

}  // namespace

int UpdateMovieFrame(int handle, int flag) {
  (void)flag;  // only the media-stream player tells the paced and forced calls apart
  MovieRecord* m = GetMovieRecord(handle);
  if (!m) return 0;
  // A media-stream movie without surfaces (here: every one) is released.
  if (!m->IsTheora) return 0;
  StepTheoraMovie(m);
  if (m->FrameCallback) {
    m->FrameCallback(m, m->FrameCallbackData);
    m->HasFrame = 1;
  }
  return 0;
}

int DrawMovieToScreen(int, int, int, int handle, int) {
  const MovieRecord* m = GetMovieRecord(handle);
  if (!m) return -1;
  // Only a media-stream movie with an overlay surface is placed on the
  // screen, and no such surface exists on this platform.
  return 0;
}

const PixelImage* GetMovieFrameImage(MovieRecord* m, int* fresh) {
  if (fresh) *fresh = 0;
  if (m == nullptr) return nullptr;
  // A stream movie's callback runs only after a new picture was taken.
  const int converted = m->IsTheora ? UpdateTheoraMovieImage(m->Theora, 1, 0) : 1;
  if (fresh) *fresh = converted == 1 ? 1 : 0;
  return (m->CurrentImage && m->CurrentImage->Pixels) ? m->CurrentImage : nullptr;
}

int IsMovieShownOnScreen(int handle) {
  const MovieRecord* m = GetMovieRecord(handle);
  return m ? (m->SurfaceMode == 1 ? 1 : 0) : -1;
}
