// A movie inside an archive plays as it does from a plain file, also while
// the main thread streams the movie's sound track out of the same archive:
// both threads read one archive file, each through its own member.
#include <algorithm>
#include <cstring>
#include <random>

#include "movie_test_util.h"
#include "platform/audio.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

namespace movietest {
namespace {

class TheoraArchive : public MovieTest {
 public:
  void SetUp() override {
    MovieTest::SetUp();
    InitFileAccess();
    PlatAudioSelectBackend(PLAT_AUDIO_CAPTURE);
    SetSoundLoadMode(SOUND_LOAD_WHOLE);
    ASSERT_EQ(InitializeSound(), 0);
  }
  void TearDown() override {
    TerminateSound();
    PlatAudioSelectBackend(PLAT_AUDIO_DEVICE);
    EndFileAccess();  // the archive stays open in its table until then
    MovieTest::TearDown();
  }

  struct Playback {
    std::vector<Bytes> Frames;
    std::vector<int16_t> Sound;
  };

  // Opens the movie and its sound track as the movie layer does, then shows
  // every frame while mixing and refilling the track one frame's worth at a time.
  Playback Play(const char* path, int frames) {
    Playback out;
    FileHandle file = FileOpenDispatch(path, 0, 1, 0);
    EXPECT_NE(file, 0u) << path;
    TheoraPlayer* p = OpenTheoraMovie(&FileAccessTable, file, 10);
    EXPECT_NE(p, nullptr) << path;
    if (p == nullptr) {
      FileCloseDispatch(file);
      return out;
    }
    const int oldMode = GetSoundLoadMode();
    SoundState.MovieSoundFlag = 1;
    SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
    const int track = LoadSoundFileImpl(path, 1, -1);
    SoundState.MovieSoundFlag = 0;
    SetSoundLoadMode(oldMode);
    EXPECT_NE(track, -1);
    EXPECT_EQ(PlaySoundHandleImpl(track, SOUND_PLAY_BACKGROUND, 1), 0);
    for (int f = 0; f < frames; ++f) {
      p->ImageCurrent = 0;
      EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 1) << f;
      out.Frames.emplace_back(p->Image.Pixels, p->Image.Pixels + p->Image.Pitch * p->Image.Height);
      AdvanceTheoraMovie(p, 1);
      PlatAudioCaptureAdvance(1764);  // 1/25 s at 44,100 Hz
      std::vector<int16_t> mixed(1764 * 2);
      mixed.resize(PlatAudioCaptureTake(mixed.data(), 1764) * 2);
      out.Sound.insert(out.Sound.end(), mixed.begin(), mixed.end());
      ProcessAllStreamSounds();
    }
    DeleteSoundData(track, 0);
    CloseTheoraMovie(p);
    FileCloseDispatch(file);
    return out;
  }
};

TEST_F(TheoraArchive, MovieAndSoundTrackFromAnArchiveMatchThePlainFile) {
  ClipOptions o;
  o.Width = 128;
  o.Height = 96;
  o.Pictures = 50;
  o.Sound = true;
  o.PageBody = 1500;
  Clip clip = MakeClip(o);
  filetest::WriteBytes(Scratch.Path / "plain" / "clip.ogv", clip.Data);
  ArchiveWriterOptions stored;
  stored.Compress = false;  // stored members are read from the file on demand
  filetest::WriteBytes(Scratch.Path / "pack.vlk",
                       filetest::BuildArchiveBytes({{"clip.ogv", clip.Data, false}}, stored));

  const Playback plain = Play("plain\\clip.ogv", 50);
  const Playback packed = Play("pack\\clip.ogv", 50);
  ASSERT_EQ(plain.Frames.size(), 50u);
  ASSERT_EQ(packed.Frames.size(), 50u);
  for (size_t f = 0; f < 50; ++f) {
    EXPECT_TRUE(plain.Frames[f] == packed.Frames[f]) << f;
  }
  const auto loud = std::count_if(plain.Sound.begin(), plain.Sound.end(), [](int16_t s) { return s > 1000; });
  EXPECT_GT(loud, 1000);  // the track did play
  EXPECT_TRUE(plain.Sound == packed.Sound);
}

// The main thread reads the member at random places through a handle of its
// own while the decode thread reads ahead through the movie's handle.
TEST_F(TheoraArchive, ReadsFromBothThreadsStayApart) {
  ClipOptions o;
  o.Width = 160;
  o.Height = 128;
  o.Pictures = 60;
  o.KeyframeInterval = 12;
  Clip clip = MakeClip(o);
  const std::vector<Bytes> reference = DecodeLumaInOrder(clip.Data);
  ArchiveWriterOptions stored;
  stored.Compress = false;
  filetest::WriteBytes(Scratch.Path / "pack.vlk",
                       filetest::BuildArchiveBytes({{"clip.ogv", clip.Data, false}}, stored));
  FileHandle movie = FileOpenDispatch("pack\\clip.ogv", 0, 1, 0);
  FileHandle other = FileOpenDispatch("pack\\clip.ogv", 0, 1, 0);
  ASSERT_NE(movie, 0u);
  ASSERT_NE(other, 0u);
  TheoraPlayer* p = OpenTheoraMovie(&FileAccessTable, movie, 10);
  ASSERT_NE(p, nullptr);
  std::mt19937 rng(3);
  int wrongReads = 0, wrongFrames = 0;
  for (int round = 0; round < 40; ++round) {
    AdvanceTheoraMovie(p, 1 + int(rng() % 15));
    for (int k = 0; k < 40; ++k) {
      const size_t at = rng() % (clip.Data.size() - 700);
      uint8_t buffer[700];
      FileSeekDispatch(other, int64_t(at), 0);
      const size_t got = FileReadDispatch(buffer, 1, sizeof buffer, other);
      if (got != sizeof buffer || std::memcmp(buffer, clip.Data.data() + at, sizeof buffer) != 0)
        ++wrongReads;
    }
    if (ShownLuma(p) != reference[size_t(p->CurrentFrame.load())]) ++wrongFrames;
  }
  EXPECT_EQ(wrongReads, 0);
  EXPECT_EQ(wrongFrames, 0);
  CloseTheoraMovie(p);
  FileCloseDispatch(other);
  FileCloseDispatch(movie);
}

}  // namespace
}  // namespace movietest
