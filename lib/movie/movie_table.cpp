// The movie table: opening a file with the Theora player (or, failing that,
// the media-stream player), closing a movie with everything it owns, and the
// record lookups every movie operation starts with.
#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "file/fileaccess.h"
#include "graphics/graph.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

MovieTableType MovieTable{};

MovieRecord* GetMovieRecord(int handle) { return MovieTable.Get(handle); }

int SetMovieFrameCallback(int handle, MovieFrameCallback callback, void* data) {
  MovieRecord* m = GetMovieRecord(handle);
  if (!m) return -1;
  m->FrameCallback = callback;
  m->FrameCallbackData = data;
  return 0;
}

namespace {

// The movie's sound track: the same file read by the sound layer as a stream
// sound, its load marked as a movie's. -1 when the file holds none that the
// sound layer can play (or there is no sound device).
int LoadMovieSoundTrack(const char* path) {
  const int oldMode = GetSoundLoadMode();
  SoundState.MovieSoundFlag = 1;
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  const int sound = LoadSoundFileImpl(path, 1, -1);
  SoundState.MovieSoundFlag = 0;
  SetSoundLoadMode(oldMode);
  return sound;
}

// Opens the file for the Theora player and starts the player on it; false
// (with the file closed again) when the file is no Theora movie.
bool OpenWithTheora(MovieRecord* m, const char* path) {
  m->MovieFile = FileOpenDispatch(path, 0, 1, 0);
  if (m->MovieFile == 0) return false;
  m->Theora = OpenTheoraMovie(&FileAccessTable, m->MovieFile, MOVIE_THEORA_STOCK);
  if (m->Theora == nullptr) {
    FileCloseDispatch(m->MovieFile);
    m->MovieFile = 0;
    return false;
  }
  m->Sound = LoadMovieSoundTrack(path);
  TheoraMovieInfo info;
  GetTheoraMovieInfo(m->Theora, &info);
  m->Width = info.Width;
  m->Height = info.Height;
  m->IsTheora = 1;
  m->CurrentImage = GetTheoraMovieImage(m->Theora);
  m->SurfaceMode = 0;
  return true;
}

}  // namespace

int OpenMovie(const char* path, int* width, int* height, int surfaceMode) {
  if (path == nullptr) return -1;
  const int slot = MovieTable.LowestFreeSlot();
  if (slot < 0) return -1;
  auto* m = static_cast<MovieRecord*>(TrackedAllocZeroed(sizeof(MovieRecord), "", 0));
  if (m == nullptr) {
    LogWrite("メモリの確保に失敗しました in OpenMovie");
    return -1;
  }
  if (OpenWithTheora(m, path)) {
    if (width) *width = m->Width;
    if (height) *height = m->Height;
  } else {
    m->IsTempCopy = 0;
    if (OpenMovieDirectShow(GetDirectDrawObject(), m, path, width, height, surfaceMode) == -1) {
      // The player on this platform never makes a temporary copy to delete.
      TrackedFree(m);
      LogWrite("ムービーファイルオープン処理時にエラーが発生しました");
      return -1;
    }
    m->CurrentImage = &m->FrameImage;
  }
  m->Paused = 1;
  m->Playing = 0;
  m->PlayType = 1;
  return MovieTable.Add(slot, m);
}

int CloseMovie(int handle) {
  MovieRecord* m = GetMovieRecord(handle);
  if (!m) return -1;
  if (m->IsTheora) {
    // The player's thread reads the file: it ends before the file closes.
    CloseTheoraMovie(m->Theora);
    if (m->MovieFile != 0) {
      FileCloseDispatch(m->MovieFile);
      m->MovieFile = 0;
    }
    DeleteSoundData(m->Sound, 0);
    m->Theora = nullptr;
    m->Sound = 0;
    m->IsTheora = 0;
  }
  // A stream-player movie owns its frame copy; the stream objects and the
  // temporary copy are never made on this platform.
  if (m->FrameImage.Pixels) {
    TrackedFree(m->FrameImage.Pixels);
    m->FrameImage.Pixels = nullptr;
  }
  MovieTable.Remove(MovieTable.SlotOf(handle));
  TrackedFree(m);
  return 0;
}

int RestoreMovieSurfaces(int handle) {
  // Only a stream-player movie has display surfaces, and none is ever made
  // here: every movie, valid or not, is left as it is.
  (void)handle;
  return 0;
}

int CloseAllMovies() {
  for (int slot = 0; slot < MOVIE_TABLE_SIZE; ++slot)
    if (MovieTable.Records[slot]) CloseMovie(MovieTable.HandleAt(slot));
  return 0;
}
