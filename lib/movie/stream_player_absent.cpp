// The media-stream movie player. It would build a filter graph that decodes
// any file the platform's media framework knows into a display surface; this
// platform has no such framework, so the player refuses every file at its
// first step, with that step's log line, and the record is left with no
// stream objects (every field of its stream half empty).
#include <cstring>

#include "core/log.h"
#include "movie/movie.h"

int OpenMovieDirectShow(void*, MovieRecord* record, const char*, int*, int*, int) {
  record->FrameImage.Pixels = nullptr;
  record->HasFrame = 0;
  record->ScreenX = 0;
  record->ScreenY = 0;
  record->ScreenScale = 0;
  record->OverlayShown = 0;
  record->OverlaySource = Rect{};
  record->OverlayDest = Rect{};
  // The filter graph cannot be created: nothing was obtained to release.
  LogWrite("CLSID_FilterGraph の作成に失敗しました");
  return -1;
}
