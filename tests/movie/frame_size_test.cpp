// The frame sizes a movie may declare: each side and the pixels are capped,
// so that a damaged or hostile identification header cannot make the library
// take gigabytes; within the caps a movie opens whatever its size in bytes
// (title cards, fades and stills code large frames in a few kilobytes), and
// what it costs is bounded where it is spent: a stock of at most
// THEORA_STOCK_BUDGET bytes of planes, and repeated frames neither copied nor
// converted again. A real movie of moderate size still plays with its whole
// stock.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "movie_layer_util.h"
#include "peak_memory.h"

namespace movietest {
namespace {

using FrameSizes = MovieLayerTest;

const char kMsgTooLarge[] = "は大きすぎます";
const char kMsgOpenFailed[] = "ムービーファイルオープン処理時にエラーが発生しました";

// A small clip whose identification header declares another frame size.
Clip Declaring(int macroblocksWide, int macroblocksHigh, int pictures = 6, int pixelFormat = 0) {
  ClipOptions o;
  o.PixelFormat = pixelFormat;
  o.Pictures = pictures;
  o.KeyframeInterval = 3;
  o.DeclaredMacroblocksWide = macroblocksWide;
  o.DeclaredMacroblocksHigh = macroblocksHigh;
  return MakeClip(o);
}

// ThreadSanitizer's shadow memory counts in the resident size, several times
// what the program touches itself: peaks are compared only without it.
#if defined(__SANITIZE_THREAD__)
constexpr bool kPeaksComparable = false;
#else
constexpr bool kPeaksComparable = true;
#endif

// The kept files: 4 KB declaring 8192 x 4096 in 4:4:4, and 8 KB declaring
// 32 x 999440 (whose first page fails its checksum as kept; with the
// checksums set right its frame reaches the decoder). Once they took over a
// gigabyte and seconds each, with ten frames of 100 MB in the stock. The
// tall one is beyond the side cap; the wide one has the bytes of planes of
// twice the pixel cap in 4:2:0, beyond the cap on those.
TEST_F(FrameSizes, KeptHugeFramesAreRefusedByTheCaps) {
  const Bytes wide = KeptMovieInput("movie-frame-8192x4096.ogv");
  const Bytes tallAsKept = KeptMovieInput("movie-frame-32x999440.ogv");
  Bytes tall = tallAsKept;
  for (const PageSpan& page : Pages(tall)) FixChecksum(&tall, page);
  Bytes wideChecked = wide;
  for (const PageSpan& page : Pages(wideChecked)) FixChecksum(&wideChecked, page);
  const std::pair<const Bytes*, const char*> refused[] = {
      {&tallAsKept, nullptr}, {&tall, kMsgTooLarge}, {&wide, kMsgTooLarge}, {&wideChecked, kMsgTooLarge}};
  const uint64_t peakBefore = PeakResidentBytes();
  for (const auto& [file, message] : refused) {
    ASSERT_GT(file->size(), 0u);
    filetest::WriteBytes(Scratch.Path / "huge.ogv", *file);
    CapturedLog().clear();
    int w = -7, h = -7;
    EXPECT_EQ(OpenMovie("huge.ogv", &w, &h, 0), -1);
    EXPECT_EQ(w, -7);
    EXPECT_NE(CapturedLog().find(kMsgOpenFailed), std::string::npos) << CapturedLog();
    if (message) {
      EXPECT_NE(CapturedLog().find(message), std::string::npos) << CapturedLog();
    }
  }
  EXPECT_EQ(MovieTable.Count, 0);
  // Refused from their headers: no decoder, image or stock was made.
  if (kPeaksComparable) {
    EXPECT_LT(PeakResidentBytes(), peakBefore + (32u << 20));
  }
}

// A side beyond 8192 pixels, more pixels than 8192 x 4096, or more bytes of
// planes than a 4:2:0 frame of that size, is refused whatever the file holds;
// within the caps a small file opens whatever size it declares.
TEST_F(FrameSizes, FrameSidesPixelsAndPlanesAreCapped) {
  struct Case {
    int Wide, High;
    const char* Message;  // null: the movie opens and shows its frames
    int PixelFormat = 0;  // 0 4:2:0, 2 4:2:2, 3 4:4:4
  };
  const Case cases[] = {
      // (The clip's pictures are 64 x 48, which the frame must hold.)
      {513, 3, kMsgTooLarge},        // 8208 x 48: few pixels, too wide
      {4, 513, kMsgTooLarge},        // 64 x 8208
      {512, 257, kMsgTooLarge},      // 8192 x 4112: the sides pass, the pixels do not
      {512, 129, kMsgTooLarge, 3},   // 8192 x 2064 in 4:4:4: the pixels pass, the planes do not
      {512, 193, kMsgTooLarge, 2},   // 8192 x 3088 in 4:2:2
      {512, 3, nullptr},             // 8192 x 48
      {512, 3, nullptr, 3},          // 8192 x 48 in 4:4:4
      {64, 64, nullptr},             // 1024 x 1024
      {65, 64, nullptr},             // 1040 x 1024 from a file of a few kilobytes
  };
  for (const Case& c : cases) {
    const Clip clip = Declaring(c.Wide, c.High, 6, c.PixelFormat);
    ASSERT_LT(int64_t(clip.Data.size()) * 32, 1040 * 1024);
    CapturedLog().clear();
    TheoraPlayer* p = Open(clip.Data);
    if (c.Message) {
      EXPECT_EQ(p, nullptr) << c.Wide << "x" << c.High;
      EXPECT_NE(CapturedLog().find(c.Message), std::string::npos) << CapturedLog();
    } else {
      ASSERT_NE(p, nullptr) << c.Wide << "x" << c.High;
      EXPECT_EQ(CapturedLog(), "");
      EXPECT_EQ(p->Image.Width, c.Wide * 16);
      EXPECT_EQ(p->Image.Height, c.High * 16);
      // The decoder makes what it can of the small pictures at the declared size.
      for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(ShownLuma(p).size(), size_t(c.Wide) * 16 * size_t(c.High) * 16) << f;
        AdvanceTheoraMovie(p, 1);
      }
    }
    Close(p);
  }
}

// What a flat movie's frame callback saw: the shown image's pixels against
// the grey they should have.
struct FlatLog {
  int Grey = 0;
  int Calls = 0;
  int WorstError = 0;  // largest difference of a channel from Grey, 255 for a missing image
  int Step = 1;        // every Step-th pixel in each direction is looked at
};

void CheckFlatFrame(MovieRecord* movie, void* data) {
  auto* log = static_cast<FlatLog*>(data);
  ++log->Calls;
  const PixelImage* image = GetMovieFrameImage(movie, nullptr);
  if (image == nullptr) {
    log->WorstError = 255;
    return;
  }
  for (int y = 0; y < image->Height; y += log->Step) {
    const uint8_t* row = image->Pixels + size_t(y) * size_t(image->Pitch);
    for (int x = 0; x < image->Width; x += log->Step) {
      for (int k = 0; k < 3; ++k)
        log->WorstError = std::max(log->WorstError, std::abs(row[4 * x + k] - log->Grey));
    }
  }
}

// The clips of the tests' own encoder that a rule of file bytes per pixel
// refused: two seconds of black at 1920 x 1080 and a one-frame grey still of
// 2048 x 2048, each a few kilobytes. Both open, play and show their frames,
// within the memory of a decoder, an image and a stock of ten slots.
TEST_F(FrameSizes, FlatHdMoviesOpenAndPlayWhateverTheirFileSize) {
  struct Case {
    int Width, Height, Pictures, Luma, Grey;
  };
  const Case cases[] = {
      {1920, 1080, 50, 16, 0},    // Y 16: black
      {2048, 2048, 1, 128, 130},  // Y 128: (128 - 16) x 1.164
  };
  for (const Case& c : cases) {
    ClipOptions o;
    o.Width = c.Width;
    o.Height = c.Height;
    o.Pictures = c.Pictures;
    o.KeyframeInterval = 12;
    o.FlatLuma = c.Luma;
    const Clip clip = MakeClip(o);
    ASSERT_LT(int64_t(clip.Data.size()) * 32, int64_t(c.Width) * c.Height) << "not a small file";

    const uint64_t peakBefore = PeakResidentBytes();
    CapturedLog().clear();
    int w = 0, h = 0;
    const int movie = OpenClip(clip, "flat.ogv", &w, &h);
    EXPECT_NE(movie, -1) << c.Width << "x" << c.Height << ": " << CapturedLog();
    if (movie == -1) continue;
    EXPECT_EQ(CapturedLog(), "");
    EXPECT_EQ(w, clip.FrameWidth);
    EXPECT_EQ(h, clip.FrameHeight);
    FlatLog log{c.Grey, 0, 0, 1};
    ASSERT_EQ(SetMovieFrameCallback(movie, CheckFlatFrame, &log), 0);
    ASSERT_EQ(StartMoviePlayback(movie, 1), 0);
    // Every pixel of the first and the last frame, a grid of the others.
    for (int f = 0; f < c.Pictures; ++f) {
      log.Step = (f == 0 || f == c.Pictures - 1) ? 1 : 31;
      SetClockMicroseconds(1000000 + int64_t(f) * 40000);
      UpdateMovieFrame(movie, 0);
      EXPECT_EQ(Frame(movie), f);
    }
    EXPECT_EQ(log.Calls, c.Pictures);
    EXPECT_LE(log.WorstError, 2) << c.Width << "x" << c.Height;
    EXPECT_EQ(CloseMovie(movie), 0);
    if (kPeaksComparable) {
      EXPECT_LT(PeakResidentBytes(), peakBefore + (96u << 20)) << c.Width << "x" << c.Height;
    }
  }
}

// Large frames keep fewer slots: as many as the budget holds, here fewer
// than the ten asked for, and the movie still plays through them.
TEST_F(FrameSizes, LargeFramesKeepAStockWithinTheBudget) {
  const int width = 2560, height = 2048;
  const Clip clip = Declaring(width / 16, height / 16, 12);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr) << CapturedLog();
  const int64_t frameBytes = int64_t(width) * height * 3 / 2;  // the planes of a 4:2:0 frame
  EXPECT_LT(p->StockSize, 10);
  EXPECT_LE(p->StockSize * frameBytes, THEORA_STOCK_BUDGET);
  EXPECT_GT((p->StockSize + 1) * frameBytes, THEORA_STOCK_BUDGET);
  ASSERT_TRUE(WaitIdle(p));
  std::set<int> want;
  for (int f = 0; f < p->StockSize; ++f) want.insert(f);
  EXPECT_EQ(StockFrames(p), want);
  for (int f = 0; f < 12; ++f) {
    EXPECT_EQ(ShownLuma(p).size(), size_t(width) * height) << f;
    AdvanceTheoraMovie(p, 1);
  }
  Close(p);
}

// A real movie of 1280 x 1024 fits ten slots in the budget and plays with
// its whole stock.
TEST_F(FrameSizes, RealLargeMovieFillsItsStock) {
  ClipOptions o;
  o.Width = 1280;
  o.Height = 1024;
  o.Pictures = 12;
  o.KeyframeInterval = 12;
  const Clip clip = MakeClip(o);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->StockSize, 10);
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 0);
  ASSERT_TRUE(WaitIdle(p));
  EXPECT_EQ(StockFrames(p), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  AdvanceTheoraMovie(p, 11);
  p->ImageCurrent = 0;
  ASSERT_EQ(UpdateTheoraMovieImage(p, 1, 0), 1);
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 11);
  Close(p);
}

}  // namespace
}  // namespace movietest
