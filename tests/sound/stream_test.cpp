// Stream sounds (ring refill across its wrap, loops, play time), MP3 and Ogg
// Vorbis decoding, and the music built on them.
#include <ogg/ogg.h>

#include "file/archivewriter.h"
#include "sound_test_util.h"

namespace {

using StreamSounds = CaptureSoundTest;

// Frames counted by sign changes from - to +: about one per period.
int RisingZeroCrossings(const std::vector<int16_t>& s, size_t step = 1, size_t offset = 0) {
  int count = 0;
  for (size_t i = offset + step; i < s.size(); i += step)
    if (s[i - step] < 0 && s[i] >= 0) ++count;
  return count;
}

// The frequency of the loud part of a mono signal, from its rising zero
// crossings (the quiet edges of decoded MPEG audio are left out).
double ToneFrequency(const std::vector<int16_t>& s, double rate) {
  size_t first = 0, last = s.size();
  while (first < s.size() && std::abs(s[first]) < 4000) ++first;
  while (last > first && std::abs(s[last - 1]) < 4000) --last;
  std::vector<int16_t> loud(s.begin() + long(first), s.begin() + long(last));
  return loud.size() < 2 ? 0 : RisingZeroCrossings(loud) * rate / double(loud.size());
}

// Plays a mode-3 stream, refilling between mixes of `chunk` frames, and
// returns the left channel of `total` frames.
std::vector<int16_t> PlayStream(int h, int playType, uint32_t total, uint32_t chunk) {
  EXPECT_EQ(PlaySoundHandleImpl(h, playType, 1), 0);
  std::vector<int16_t> out;
  for (uint32_t done = 0; done < total; done += chunk) {
    std::vector<int16_t> part = LeftOf(MixFrames(std::min(chunk, total - done)));
    out.insert(out.end(), part.begin(), part.end());
    ProcessAllStreamSounds();
  }
  return out;
}

TEST_F(StreamSounds, RefillCarriesTheDataAcrossTheRingsWrap) {
  // Five seconds of a ramp-like signal through a two-second ring.
  std::vector<int16_t> samples;
  for (int i = 0; i < 44100 * 5; ++i) samples.push_back(int16_t(i * 7));
  std::string path = dir_.Write("long.wav", PcmWav16(1, 44100, samples));
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int h = LoadSoundFileImpl(path.c_str(), 1, -1);
  ASSERT_NE(h, -1);
  std::vector<int16_t> out = PlayStream(h, SOUND_PLAY_BACKGROUND, 44100 * 5 + 4410, 2205);
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(out[i], samples[i]) << i;
  for (size_t i = samples.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_EQ(CheckSoundPlaying(h), 0);
}

TEST_F(StreamSounds, LoopingStreamStartsOverWithoutAGap) {
  std::vector<int16_t> period = SineFrames(4410, 441, 15000);  // 0.1 s, ten whole periods
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int h = LoadSoundFileImpl(dir_.Write("loop.wav", PcmWav16(1, 44100, period)).c_str(), 1, -1);
  std::vector<int16_t> out = PlayStream(h, SOUND_PLAY_LOOP, 44100 * 3, 1470);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], period[i % 4410]) << i;
  EXPECT_EQ(CheckSoundPlaying(h), 1);
  // The play time runs round the loop: 3 s is 30 loops of 100 ms, then 0.
  EXPECT_EQ(GetSoundPlayTime(h), 0);
  Mix(44100 / 20);
  EXPECT_EQ(GetSoundPlayTime(h), 50);
}

TEST_F(StreamSounds, PlayTimeWhileAStreamPlaysAndAfterStop) {
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int h = LoadSoundFileImpl(
      dir_.Write("t.wav", PcmWav16(2, 22050, SineFrames(22050 * 3, 50, 3000, 2))).c_str(), 1, -1);
  PlayStream(h, SOUND_PLAY_BACKGROUND, 44100 * 5 / 2, 4410);  // 2.5 s
  EXPECT_EQ(GetSoundPlayTime(h), 2500);
  StopSoundData(h);
  Mix(4410);
  EXPECT_EQ(GetSoundPlayTime(h), 2500);
  // From-start 0 goes on from there.
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 0);
  Mix(4410);
  EXPECT_EQ(GetSoundPlayTime(h), 2600);
}

TEST_F(StreamSounds, MemoryStreamModeKeepsTheFileInMemory) {
  std::vector<int16_t> samples = SineFrames(1000, 100, 5000);
  std::string path = dir_.Write("m.wav", PcmWav16(1, 44100, samples));
  SetSoundLoadMode(SOUND_LOAD_MEMORY_STREAM);
  int h = LoadSoundFileImpl(path.c_str(), 1, -1);
  ASSERT_NE(h, -1);
  std::filesystem::remove(path);  // played from memory from here on
  std::vector<int16_t> out = PlayStream(h, SOUND_PLAY_BACKGROUND, 1000, 500);
  EXPECT_EQ(out, samples);
}

TEST(Mp3Decoding, DecodesTheTestToneAtItsRateAndPitch) {
  Bytes mp3 = FromArray(kMp3MonoShort, kMp3MonoShortSize);
  SoundSource* s = OpenMemorySource(mp3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Kind, SOUND_SOURCE_MPEG);
  EXPECT_EQ(s->Format.SamplesPerSecond, 22050u);
  EXPECT_EQ(s->Format.Channels, 1);
  Bytes pcm = ReadAll(s);
  CloseSoundSource(s);
  std::vector<int16_t> samples(pcm.size() / 2);
  std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
  // 0.1 s of 440 Hz (2,205 frames) in whole MPEG frames of 576, the
  // encoder's delay and padding included.
  EXPECT_GE(samples.size(), 2205u);
  EXPECT_LE(samples.size(), 2205u + 3 * 576);
  EXPECT_NEAR(ToneFrequency(samples, 22050), 440, 15);
}

TEST(OggDecoding, DecodesTheTestToneWithItsExactLength) {
  Bytes ogg = FromArray(kOggStereoSecond, kOggStereoSecondSize);
  SoundSource* s = OpenMemorySource(ogg);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Kind, SOUND_SOURCE_VORBIS);
  EXPECT_EQ(s->Format.SamplesPerSecond, 44100u);
  EXPECT_EQ(s->Format.Channels, 2);
  EXPECT_EQ(s->TotalFrames, 44100);
  Bytes pcm = ReadAll(s);
  ASSERT_EQ(pcm.size(), 44100u * 4);
  std::vector<int16_t> samples(pcm.size() / 2);
  std::memcpy(samples.data(), pcm.data(), pcm.size());
  EXPECT_NEAR(RisingZeroCrossings(samples, 2, 0), 440, 3);  // left
  EXPECT_NEAR(RisingZeroCrossings(samples, 2, 1), 660, 3);  // right
  // Seeking to a frame gives the same frames as reading up to it.
  ASSERT_EQ(SoundSourceSeek(s, 22050), 0);
  int16_t again[2];
  ASSERT_EQ(SoundSourceRead(s, again, 4), 4);
  EXPECT_EQ(again[0], samples[44100]);
  CloseSoundSource(s);
}

// A movie file: another logical stream (video) begins before the Vorbis one
// and runs beside it; the sound track is found and decoded all the same.
TEST(OggDecoding, FindsTheVorbisStreamBesideAnotherStream) {
  Bytes vorbis = FromArray(kOggStereoSecond, kOggStereoSecondSize);
  ogg_stream_state video;
  ogg_stream_init(&video, 777);
  auto pageOf = [&](const char* text, bool bos, bool eos) {
    ogg_packet p{};
    p.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(text));
    p.bytes = long(std::strlen(text));
    p.b_o_s = bos;
    p.e_o_s = eos;
    ogg_stream_packetin(&video, &p);
    ogg_page page;
    ogg_stream_flush(&video, &page);
    Bytes b(page.header, page.header + page.header_len);
    b.insert(b.end(), page.body, page.body + page.body_len);
    return b;
  };
  Bytes movie = pageOf("\x80theora-like video header", true, false);
  // The first Vorbis page (its BOS) must stay in the group of BOS pages.
  size_t firstPage = 27 + vorbis[26];
  for (size_t i = 0; i < vorbis[26]; ++i) firstPage += vorbis[27 + i];
  movie.insert(movie.end(), vorbis.begin(), vorbis.begin() + long(firstPage));
  Bytes frame = pageOf("video frame", false, false);
  movie.insert(movie.end(), frame.begin(), frame.end());
  movie.insert(movie.end(), vorbis.begin() + long(firstPage), vorbis.end());
  Bytes last = pageOf("video end", false, true);
  movie.insert(movie.end(), last.begin(), last.end());
  ogg_stream_clear(&video);

  SoundSource* s = OpenMemorySource(movie);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Format.Channels, 2);
  EXPECT_EQ(ReadAll(s).size(), 44100u * 4);
  CloseSoundSource(s);
}

TEST_F(StreamSounds, Mp3AndOggLoadWholeAndAsStreams) {
  std::string mp3 = dir_.Write("s.mp3", FromArray(kMp3StereoSecond, kMp3StereoSecondSize));
  std::string ogg = dir_.Write("s.ogg", FromArray(kOggStereoSecond, kOggStereoSecondSize));
  for (int mode : {SOUND_LOAD_WHOLE, SOUND_LOAD_FILE_STREAM}) {
    SetSoundLoadMode(mode);
    for (const std::string& path : {mp3, ogg}) {
      int h = LoadSoundFileImpl(path.c_str(), 1, -1);
      ASSERT_NE(h, -1) << path << " mode " << mode;
      std::vector<int16_t> out = PlayStream(h, SOUND_PLAY_BACKGROUND, 22050, 2205);  // half a second
      EXPECT_NEAR(RisingZeroCrossings(out), 220, 3) << path << " mode " << mode;
      EXPECT_NEAR(GetSoundPlayTime(h), 500, 30);
      DeleteSoundData(h, 0);
    }
  }
}

TEST_F(StreamSounds, Mp3InsideAWavFileDecodes) {
  Bytes fmt = FmtBody(0x55, 1, 22050, 0);
  fmt[12] = 1;  // block align 1, as MPEG WAV files write it
  Bytes wav = Riff({Chunk("fmt ", fmt), Chunk("fact", Bytes(4, 0)),
                    Chunk("data", FromArray(kMp3MonoShort, kMp3MonoShortSize))});
  SoundSource* s = OpenMemorySource(wav);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Kind, SOUND_SOURCE_MPEG);
  EXPECT_GT(ReadAll(s).size(), 2000u);
  CloseSoundSource(s);
}

TEST_F(StreamSounds, MusicLoopsStopsAndTakesItsVolume) {
  std::string mp3 = dir_.Write("violin.mp3", FromArray(kMp3StereoSecond, kMp3StereoSecondSize));
  SetMusicVolumeImpl(255);
  ASSERT_EQ(PlayMusicFileImpl(mp3.c_str(), SOUND_PLAY_LOOP), 0);
  EXPECT_EQ(IsMusicFilePlayingImpl(), 1);
  std::vector<int16_t> loud;
  for (int i = 0; i < 30; ++i) {  // 3 s: the 1 s file loops twice
    std::vector<int16_t> part = Left(Mix(4410));
    loud.insert(loud.end(), part.begin(), part.end());
    ProcessAllStreamSounds();
  }
  EXPECT_EQ(IsMusicFilePlayingImpl(), 1);
  EXPECT_NEAR(RisingZeroCrossings(loud), 440 * 3, 12);
  int peakLoud = 0;
  for (int16_t v : loud) peakLoud = std::max(peakLoud, std::abs(int(v)));
  SetMusicVolumeImpl(20);
  std::vector<int16_t> quiet = Left(Mix(4410));
  int peakQuiet = 0;
  for (int16_t v : quiet) peakQuiet = std::max(peakQuiet, std::abs(int(v)));
  // 20 of 255 is -11 dB: 0.28 of the amplitude.
  EXPECT_NEAR(double(peakQuiet) / peakLoud, std::sqrt(20 / 255.0), 0.05);
  EXPECT_EQ(StopMusicFileImpl(), 0);
  EXPECT_EQ(IsMusicFilePlayingImpl(), 0);
  EXPECT_EQ(Left(Mix(10)), std::vector<int16_t>(10, 0));
}

TEST_F(StreamSounds, SoundsAndMusicLoadFromAnArchive) {
  // "sound.vlk" stands in for the directory "sound": whole sounds, stream
  // sounds (which seek in the member) and music read through it alike.
  std::vector<int16_t> samples = SineFrames(2000, 100, 9000);
  std::vector<uint8_t> archive;
  std::string error;
  ASSERT_TRUE(BuildArchive({{"a.wav", PcmWav16(1, 44100, samples)},
                            {"violin.mp3", FromArray(kMp3StereoSecond, kMp3StereoSecondSize)}},
                           ArchiveWriterOptions{}, &archive, &error))
      << error;
  dir_.Write("sound.vlk", archive);
  teststate::InDirectory inDir(dir_.Path());
  int whole = LoadSoundFileImpl("sound\\a.wav", 1, -1);
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int stream = LoadSoundFileImpl("sound\\A.WAV", 1, -1);
  ASSERT_NE(whole, -1);
  ASSERT_NE(stream, -1);
  PlaySoundHandleImpl(whole, SOUND_PLAY_BACKGROUND, 1);
  EXPECT_EQ(Left(Mix(2000)), samples);
  std::vector<int16_t> out = PlayStream(stream, SOUND_PLAY_LOOP, 5000, 1000);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], samples[i % 2000]) << i;
  EXPECT_EQ(PlayMusicFileImpl("sound\\violin.mp3", SOUND_PLAY_LOOP), 0);
  EXPECT_EQ(IsMusicFilePlayingImpl(), 1);
  StopMusicFileImpl();
  DeleteSoundData(stream, 0);
}

TEST_F(StreamSounds, MidiMusicIsRefusedAndTheNotifyHooksDoNothing) {
  Bytes midi{'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,    0,
             96,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};
  EXPECT_EQ(PlayMusicFileImpl(dir_.Write("song.mid", midi).c_str(), SOUND_PLAY_LOOP), -1);
  EXPECT_EQ(PlayMusicFileImpl(dir_.Write("song.bin", midi).c_str(), SOUND_PLAY_LOOP), -1);
  EXPECT_EQ(IsMusicFilePlayingImpl(), 0);
  EXPECT_EQ(PollDirectMusicState(), 0);
  EXPECT_EQ(OnMciNotify(nullptr, 0x3B9, 1, 0), 0);
}

}  // namespace
