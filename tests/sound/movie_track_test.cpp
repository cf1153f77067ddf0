// A movie's sound track as the movie layer uses it: loaded from the movie
// file as a stream sound under load mode 3 with the movie flag up, then
// played, timed, stopped, resumed and deleted through its sound handle.
#include <ogg/ogg.h>

#include "sound_test_util.h"

namespace {

using MovieTrack = CaptureSoundTest;

// One page of a made-up video stream (serial 777) holding `text` as a packet.
Bytes VideoPage(ogg_stream_state* video, const char* text, bool bos, bool eos) {
  ogg_packet p{};
  p.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(text));
  p.bytes = long(std::strlen(text));
  p.b_o_s = bos;
  p.e_o_s = eos;
  ogg_stream_packetin(video, &p);
  ogg_page page;
  ogg_stream_flush(video, &page);
  Bytes b(page.header, page.header + page.header_len);
  b.insert(b.end(), page.body, page.body + page.body_len);
  return b;
}

// The end of the Ogg page that starts at `at`.
size_t PageEnd(const Bytes& ogg, size_t at) {
  size_t end = at + 27 + ogg[at + 26];
  for (size_t i = 0; i < ogg[at + 26]; ++i) end += ogg[at + 27 + i];
  return end;
}

// Where the video frame page goes among the Vorbis pages.
enum class FramePage { AfterSoundBeginning, AfterSoundHeaders };

// An Ogg file with a video stream beside one second of stereo Vorbis at
// 44,100 Hz; without the Vorbis stream when withSound is false. The Vorbis
// stream has three pages: its beginning, its other headers, and all of its
// sound.
Bytes MovieFile(bool withSound, FramePage where = FramePage::AfterSoundBeginning) {
  Bytes vorbis = FromArray(kOggStereoSecond, kOggStereoSecondSize);
  ogg_stream_state video;
  ogg_stream_init(&video, 777);
  Bytes movie = VideoPage(&video, "\x80theora-like video header", true, false);
  const size_t split =
      where == FramePage::AfterSoundBeginning ? PageEnd(vorbis, 0) : PageEnd(vorbis, PageEnd(vorbis, 0));
  if (withSound) movie.insert(movie.end(), vorbis.begin(), vorbis.begin() + long(split));
  Bytes frame = VideoPage(&video, "video frame", false, false);
  movie.insert(movie.end(), frame.begin(), frame.end());
  if (withSound) movie.insert(movie.end(), vorbis.begin() + long(split), vorbis.end());
  Bytes last = VideoPage(&video, "video end", false, true);
  movie.insert(movie.end(), last.begin(), last.end());
  ogg_stream_clear(&video);
  return movie;
}

// What the movie layer does to load a sound track.
int LoadTrack(const std::string& path) {
  int oldMode = GetSoundLoadMode();
  SoundState.MovieSoundFlag = 1;
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int h = LoadSoundFileImpl(path.c_str(), 1, -1);
  SoundState.MovieSoundFlag = 0;
  SetSoundLoadMode(oldMode);
  return h;
}

// Mixes `frames` output frames, refilling the streams every 0.05 s.
void MixAndRefill(uint32_t frames) {
  for (uint32_t done = 0; done < frames; done += 2205) {
    MixFrames(std::min<uint32_t>(2205, frames - done));
    ProcessAllStreamSounds();
  }
}

// Either way round the video page and the Vorbis pages come.
class MovieTrackLayout : public CaptureSoundTest, public ::testing::WithParamInterface<FramePage> {};

TEST_P(MovieTrackLayout, LoadsAsAStreamSoundThatPlaysStopsResumesAndTimes) {
  std::string path = dir_.Write("clip.ogv", MovieFile(true, GetParam()));
  int h = LoadTrack(path);
  ASSERT_NE(h, -1);
  SoundRecord* record = GetSoundRecord(h);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->IsStream, 1);
  EXPECT_EQ(record->Stream.Source->MovieSoundFlag, 1u);
  EXPECT_EQ(GetSoundLoadMode(), SOUND_LOAD_WHOLE);
  // Ready at once: the time reads 0 before the first play.
  EXPECT_EQ(GetSoundPlayTime(h), 0);

  ASSERT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1), 0);
  MixAndRefill(44100 * 3 / 10);
  EXPECT_EQ(GetSoundPlayTime(h), 300);
  // From-top 0 while it plays leaves it playing where it is.
  ASSERT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 0), 0);
  MixAndRefill(4410);
  EXPECT_EQ(GetSoundPlayTime(h), 400);
  EXPECT_EQ(CheckSoundPlaying(h), 1);
  // A stop keeps the position; from-top 0 goes on from it.
  ASSERT_EQ(StopSoundData(h), 0);
  MixAndRefill(4410);
  EXPECT_EQ(GetSoundPlayTime(h), 400);
  EXPECT_EQ(CheckSoundPlaying(h), 0);
  ASSERT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 0), 0);
  MixAndRefill(8820);
  EXPECT_EQ(GetSoundPlayTime(h), 600);
  // From-top 1 starts the track over.
  ASSERT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1), 0);
  MixAndRefill(4410);
  EXPECT_EQ(GetSoundPlayTime(h), 100);

  ASSERT_EQ(DeleteSoundData(h, 0), 0);
  EXPECT_EQ(DeleteSoundData(h, 0), -1);
  EXPECT_EQ(GetSoundPlayTime(h), -1);
  EXPECT_EQ(StopSoundData(h), -1);
  EXPECT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 0), -1);
  EXPECT_EQ(DeleteSoundData(-1, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, MovieTrackLayout,
                         ::testing::Values(FramePage::AfterSoundBeginning, FramePage::AfterSoundHeaders));

TEST_F(MovieTrack, TheFlagReachesOnlySourcesOpenedWhileItIsUp) {
  std::string path = dir_.Write("clip.ogv", MovieFile(true));
  int track = LoadTrack(path);
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int plain = LoadSoundFileImpl(path.c_str(), 1, -1);
  ASSERT_NE(track, -1);
  ASSERT_NE(plain, -1);
  EXPECT_EQ(GetSoundRecord(track)->Stream.Source->MovieSoundFlag, 1u);
  EXPECT_EQ(GetSoundRecord(plain)->Stream.Source->MovieSoundFlag, 0u);
}

TEST_F(MovieTrack, AMovieWithoutSoundGivesNoHandleAndKeepsNothing) {
  std::string path = dir_.Write("mute.ogv", MovieFile(false));
  int32_t before = LiveBlocks();
  EXPECT_EQ(LoadTrack(path), -1);
  EXPECT_EQ(LiveBlocks(), before);
  EXPECT_EQ(SoundState.Handles.Count, 0);
}

// The sound wholly on one page with a video page between it and the
// headers: read from the start, sought to the start and into the middle, it
// gives what the Vorbis file alone gives.
TEST_F(MovieTrack, ASoundWhollyOnOnePageAfterAVideoPageReadsAndSeeks) {
  const Bytes plainFile = FromArray(kOggStereoSecond, kOggStereoSecondSize);
  const Bytes movieFile = MovieFile(true, FramePage::AfterSoundHeaders);
  SoundSource* plain = OpenMemorySource(plainFile);
  SoundSource* movie = OpenMemorySource(movieFile);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(movie, nullptr);
  const Bytes whole = ReadAll(plain);
  ASSERT_EQ(whole.size(), 44100u * 4);
  EXPECT_EQ(ReadAll(movie), whole);
  ASSERT_EQ(SoundSourceSeek(movie, 0), 0);
  EXPECT_EQ(ReadAll(movie), whole);
  for (int64_t frame : {12345, 1, 44099, 44100}) {
    ASSERT_EQ(SoundSourceSeek(movie, frame), 0) << frame;
    EXPECT_EQ(movie->PositionFrames, frame);
    EXPECT_EQ(ReadAll(movie), Bytes(whole.begin() + frame * 4, whole.end())) << frame;
  }
  CloseSoundSource(plain);
  CloseSoundSource(movie);
}

}  // namespace
