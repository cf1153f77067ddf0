// The frame sizes a movie may declare: each side and the pixels are capped,
// and a large frame must be backed by the file, so that a small file with a
// damaged or hostile identification header cannot make the library take
// gigabytes (and seconds a frame), while a real movie of that size plays
// with its whole stock.
#include <set>

#include "movie_layer_util.h"
#include "peak_memory.h"

namespace movietest {
namespace {

using FrameSizes = MovieLayerTest;

const char kMsgTooLarge[] = "は大きすぎます";
const char kMsgFileTooSmall[] = "に対してファイルが小さすぎます";
const char kMsgOpenFailed[] = "ムービーファイルオープン処理時にエラーが発生しました";

// A small clip whose identification header declares another frame size.
Clip Declaring(int macroblocksWide, int macroblocksHigh) {
  ClipOptions o;
  o.Pictures = 6;
  o.KeyframeInterval = 3;
  o.DeclaredMacroblocksWide = macroblocksWide;
  o.DeclaredMacroblocksHigh = macroblocksHigh;
  return MakeClip(o);
}

// The kept files: 4 KB declaring 8192 x 4096, and 8 KB declaring 32 x 999440
// (whose first page fails its checksum as kept; with the checksums set right
// its frame reaches the decoder). Once they took over a gigabyte each.
TEST_F(FrameSizes, KeptHugeFramesAreRefusedWithoutTakingTheirMemory) {
  const Bytes wide = KeptMovieInput("movie-frame-8192x4096.ogv");
  const Bytes tallAsKept = KeptMovieInput("movie-frame-32x999440.ogv");
  Bytes tall = tallAsKept;
  for (const PageSpan& page : Pages(tall)) FixChecksum(&tall, page);
  const std::pair<const Bytes*, const char*> cases[] = {
      {&wide, kMsgFileTooSmall}, {&tallAsKept, nullptr}, {&tall, kMsgTooLarge}};
  const uint64_t peakBefore = PeakResidentBytes();
  for (const auto& [file, message] : cases) {
    const Bytes& bytes = *file;
    ASSERT_GT(bytes.size(), 0u);
    filetest::WriteBytes(Scratch.Path / "huge.ogv", bytes);
    CapturedLog().clear();
    int w = -7, h = -7;
    EXPECT_EQ(OpenMovie("huge.ogv", &w, &h, 0), -1);
    EXPECT_EQ(w, -7);
    EXPECT_NE(CapturedLog().find(kMsgOpenFailed), std::string::npos) << CapturedLog();
    if (message) {
      EXPECT_NE(CapturedLog().find(message), std::string::npos) << CapturedLog();
    }
  }
  EXPECT_LT(PeakResidentBytes(), peakBefore + (256u << 20));
  EXPECT_EQ(MovieTable.Count, 0);
}

// A side beyond 8192 pixels is refused whatever the pixel count; up to
// 1024 x 1024 pixels a frame needs no backing, above that one byte of pages
// for every 32 pixels.
TEST_F(FrameSizes, LargeFramesMustBeBackedByTheFile) {
  struct Case {
    int Wide, High;
    const char* Message;  // null: the movie opens and shows its frames
  };
  const Case cases[] = {
      // (The clip's pictures are 64 x 48, which the frame must hold.)
      {513, 3, kMsgTooLarge},  // 8208 x 48: few pixels, too wide
      {4, 513, kMsgTooLarge},  // 64 x 8208
      {512, 3, nullptr},       // 8192 x 48
      {64, 64, nullptr},       // 1024 x 1024
      {65, 64, kMsgFileTooSmall},
  };
  for (const Case& c : cases) {
    const Clip clip = Declaring(c.Wide, c.High);
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

// A real movie above the unbacked size plays with its whole stock.
TEST_F(FrameSizes, RealLargeMovieFillsItsStock) {
  ClipOptions o;
  o.Width = 1280;
  o.Height = 1024;
  o.Pictures = 12;
  o.KeyframeInterval = 12;
  const Clip clip = MakeClip(o);
  ASSERT_GT(int64_t(clip.Data.size()) * 32, int64_t(1280) * 1024);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
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
