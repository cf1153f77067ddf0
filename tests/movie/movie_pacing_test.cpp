// Frame pacing with the clock set directly: the frame due from the
// microsecond counter or the sound track, looping, the end of a movie, pause
// and resume, and the movie started the way the library would start one.
#include <cmath>

#include "movie_layer_util.h"
#include "platform/audio.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

namespace movietest {
namespace {

class MoviePacing : public MovieLayerTest {
 public:
  // Opens a clip and starts it now with the play type.
  int OpenAndStart(const Clip& clip, int playType) {
    const int h = OpenClip(clip);
    EXPECT_NE(h, -1);
    Log = CallbackLog{0, -2, 64, 48};
    EXPECT_EQ(SetMovieFrameCallback(h, CountingCallback, &Log), 0);
    EXPECT_EQ(StartMoviePlayback(h, playType), 0);
    return h;
  }
  CallbackLog Log;
};

TEST_F(MoviePacing, TheClockGivesTheDueFrameAndTheCallbackSeesIt) {
  const Clip clip = MakeFramesClip(40);
  const int h = OpenAndStart(clip, 1);
  const MovieRecord* m = GetMovieRecord(h);
  EXPECT_EQ(m->Playing, 1);
  EXPECT_EQ(m->Paused, 0);
  EXPECT_EQ(m->StartTime, 1000000);
  // 25 frames per second, one second on: frame 25, not 24.
  SetClockMicroseconds(1000000 + 1000000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 25);
  EXPECT_EQ(Log.Calls, 1);
  EXPECT_EQ(Log.LastPicture, clip.PictureOfFrame[25]);
  EXPECT_EQ(m->HasFrame, 1);
  // Just before the next frame is due nothing moves.
  SetClockMicroseconds(1000000 + 1039000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 25);
  SetClockMicroseconds(1000000 + 1040000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 26);
  EXPECT_EQ(Log.LastPicture, clip.PictureOfFrame[26]);
}

TEST_F(MoviePacing, NtscRateCountsFramesOfThirtyThousandOverOneThousandAndOne) {
  const int h = OpenAndStart(MakeFramesClip(70, 30000, 1001), 1);
  SetClockMicroseconds(1000000 + 2000000);  // 59.94 frames
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 59);
}

TEST_F(MoviePacing, ALoopingMovieWrapsForwardAndNeverStops) {
  const Clip clip = MakeFramesClip(100);
  const int h = OpenAndStart(clip, 3);
  MovieRecord* m = GetMovieRecord(h);
  EXPECT_EQ(m->PlayType, 3);
  SetClockMicroseconds(1000000 + 98 * 40000);
  UpdateMovieFrame(h, 0);
  ASSERT_EQ(Frame(h), 98);
  // Due on 102: 4 frames forward across the end, to frame 2.
  SetClockMicroseconds(1000000 + 102 * 40000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 2);
  EXPECT_EQ(Log.LastPicture, clip.PictureOfFrame[2]);
  EXPECT_EQ(m->Playing, 1);
  EXPECT_EQ(m->Paused, 0);
}

TEST_F(MoviePacing, AMovieThatDoesNotLoopStopsOnItsLastFrame) {
  const Clip clip = MakeFramesClip(30);
  const int h = OpenAndStart(clip, 1);
  const MovieRecord* m = GetMovieRecord(h);
  SetClockMicroseconds(1000000 + 10000000);  // frame 250 is long past the end
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 29);
  EXPECT_EQ(m->Playing, 1);
  EXPECT_EQ(Log.Calls, 1);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 29);
  EXPECT_EQ(m->Playing, 0);
  EXPECT_EQ(m->Paused, 1);
  EXPECT_EQ(Log.Calls, 2);
  EXPECT_EQ(Log.LastPicture, clip.PictureOfFrame[29]);
}

TEST_F(MoviePacing, PauseAndResumeKeepTheFrameAndPickUpFromIt) {
  const Clip clip = MakeFramesClip(40);
  const int h = OpenAndStart(clip, 1);
  MovieRecord* m = GetMovieRecord(h);
  // The pause by the system shows the frame due at that moment.
  SetClockMicroseconds(1000000 + 400000);
  EXPECT_EQ(PauseAllMoviePlayback(), 0);
  EXPECT_EQ(Frame(h), 10);
  EXPECT_EQ(Log.Calls, 1);
  EXPECT_EQ(m->Playing, 1);
  EXPECT_EQ(m->Paused, 1);
  // A pause by the owner on a movie already paused changes nothing.
  EXPECT_EQ(PauseMoviePlayback(h, 0), 0);
  EXPECT_EQ(m->Playing, 1);
  // Time passes while paused: the frame stays, the callback still runs.
  SetClockMicroseconds(50000000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 10);
  EXPECT_EQ(Log.Calls, 2);
  // Resumed, frame 10 is due now and the movie goes on from it.
  m->PlayType = 0;
  EXPECT_EQ(ResumeAllMoviePlayback(), 0);
  EXPECT_EQ(m->PlayType, 1);
  EXPECT_EQ(m->StartTime, 50000000 - 400000);
  EXPECT_EQ(m->Paused, 0);
  SetClockMicroseconds(50000000 + 80000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 12);
  // A pause by the owner stops it: the window's resume leaves it.
  EXPECT_EQ(PauseMoviePlayback(h, 0), 0);
  EXPECT_EQ(m->Playing, 0);
  EXPECT_EQ(ResumeAllMoviePlayback(), 0);
  EXPECT_EQ(m->Paused, 1);
}

TEST_F(MoviePacing, ResumeOnFrame250SetsTheStartTenSecondsBack) {
  const int h = OpenAndStart(MakeFramesClip(260), 1);
  MovieRecord* m = GetMovieRecord(h);
  SeekTheoraMovie(m->Theora, 250);
  m->Paused = 1;  // paused by the system
  SetClockMicroseconds(30000000);
  EXPECT_EQ(ResumeAllMoviePlayback(), 0);
  EXPECT_EQ(m->StartTime, 30000000 - 10000000);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 250);
}

// Resumed on any frame, at any rate, the movie shows that frame in the very
// millisecond it resumes and the next one a frame time later; it never
// counts the frame as not yet due and wraps round the movie to reach it. At
// 3/11 frames per second frame 51 falls on a whole microsecond (187 s) where
// the pacing's arithmetic comes out a hair below 51.
TEST_F(MoviePacing, AResumedMovieShowsItsFrameAtOnceAndTheNextAFrameLater) {
  struct Rate {
    int Numerator, Denominator;
  };
  for (const Rate rate : {Rate{30, 1}, Rate{24, 1}, Rate{30000, 1001}, Rate{3, 11}}) {
    SCOPED_TRACE(testing::Message() << rate.Numerator << "/" << rate.Denominator << " frames per second");
    const Clip clip = MakeFramesClip(60, rate.Numerator, rate.Denominator);
    const int h = OpenAndStart(clip, 3);
    MovieRecord* m = GetMovieRecord(h);
    const double frameUs = 1000000.0 * rate.Denominator / rate.Numerator;
    const int64_t frameMsDown = int64_t(frameUs) / 1000 * 1000, frameMsUp = frameMsDown + 1000;
    for (const int f : {1, 2, 3, 4, 5, 6, 9, 10, 11, 17, 21, 30, 51}) {
      // Paused a few milliseconds after frame f became due.
      const int64_t due = int64_t(std::ceil((double(m->StartTime) + f * frameUs) / 1000.0)) * 1000 + 5000;
      SetClockMicroseconds(due);
      EXPECT_EQ(PauseAllMoviePlayback(), 0);
      ASSERT_EQ(Frame(h), f);
      const int64_t now = due + 731000;
      SetClockMicroseconds(now);
      EXPECT_EQ(ResumeAllMoviePlayback(), 0);
      UpdateMovieFrame(h, 0);
      EXPECT_EQ(Frame(h), f) << "at once";
      EXPECT_EQ(Log.LastPicture, clip.PictureOfFrame[size_t(f)]);
      SetClockMicroseconds(now + frameMsDown);
      UpdateMovieFrame(h, 0);
      EXPECT_EQ(Frame(h), f) << "just before the next frame";
      SetClockMicroseconds(now + frameMsUp);
      UpdateMovieFrame(h, 0);
      EXPECT_EQ(Frame(h), f + 1) << "a frame time later";
      EXPECT_EQ(Log.LastPicture, clip.PictureOfFrame[size_t(f + 1)]);
      if (HasFatalFailure()) return;
    }
    EXPECT_EQ(CloseMovie(h), 0);
  }
}

TEST_F(MoviePacing, AMovieWithoutFramesStaysPutEvenWhenLooping) {
  ClipOptions o;
  o.Pictures = 0;
  o.Sound = true;  // pages follow the headers; no sound device plays it here
  const int h = OpenAndStart(MakeClip(o), 3);
  SetClockMicroseconds(90000000);
  EXPECT_EQ(UpdateMovieFrame(h, 0), 0);
  EXPECT_EQ(Frame(h), 0);
  EXPECT_EQ(Log.Calls, 1);
  EXPECT_EQ(GetMovieRecord(h)->Playing, 1);
}

// With a sound track the sound's play time paces the movie.
class MovieSoundPacing : public MovieLayerTest {
 public:
  void SetUp() override {
    MovieLayerTest::SetUp();
    InitFileAccess();
    PlatAudioSelectBackend(PLAT_AUDIO_CAPTURE);
    SetSoundLoadMode(SOUND_LOAD_WHOLE);
    ASSERT_EQ(InitializeSound(), 0);
  }
  void TearDown() override {
    CloseAllMovies();  // the tracks go before the sound layer
    TerminateSound();
    PlatAudioSelectBackend(PLAT_AUDIO_DEVICE);
    EndFileAccess();
    MovieLayerTest::TearDown();
  }
  static void MixMilliseconds(int ms) {
    const uint32_t frames = uint32_t(ms) * 441 / 10;
    for (uint32_t done = 0; done < frames; done += 2205) {
      PlatAudioCaptureAdvance(std::min<uint32_t>(2205, frames - done));
      ProcessAllStreamSounds();
    }
    std::vector<int16_t> drop(size_t(frames) * 2);
    PlatAudioCaptureTake(drop.data(), frames);
  }

  // Loads the clip's track, plays it a second, pauses half a second and
  // resumes it: the sound's time paces the frames throughout.
  void PlayPauseAndResume(const Clip& clip) {
    SetSoundLoadMode(SOUND_LOAD_WHOLE_PLUS);
    const int h = OpenClip(clip);
    ASSERT_NE(h, -1);
    MovieRecord* m = GetMovieRecord(h);
    ASSERT_NE(m->Sound, -1) << CapturedLog();
    EXPECT_EQ(GetSoundRecord(m->Sound)->IsStream, 1);
    EXPECT_EQ(GetSoundRecord(m->Sound)->Stream.Source->MovieSoundFlag, 1u);
    EXPECT_EQ(SoundState.MovieSoundFlag, 0u);
    EXPECT_EQ(GetSoundLoadMode(), SOUND_LOAD_WHOLE_PLUS);

    ASSERT_EQ(StartMoviePlayback(h, 1), 0);
    EXPECT_EQ(CheckSoundPlaying(m->Sound), 1);
    MixMilliseconds(1000);
    ASSERT_EQ(GetSoundPlayTime(m->Sound), 1000);
    // The microsecond counter says otherwise; the sound decides.
    SetClockMicroseconds(1000000 + 1500000);
    UpdateMovieFrame(h, 0);
    EXPECT_EQ(Frame(h), 30);

    // Paused, the track stops where it is; resumed, it plays on from there.
    EXPECT_EQ(PauseAllMoviePlayback(), 0);
    EXPECT_EQ(CheckSoundPlaying(m->Sound), 0);
    MixMilliseconds(500);
    EXPECT_EQ(GetSoundPlayTime(m->Sound), 1000);
    EXPECT_EQ(ResumeAllMoviePlayback(), 0);
    MixMilliseconds(500);
    UpdateMovieFrame(h, 0);
    EXPECT_EQ(Frame(h), 45);
  }
};

TEST_F(MovieSoundPacing, TheTrackIsLoadedAsAMovieStreamAndPacesTheFrames) {
  ClipOptions o;
  o.Pictures = 60;
  o.FpsNumerator = 30;
  o.Sound = true;
  o.PageBody = 1500;
  PlayPauseAndResume(MakeClip(o));
}

// With the clip maker's usual pages the whole track fits on one page, which
// comes after a video page: starting and resuming the track still find their
// place in it.
TEST_F(MovieSoundPacing, ATrackWhollyOnOnePageAfterTheVideoPacesTheFrames) {
  ClipOptions o;
  o.Pictures = 60;
  o.FpsNumerator = 30;
  o.Sound = true;
  PlayPauseAndResume(MakeClip(o));
}

}  // namespace
}  // namespace movietest
