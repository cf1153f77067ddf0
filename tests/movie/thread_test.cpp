// The decode thread and the main thread's steering: stepping, seeking from
// keyframes, looping across the end, repeated frames, the stock it keeps,
// closing while it decodes, and what an idle movie costs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <set>

#include "movie_test_util.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace movietest {
namespace {

using TheoraThread = MovieTest;

TEST_F(TheoraThread, SteppingShowsEveryFrameInOrderAndTheStockRunsAhead) {
  ClipOptions o;
  o.Pictures = 30;
  o.KeyframeInterval = 6;
  Clip clip = MakeClip(o);
  const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
  ASSERT_EQ(reference.size(), clip.PictureOfFrame.size());
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  // After the seek to frame 0 the stock fills with frames 0 to 9, then rests.
  ASSERT_TRUE(WaitIdle(p));
  EXPECT_EQ(StockFrames(p), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  for (int f = 0; f < 30; ++f) {
    ASSERT_EQ(GetTheoraMovieFrame(p), f);
    EXPECT_TRUE(SameFrame(ShownLuma(p), reference[size_t(f)], clip.FrameWidth)) << f;
    EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), clip.PictureOfFrame[size_t(f)]) << f;
    AdvanceTheoraMovie(p, 1);
    EXPECT_EQ(p->ImageCurrent, 0);
  }
  // From the last frame by 1 the movie is back at frame 0.
  EXPECT_EQ(GetTheoraMovieFrame(p), 0);
  EXPECT_TRUE(SameFrame(ShownLuma(p), reference[0], clip.FrameWidth));
  // Advancing by 0 or less changes nothing.
  p->ImageCurrent = 1;
  AdvanceTheoraMovie(p, 0);
  AdvanceTheoraMovie(p, -3);
  EXPECT_EQ(GetTheoraMovieFrame(p), 0);
  EXPECT_EQ(p->ImageCurrent, 1);
  Close(p);
}

TEST_F(TheoraThread, SeeksStartFromAKeyframeAndMatchAnInOrderDecode) {
  ClipOptions o;
  o.Pictures = 60;
  o.KeyframeInterval = 9;
  o.PageBody = 300;  // packets cross pages, so entries start on continued pages
  o.Sound = true;
  Clip clip = MakeClip(o);
  const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  for (int target : {41, 8, 9, 10, 59, 0, 27, 17, 18, 55, 1}) {
    SeekTheoraMovie(p, target);
    ASSERT_EQ(GetTheoraMovieFrame(p), target);
    EXPECT_TRUE(SameFrame(ShownLuma(p), reference[size_t(target)], clip.FrameWidth)) << target;
    EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), clip.PictureOfFrame[size_t(target)]) << target;
    // The frames after it follow.
    AdvanceTheoraMovie(p, 1);
    EXPECT_TRUE(SameFrame(ShownLuma(p), reference[size_t((target + 1) % 60)], clip.FrameWidth)) << target;
  }
  // The same frame again changes nothing; -1 clamps to frame 0 and still seeks.
  p->ImageCurrent = 1;
  SeekTheoraMovie(p, GetTheoraMovieFrame(p));
  EXPECT_EQ(p->ImageCurrent, 1);
  SeekTheoraMovie(p, -1);
  EXPECT_EQ(GetTheoraMovieFrame(p), 0);
  EXPECT_TRUE(SameFrame(ShownLuma(p), reference[0], clip.FrameWidth));
  Close(p);
}

// A 12-frame movie with a stock of 10: stepping and jumping across the end.
TEST_F(TheoraThread, LoopingAcrossTheEnd) {
  ClipOptions o;
  o.Pictures = 12;
  o.KeyframeInterval = 5;
  Clip clip = MakeClip(o);
  const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  int expected = 0;
  for (int step : {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 7, 7, 7, 11, 3, 9, 1, 10, 5}) {
    AdvanceTheoraMovie(p, step);
    expected = (expected + step) % 12;
    ASSERT_EQ(GetTheoraMovieFrame(p), expected);
    EXPECT_TRUE(SameFrame(ShownLuma(p), reference[size_t(expected)], clip.FrameWidth)) << expected;
  }
  // Near the end the window reaches across it: frames 0 to c + N - C stay.
  SeekTheoraMovie(p, 9);
  ASSERT_FALSE(ShownLuma(p).empty());
  ASSERT_TRUE(WaitIdle(p));
  EXPECT_EQ(StockFrames(p), (std::set<int>{9, 10, 11, 0, 1, 2, 3, 4, 5, 6}));
  Close(p);
}

// The current frame falls behind the decoder and out of the stock: the
// thread goes back for it instead of resting with a full stock.
TEST_F(TheoraThread, CurrentFrameBehindTheDecoderIsFetched) {
  ClipOptions o;
  o.Pictures = 30;
  o.KeyframeInterval = 8;
  Clip clip = MakeClip(o);
  const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  AdvanceTheoraMovie(p, 20);
  EXPECT_TRUE(SameFrame(ShownLuma(p), reference[20], clip.FrameWidth));
  ASSERT_TRUE(WaitIdle(p));
  // Frame 0 is in the window of frame 20 (20 + 10 reaches across the end).
  EXPECT_EQ(StockFrames(p), (std::set<int>{0, 20, 21, 22, 23, 24, 25, 26, 27, 28}));
  AdvanceTheoraMovie(p, 25);  // to frame 15, behind the decoder at frame 28
  EXPECT_EQ(GetTheoraMovieFrame(p), 15);
  EXPECT_TRUE(SameFrame(ShownLuma(p), reference[15], clip.FrameWidth));
  AdvanceTheoraMovie(p, 1);
  EXPECT_TRUE(SameFrame(ShownLuma(p), reference[16], clip.FrameWidth));
  Close(p);
}

TEST_F(TheoraThread, RepeatedFramesCountAsFrames) {
  ClipOptions o;
  o.Pictures = 10;
  o.Duplicates = {{2, 3}, {7, 1}};
  Clip clip = MakeClip(o);
  ASSERT_EQ(clip.PictureOfFrame.size(), 14u);
  const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
  TheoraPlayer* p = Open(clip.Data, 4);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->FrameCount, 14);
  for (int f = 0; f < 14; ++f) {
    EXPECT_TRUE(SameFrame(ShownLuma(p), reference[size_t(f)], clip.FrameWidth)) << f;
    EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), clip.PictureOfFrame[size_t(f)]) << f;
    AdvanceTheoraMovie(p, 1);
  }
  SeekTheoraMovie(p, 5);  // the last of picture 2's repeats
  EXPECT_TRUE(SameFrame(ShownLuma(p), reference[5], clip.FrameWidth));
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 2);
  Close(p);
}

// A repeated frame (an empty packet) costs no new conversion, and, stored
// where the frame it repeats was, no new copy: a mark put into the image
// and into the slot's planes stays while the picture repeats, and goes with
// the next picture.
TEST_F(TheoraThread, RepeatedFramesAreNeitherCopiedNorConvertedAgain) {
  ClipOptions o;
  o.Pictures = 4;
  o.Duplicates = {{1, 3}};  // frames 1 to 4 show picture 1, frame 5 picture 2
  Clip clip = MakeClip(o);
  ASSERT_EQ(clip.PictureOfFrame[5], 2);
  TheoraPlayer* p = Open(clip.Data, 1);
  ASSERT_NE(p, nullptr);
  AdvanceTheoraMovie(p, 1);
  ASSERT_FALSE(ShownLuma(p).empty());
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 1);
  TheoraFrameSlot* slot = const_cast<TheoraFrameSlot*>(CurrentSlot(p));
  ASSERT_NE(slot, nullptr);
  const uint32_t imageMark = 0x12345678u;
  const uint8_t planeMark = 77;
  std::memcpy(p->Image.Pixels, &imageMark, 4);
  slot->PlaneY[0] = planeMark;
  const auto imagePixel = [p] {
    uint32_t pixel;
    std::memcpy(&pixel, p->Image.Pixels, 4);
    return pixel;
  };
  for (int f = 2; f <= 4; ++f) {
    AdvanceTheoraMovie(p, 1);
    ASSERT_EQ(UpdateTheoraMovieImage(p, 1, 0), 1) << f;
    ASSERT_EQ(CurrentSlot(p), slot) << f;
    EXPECT_EQ(imagePixel(), imageMark) << f;
    EXPECT_EQ(slot->PlaneY[0], planeMark) << f;
  }
  AdvanceTheoraMovie(p, 1);
  ASSERT_EQ(UpdateTheoraMovieImage(p, 1, 0), 1);
  EXPECT_NE(imagePixel(), imageMark);
  EXPECT_NE(slot->PlaneY[0], planeMark);
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 2);
  Close(p);
}

// 4:2:2 and 4:4:4 streams convert through the floating-point path with
// chroma read at its own resolution: the colours come out near the source's.
TEST_F(TheoraThread, OtherPixelFormatsShowTheirOwnColours) {
  for (int format : {0, 2, 3}) {
    ClipOptions o;
    o.Width = 96;
    o.Height = 64;
    o.Pictures = 2;
    o.PixelFormat = format;
    o.Quality = 63;
    Clip clip = MakeClip(o);
    TheoraPlayer* p = Open(clip.Data);
    ASSERT_NE(p, nullptr) << format;
    Bytes y, u, v;
    MakePicture(o, clip.FrameWidth, clip.FrameHeight, 0, &y, &u, &v);
    const int xs = format == 3 ? 0 : 1, ys = format == 0 ? 1 : 0;
    const int cw = clip.FrameWidth >> xs;
    double error = 0;
    for (int r = 0; r < o.Height; ++r) {
      for (int c = 0; c < o.Width; ++c) {
        const double yy = y[size_t(r) * size_t(clip.FrameWidth) + size_t(c)];
        const double uu = u[size_t(r >> ys) * size_t(cw) + size_t(c >> xs)];
        const double vv = v[size_t(r >> ys) * size_t(cw) + size_t(c >> xs)];
        const double red = std::clamp((yy - 16) * 1.164 + (vv - 128) * 1.596, 0.0, 255.0);
        const double blue = std::clamp((yy - 16) * 1.164 + (uu - 128) * 2.018, 0.0, 255.0);
        const uint8_t* px = p->Image.Pixels + size_t(r) * size_t(p->Image.Pitch) + size_t(c) * 4;
        error += std::abs(px[2] - red) + std::abs(px[0] - blue);
      }
    }
    EXPECT_LT(error / (o.Width * o.Height * 2), 12.0) << format;
    Close(p);
  }
}

TEST_F(TheoraThread, ClosingWhileTheThreadDecodesJoinsIt) {
  ClipOptions o;
  o.Width = 160;
  o.Height = 128;
  o.Pictures = 40;
  o.KeyframeInterval = 40;
  Clip clip = MakeClip(o);
  filetest::WriteBytes(Scratch.Path / "clip.ogv", clip.Data);
  for (int round = 0; round < 6; ++round) {
    FileHandle h = FileOpenDispatch("clip.ogv", 0, 1, 0);
    TheoraPlayer* p = OpenTheoraMovie(&FileAccessTable, h, 10);
    ASSERT_NE(p, nullptr);
    AdvanceTheoraMovie(p, 5 + round * 5);  // the thread reads straight ahead
    if (round % 2) PlatThreadSleep(uint32_t(round));
    EXPECT_EQ(CloseTheoraMovie(p), 0);
    FileCloseDispatch(h);
  }
}

// A seek into a file that has shrunk since it was indexed ends the wait.
TEST_F(TheoraThread, SeekIntoAShrunkFileGivesUpInsteadOfHanging) {
  ClipOptions o;
  o.Pictures = 40;
  o.KeyframeInterval = 10;
  o.Width = 160;
  o.Height = 96;
  o.PageBody = 200;
  Clip clip = MakeClip(o);
  ASSERT_GT(clip.Index.size(), 8u);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(WaitIdle(p));
  const long cut = long(clip.Index[clip.Index.size() / 2].Offset);
  filetest::WriteBytes(Scratch.Path / "clip.ogv", Bytes(clip.Data.begin(), clip.Data.begin() + cut));
  SeekTheoraMovie(p, 35);
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 0);
  EXPECT_EQ(p->EndOfStream.load(), 1);
  EXPECT_EQ(p->SeekRequest.load(), 0);
  AdvanceTheoraMovie(p, 1);
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 0);
  Close(p);
}

// An open movie that nobody advances costs next to nothing.
TEST_F(TheoraThread, IdleMovieUsesLittleProcessorTime) {
  ClipOptions o;
  o.Pictures = 12;
  TheoraPlayer* p = Open(MakeClip(o).Data);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(WaitIdle(p));
  const std::clock_t before = std::clock();
  PlatThreadSleep(1000);
  const double seconds = double(std::clock() - before) / CLOCKS_PER_SEC;
  EXPECT_LT(seconds, 0.05);
  Close(p);
}

}  // namespace
}  // namespace movietest
