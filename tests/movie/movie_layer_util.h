// Helpers of the movie-handle tests: the table emptied around each test, a
// millisecond clock the test sets directly, clips written and opened through
// OpenMovie, and a frame callback that counts its calls and reads the frame.
#pragma once
#include <string>

#include "core/system_state.h"
#include "movie/movie.h"
#include "movie_test_util.h"
#include "platform/clock.h"

namespace movietest {

inline uint32_t& FakeMilliseconds() {
  static uint32_t now = 0;
  return now;
}
inline uint32_t ReadFakeMilliseconds() { return FakeMilliseconds(); }

// What the frame callback saw.
struct CallbackLog {
  int Calls = 0;
  int LastPicture = -2;  // the barcode of the frame image at the last call
  int PictureWidth = 0, PictureHeight = 0;
};

inline void CountingCallback(MovieRecord* movie, void* data) {
  auto* log = static_cast<CallbackLog*>(data);
  ++log->Calls;
  const PixelImage* image = GetMovieFrameImage(movie, nullptr);
  log->LastPicture = image ? ImagePicture(*image, log->PictureWidth, log->PictureHeight) : -1;
}

class MovieLayerTest : public MovieTest {
 public:
  void SetUp() override {
    MovieTest::SetUp();
    MovieTable = MovieTableType{};
    SavedPerfCounter = SystemState.PerfCounterUsable;
    SystemState.PerfCounterUsable = 0;  // the microsecond counter follows the millisecond clock
    FakeMilliseconds() = 1000;
    PlatSetMillisecondHook(ReadFakeMilliseconds);
  }
  void TearDown() override {
    CloseAllMovies();
    EXPECT_EQ(MovieTable.Count, 0);
    PlatSetMillisecondHook(nullptr);
    SystemState.PerfCounterUsable = SavedPerfCounter;
    MovieTest::TearDown();
  }

  // Writes the clip under the name and opens it as a movie.
  int OpenClip(const Clip& clip, const std::string& name = "clip.ogv", int* w = nullptr, int* h = nullptr) {
    filetest::WriteBytes(Scratch.Path / name, clip.Data);
    return OpenMovie(name.c_str(), w, h, 0);
  }

  // A record put straight into the lowest free slot, standing for a movie
  // that holds a slot (CloseMovie frees it like any other).
  int AddPlaceholderMovie() {
    auto* m = static_cast<MovieRecord*>(TrackedAllocZeroed(sizeof(MovieRecord), "", 0));
    return MovieTable.Add(MovieTable.LowestFreeSlot(), m);
  }

  void SetClockMicroseconds(int64_t us) { FakeMilliseconds() = uint32_t(us / 1000); }
  int Frame(int handle) { return GetTheoraMovieFrame(GetMovieRecord(handle)->Theora); }

  int32_t SavedPerfCounter = 0;
};

inline Clip MakeFramesClip(int pictures, int fpsNumerator = 25, int fpsDenominator = 1) {
  ClipOptions o;
  o.Pictures = pictures;
  o.FpsNumerator = fpsNumerator;
  o.FpsDenominator = fpsDenominator;
  return MakeClip(o);
}

}  // namespace movietest
