// Packets the Theora decoder refuses: until it has accepted one of a movie,
// its output describes no picture of that movie (libtheora answers with
// buffers it never filled, which after an earlier movie's close point into
// that movie's freed frames). Such a frame is shown black, a refused frame
// after that as the frame before it. Run under the sanitizers, with
// ASAN_OPTIONS=quarantine_size_mb=0 to catch the freed reads every time.
#include "movie_layer_util.h"

namespace movietest {
namespace {

using RefusedPackets = MovieLayerTest;

bool AllBlack(const PixelImage& image) {
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* row = image.Pixels + size_t(y) * size_t(image.Pitch);
    for (int x = 0; x < image.Width; ++x) {
      if (row[4 * x] != 0 || row[4 * x + 1] != 0 || row[4 * x + 2] != 0 || row[4 * x + 3] != 255)
        return false;
    }
  }
  return true;
}

// The kept pair: an intact clip played and closed, then a clip whose first
// keyframe has two bytes of its frame header changed.
TEST_F(RefusedPackets, FirstKeyframeRefusedAfterAnotherMovieClosedShowsBlack) {
  filetest::WriteBytes(Scratch.Path / "good.ogv", KeptMovieInput("movie-good-34x26.ogv"));
  filetest::WriteBytes(Scratch.Path / "refused.ogv", KeptMovieInput("movie-first-keyframe-refused.ogv"));
  for (int round = 0; round < 3; ++round) {
    const int good = OpenMovie("good.ogv", nullptr, nullptr, 0);
    ASSERT_NE(good, -1);
    MovieRecord* g = GetMovieRecord(good);
    int fresh = 0;
    for (int step = 0; step < 3; ++step) {
      AdvanceTheoraMovie(g->Theora, 1);
      ASSERT_NE(GetMovieFrameImage(g, &fresh), nullptr);
      EXPECT_EQ(fresh, 1) << step;
    }
    ASSERT_EQ(CloseMovie(good), 0);

    const int refused = OpenMovie("refused.ogv", nullptr, nullptr, 0);
    ASSERT_NE(refused, -1);
    MovieRecord* m = GetMovieRecord(refused);
    TheoraPlayer* p = m->Theora;
    ASSERT_EQ(p->FrameCount, 5);
    // Frame 0 was converted by the open, as black.
    EXPECT_EQ(p->ImageCurrent, 1) << round;
    EXPECT_TRUE(AllBlack(p->Image)) << round;
    // Frame 1 decodes against libtheora's grey start; frame 2 is an intact keyframe.
    for (int f = 1; f < 5; ++f) {
      AdvanceTheoraMovie(p, 1);
      ASSERT_NE(GetMovieFrameImage(m, &fresh), nullptr);
      EXPECT_EQ(fresh, 1) << f;
      EXPECT_FALSE(AllBlack(p->Image)) << f;
    }
    ASSERT_EQ(CloseMovie(refused), 0);
  }
}

// Every keyframe refused: with a keyframe every frame nothing but black is
// ever shown; with inter frames between them each keyframe repeats the frame
// before it. Seeks land on such frames without reading foreign planes.
TEST_F(RefusedPackets, EveryKeyframeRefusedShowsTheFrameBeforeIt) {
  for (int interval : {1, 4}) {
    ClipOptions o;
    o.Pictures = 14;
    o.KeyframeInterval = interval;
    o.RefuseKeyframes = true;
    const Clip clip = MakeClip(o);
    const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
    ASSERT_EQ(reference.size(), 14u);
    const Bytes black(reference[0].size(), 16);
    EXPECT_EQ(reference[0], black);
    // With inter frames the movie shows more than black.
    EXPECT_EQ(reference.back() == black, interval == 1);
    for (size_t f = 1; f < 14; ++f) {
      if (clip.Keyframe[f]) {
        EXPECT_EQ(reference[f], reference[f - 1]) << interval << " " << f;
      }
    }

    TheoraPlayer* p = Open(clip.Data);
    ASSERT_NE(p, nullptr);
    for (int f = 0; f < 14; ++f) {
      EXPECT_TRUE(SameFrame(ShownLuma(p), reference[size_t(f)], clip.FrameWidth)) << interval << " " << f;
      AdvanceTheoraMovie(p, 1);
    }
    for (int target : {9, 4, 0, 13, 8}) {
      SeekTheoraMovie(p, target);
      const Bytes shown = ShownLuma(p);
      ASSERT_EQ(shown.size(), black.size()) << interval << " " << target;
      if (interval == 1) {
        EXPECT_EQ(shown, black) << target;
      }
    }
    Close(p);
  }
}

}  // namespace
}  // namespace movietest
