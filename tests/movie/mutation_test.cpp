// Damaged movies: truncated files, flipped bytes (pages then fail their
// checksum), and damaged page bodies with valid checksums that reach the
// Theora decoder. Each either fails to open or plays to its end and closes;
// never a crash, a hang or an access out of bounds (run under the sanitizers).
#include <random>

#include "movie_test_util.h"

namespace movietest {
namespace {

using TheoraMutation = MovieTest;

// Opens the bytes and, when they open, shows every frame once, seeks into
// the middle and closes. Returns whether it opened.
bool PlayThrough(MovieTest* test, const Bytes& bytes) {
  TheoraPlayer* p = test->Open(bytes);
  if (p != nullptr) {
    const int frames = int(p->FrameCount);
    for (int f = 0; f < frames + 2; ++f) {
      const int r = UpdateTheoraMovieImage(p, 1, 0);
      EXPECT_TRUE(r == 0 || r == 1);
      AdvanceTheoraMovie(p, 1);
    }
    SeekTheoraMovie(p, frames / 2);
    UpdateTheoraMovieImage(p, 1, 0);
  }
  test->Close(p);
  return p != nullptr;
}

ClipOptions Mixed() {
  ClipOptions o;
  o.Pictures = 20;
  o.KeyframeInterval = 6;
  o.Sound = true;
  o.PageBody = 500;
  o.Duplicates = {{4, 2}};
  return o;
}

TEST_F(TheoraMutation, TruncatedFilesFailOrPlayWhatIsThere) {
  const Clip clip = MakeClip(Mixed());
  std::vector<size_t> cuts;
  for (const PageSpan& page : Pages(clip.Data)) {
    cuts.push_back(page.Start);
    cuts.push_back(page.Start + 13);
    cuts.push_back(page.Start + page.HeaderLength + 1);
  }
  int opened = 0;
  for (size_t cut : cuts) {
    if (PlayThrough(this, Bytes(clip.Data.begin(), clip.Data.begin() + long(cut)))) ++opened;
  }
  EXPECT_GT(opened, 0);
  EXPECT_LT(opened, int(cuts.size()));
}

TEST_F(TheoraMutation, FlippedBytesFailOrPlay) {
  const Clip clip = MakeClip(Mixed());
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    Bytes bytes = clip.Data;
    const int flips = 1 + int(rng() % 12);
    for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] ^= uint8_t(1 + rng() % 255);
    PlayThrough(this, bytes);
  }
}

// Damage behind valid checksums: header fields, packet sizes and coded data
// reach libogg's packet assembly and the Theora decoder.
TEST_F(TheoraMutation, DamagedPagesWithValidChecksumsFailOrPlay) {
  const Clip clip = MakeClip(Mixed());
  const std::vector<PageSpan> pages = Pages(clip.Data);
  ASSERT_GT(pages.size(), 4u);
  std::mt19937 rng(11);
  for (int round = 0; round < 120; ++round) {
    Bytes bytes = clip.Data;
    // The identification header's page is left alone: a damaged frame size
    // is its own test below.
    const PageSpan& page = pages[1 + rng() % (pages.size() - 1)];
    const int flips = 1 + int(rng() % 6);
    for (int i = 0; i < flips; ++i) {
      const size_t at = page.Start + 4 + rng() % (page.Size - 4);
      if (at >= page.Start + 22 && at < page.Start + 26) continue;  // the checksum itself
      bytes[at] ^= uint8_t(1 + rng() % 255);
    }
    // A damaged lacing table changes the page's length: recompute over the
    // bytes as they now stand when it still fits.
    PageSpan fixed = page;
    fixed.HeaderLength = 27 + bytes[page.Start + 26];
    size_t body = 0;
    for (size_t i = 0; i < bytes[page.Start + 26] && page.Start + 27 + i < bytes.size(); ++i) {
      body += bytes[page.Start + 27 + i];
    }
    fixed.Size = fixed.HeaderLength + body;
    if (page.Start + fixed.Size <= bytes.size()) FixChecksum(&bytes, fixed);
    PlayThrough(this, bytes);
  }
}

TEST_F(TheoraMutation, HugeFrameSizeIsRefused) {
  ClipOptions o;
  o.Pictures = 2;
  const Clip clip = MakeClip(o);
  const std::vector<PageSpan> pages = Pages(clip.Data);
  Bytes bytes = clip.Data;
  // Frame width and height in macroblocks: bytes 10 to 13 of the first packet.
  const size_t packet = pages[0].Start + pages[0].HeaderLength;
  for (size_t i = 10; i < 14; ++i) bytes[packet + i] = 0xFF;
  FixChecksum(&bytes, pages[0]);
  EXPECT_FALSE(PlayThrough(this, bytes));
}

}  // namespace
}  // namespace movietest
