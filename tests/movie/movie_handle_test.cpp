// Movie handles: their words and check, the lowest free slot, a full table,
// the state of an opened movie, and the refusal of a file that no player here
// plays.
#include <random>

#include "movie_layer_util.h"

namespace movietest {
namespace {

using MovieHandles = MovieLayerTest;

TEST_F(MovieHandles, HandleWordsCarryTagSerialAndSlotAndStaleHandlesFail) {
  const Clip clip = MakeFramesClip(4);
  int w = 0, h = 0;
  const int first = OpenClip(clip, "clip.ogv", &w, &h);
  EXPECT_EQ(first, 0x18000000);
  EXPECT_EQ(w, clip.FrameWidth);
  EXPECT_EQ(h, clip.FrameHeight);
  for (int i = 1; i < 5; ++i) AddPlaceholderMovie();
  MovieTable.CheckCounter = 3;
  EXPECT_EQ(OpenClip(clip), 0x18030005);
  EXPECT_EQ(MovieTable.Count, 6);

  // Slot 0 is reused with another serial: the kept handle names nothing.
  ASSERT_EQ(CloseMovie(first), 0);
  EXPECT_EQ(GetMovieRecord(first), nullptr);
  EXPECT_EQ(CloseMovie(first), -1);
  const int reused = OpenClip(clip);
  EXPECT_EQ(reused & 0xFFFF, 0);
  EXPECT_NE(reused, first);
  EXPECT_EQ(GetMovieRecord(first), nullptr);
  EXPECT_EQ(SetMovieFrameCallback(first, CountingCallback, nullptr), -1);
  EXPECT_EQ(PauseMoviePlayback(first, 0), -1);
  EXPECT_EQ(DrawMovieToScreen(0, 0, 1, first, 1), -1);
  EXPECT_EQ(UpdateMovieFrame(first, 0), 0);
  EXPECT_EQ(RestoreMovieSurfaces(first), 0);
  EXPECT_NE(GetMovieRecord(reused), nullptr);

  // Words that are no movie handle.
  for (int bad : {-1, 0x08000000, 0x18000000 | 100, 0x18000000 | 0x7FF0000})
    EXPECT_EQ(GetMovieRecord(bad), nullptr) << std::hex << bad;
  EXPECT_EQ(CloseMovie(-1), -1);
}

TEST_F(MovieHandles, SerialWrapsAfter2048Opens) {
  const Clip clip = MakeFramesClip(2);
  MovieTable.CheckCounter = 2047;
  const int last = OpenClip(clip);
  EXPECT_EQ(last, 0x18000000 | (2047 << 16));
  EXPECT_EQ(GetMovieRecord(last)->Serial, 2047);
  // The 2,049th open comes round to the first one's serial.
  EXPECT_EQ(OpenClip(clip), 0x18000001);
}

TEST_F(MovieHandles, LowestFreeSlotIsTakenAndTheHundredAndFirstOpenFailsSilently) {
  const Clip clip = MakeFramesClip(2);
  int handles[4];
  for (int& h : handles) h = AddPlaceholderMovie();
  ASSERT_EQ(CloseMovie(handles[1]), 0);
  EXPECT_EQ(OpenClip(clip) & 0xFFFF, 1);

  while (MovieTable.Count < MOVIE_TABLE_SIZE) AddPlaceholderMovie();
  const uint32_t counter = MovieTable.CheckCounter;
  CapturedLog().clear();
  EXPECT_EQ(OpenClip(clip), -1);
  EXPECT_EQ(CapturedLog(), "");
  EXPECT_EQ(MovieTable.CheckCounter, counter);
  EXPECT_EQ(MovieTable.Count, MOVIE_TABLE_SIZE);
}

TEST_F(MovieHandles, AnOpenedMovieIsStoppedOnItsFirstFrameWhateverSurfaceWasAsked) {
  ClipOptions o;
  o.Pictures = 6;
  const Clip clip = MakeClip(o);
  filetest::WriteBytes(Scratch.Path / "clip.ogv", clip.Data);
  const int h = OpenMovie("clip.ogv", nullptr, nullptr, 1);
  ASSERT_NE(h, -1);
  const MovieRecord* m = GetMovieRecord(h);
  EXPECT_EQ(m->Paused, 1);
  EXPECT_EQ(m->Playing, 0);
  EXPECT_EQ(m->PlayType, 1);
  EXPECT_EQ(m->HasFrame, 0);
  EXPECT_EQ(m->SurfaceMode, 0);
  EXPECT_EQ(m->IsTheora, 1);
  EXPECT_EQ(m->Sound, -1);  // no sound device in this test
  EXPECT_NE(m->MovieFile, 0u);
  EXPECT_EQ(m->CurrentImage, GetTheoraMovieImage(m->Theora));
  EXPECT_EQ(IsMovieShownOnScreen(h), 0);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 0);
  EXPECT_EQ(ImagePicture(*m->CurrentImage, o.Width, o.Height), clip.PictureOfFrame[0]);

  // A stopped movie stays where it is, and the resume of the window does not
  // start it; its callback still runs and it then has a frame.
  CallbackLog log{0, -2, o.Width, o.Height};
  ASSERT_EQ(SetMovieFrameCallback(h, CountingCallback, &log), 0);
  SetClockMicroseconds(60000000);
  EXPECT_EQ(ResumeAllMoviePlayback(), 0);
  EXPECT_EQ(m->Paused, 1);
  EXPECT_EQ(UpdateMovieFrame(h, 0), 0);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 0);
  EXPECT_EQ(log.Calls, 1);
  EXPECT_EQ(log.LastPicture, clip.PictureOfFrame[0]);
  EXPECT_EQ(m->HasFrame, 1);
  // A null callback removes it.
  ASSERT_EQ(SetMovieFrameCallback(h, nullptr, nullptr), 0);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(log.Calls, 1);
}

TEST_F(MovieHandles, AFileNoPlayerTakesIsRefusedWithTheTwoLinesAndLeavesNothing) {
  filetest::WriteBytes(Scratch.Path / "notes.txt",
                       Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
  const uint32_t counter = MovieTable.CheckCounter;
  int w = 7, h = 9;
  CapturedLog().clear();
  EXPECT_EQ(OpenMovie("notes.txt", &w, &h, 0), -1);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 9);
  const std::string stream = "CLSID_FilterGraph の作成に失敗しました";
  const std::string open = "ムービーファイルオープン処理時にエラーが発生しました";
  const size_t at = CapturedLog().find(stream);
  ASSERT_NE(at, std::string::npos) << CapturedLog();
  EXPECT_NE(CapturedLog().find(open, at + stream.size()), std::string::npos);
  EXPECT_EQ(MovieTable.Count, 0);
  EXPECT_EQ(MovieTable.CheckCounter, counter);
  for (MovieRecord* r : MovieTable.Records) EXPECT_EQ(r, nullptr);

  // No memory for the record: its own line, and the slot stays free.
  filetest::WriteBytes(Scratch.Path / "clip.ogv", MakeFramesClip(2).Data);
  CapturedLog().clear();
  PlatHeapFailAfter(0);
  EXPECT_EQ(OpenMovie("clip.ogv", nullptr, nullptr, 0), -1);
  PlatHeapFailAfter(-1);
  EXPECT_NE(CapturedLog().find("メモリの確保に失敗しました in OpenMovie"), std::string::npos);
  EXPECT_EQ(MovieTable.Count, 0);

  // A missing file and an Ogg file without Theora go the same way.
  EXPECT_EQ(OpenMovie("missing.ogv", nullptr, nullptr, 0), -1);
  ClipOptions soundOnly;
  soundOnly.Video = false;
  soundOnly.Sound = true;
  EXPECT_EQ(OpenClip(MakeClip(soundOnly), "sound.ogg"), -1);
  EXPECT_EQ(OpenMovie(nullptr, nullptr, nullptr, 0), -1);
  EXPECT_EQ(MovieTable.Count, 0);
  // The stream half has nothing to release, reopen or place.
  EXPECT_EQ(ReleaseAllMovieStreams(), 0);
  EXPECT_EQ(ReopenAllMovies(), 0);
  EXPECT_EQ(DrawAllMoviesToScreen(), 0);
}

TEST_F(MovieHandles, DamagedFilesEitherFailOrOpenPaceAndCloseCleanly) {
  ClipOptions o;
  o.Pictures = 16;
  o.KeyframeInterval = 4;
  const Clip made = MakeClip(o);
  const Bytes& clip = made.Data;
  // Most damage to the headers only refuses the file; the frames after them
  // are what the pacing and the conversion meet.
  const size_t headers = made.EndOfThirdHeaderPage;
  std::mt19937 random(19);
  int opened = 0;
  for (int variant = 0; variant < 40; ++variant) {
    Bytes bytes = clip;
    if (variant % 4 == 0) {
      bytes.resize(random() % bytes.size());
    } else if (variant % 2 == 0) {
      bytes.resize(headers + random() % (bytes.size() - headers));
    } else {
      for (int k = 0; k < 4; ++k)
        bytes[headers + random() % (bytes.size() - headers)] ^= uint8_t(1 + random() % 255);
    }
    const int h = OpenClip(Clip{bytes, {}, {}, {}, 0, 0, 0, {}, 22050});
    if (h == -1) continue;
    ++opened;
    CallbackLog log{0, -2, o.Width, o.Height};
    SetMovieFrameCallback(h, CountingCallback, &log);
    ASSERT_EQ(StartMoviePlayback(h, variant % 4 == 1 ? 3 : 1), 0);
    for (int step = 1; step <= 6; ++step) {
      SetClockMicroseconds(1000000 + int64_t(step) * 170000);
      EXPECT_EQ(UpdateMovieFrame(h, 0), 0);
    }
    EXPECT_EQ(log.Calls, 6);
    EXPECT_EQ(CloseMovie(h), 0);
    FakeMilliseconds() = 1000;
  }
  EXPECT_GT(opened, 10);
  EXPECT_EQ(MovieTable.Count, 0);
}

}  // namespace
}  // namespace movietest
