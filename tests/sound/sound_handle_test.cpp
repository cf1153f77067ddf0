// Sound handles over whole sounds: loading, the play types, overlapping
// plays, timing, deletion, and the answers without a sound device.
#include "sound_test_util.h"
#include "vexlo.h"

namespace {

using SoundHandles = CaptureSoundTest;

TEST_F(SoundHandles, LoadsAndPlaysAWavFileFromTheStart) {
  std::vector<int16_t> samples = SineFrames(300, 30, 8000);
  int h = LoadSoundFileImpl(dir_.Write("a.wav", PcmWav16(1, 44100, samples)).c_str(), 1, -1);
  ASSERT_NE(h, -1);
  EXPECT_EQ(h & 0x78000000, 0x10000000);
  ASSERT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1), 0);
  EXPECT_EQ(CheckSoundPlaying(h), 1);
  std::vector<int16_t> out = Left(Mix(310));
  for (size_t i = 0; i < 300; ++i) ASSERT_EQ(out[i], samples[i]) << i;
  EXPECT_EQ(out[305], 0);
  EXPECT_EQ(CheckSoundPlaying(h), 0);
}

TEST_F(SoundHandles, BufferCountGivesOverlappingPlaysOfOneSound) {
  std::vector<int16_t> ramp;
  for (int i = 0; i < 100; ++i) ramp.push_back(int16_t(i * 10));
  int h = LoadSoundFileImpl(dir_.Write("r.wav", PcmWav16(1, 44100, ramp)).c_str(), 3, -1);
  ASSERT_NE(h, -1);
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1);
  Mix(10);
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1);  // a second voice, 10 frames behind
  std::vector<int16_t> out = Left(Mix(5));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], ramp[10 + i] + ramp[i]);
  // From-start 0 while it plays leaves it playing as it is.
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 0);
  out = Left(Mix(1));
  EXPECT_EQ(out[0], ramp[15] + ramp[5]);
}

TEST_F(SoundHandles, WithOneBufferAReplayRestartsTheSound) {
  std::vector<int16_t> ramp;
  for (int i = 0; i < 100; ++i) ramp.push_back(int16_t(i));
  int h = LoadSoundFileImpl(dir_.Write("r.wav", PcmWav16(1, 44100, ramp)).c_str(), 1, -1);
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1);
  Mix(50);
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1);
  EXPECT_EQ(Left(Mix(1))[0], 0);
}

TEST_F(SoundHandles, LoopPlaysOnAndStopResumesWhereItStopped) {
  std::vector<int16_t> period = SineFrames(441, 441, 12000);
  int h = LoadSoundFileImpl(dir_.Write("l.wav", PcmWav16(1, 44100, period)).c_str(), 1, -1);
  PlaySoundHandleImpl(h, SOUND_PLAY_LOOP, 1);
  std::vector<int16_t> out = Left(Mix(1000));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], period[i % 441]) << i;
  ASSERT_EQ(StopSoundData(h), 0);
  EXPECT_EQ(Left(Mix(3)), std::vector<int16_t>(3, 0));
  PlaySoundHandleImpl(h, SOUND_PLAY_LOOP, 0);
  EXPECT_EQ(Left(Mix(1))[0], period[1000 % 441]);
}

TEST_F(SoundHandles, PlayTimeFollowsThePlayCursor) {
  int h = LoadSoundFileImpl(dir_.Write("t.wav", PcmWav16(2, 22050, SineFrames(22050, 100, 100, 2))).c_str(),
                            1, -1);
  PlaySoundHandleImpl(h, SOUND_PLAY_BACKGROUND, 1);
  EXPECT_EQ(GetSoundPlayTime(h), 0);
  Mix(44100 / 4 + 1);  // a quarter second of output (and a frame, past 5,512.5 source frames)
  EXPECT_EQ(GetSoundPlayTime(h), 250);
}

uint32_t g_fakeMs = 0;
uint32_t FakeClock() { return g_fakeMs; }
void FakeSleep(uint32_t ms) {
  g_fakeMs += ms;
  PlatAudioCaptureAdvance(44100 * ms / 1000);
}

// The sound layer only starts a play of type 0; the library's entry waits
// for its end, for as long as the sound lasts.
TEST_F(SoundHandles, PlayTypeWaitReturnsAfterTheSoundsLength) {
  int h =
      LoadSoundFileImpl(dir_.Write("w.wav", PcmWav16(1, 44100, SineFrames(8820, 100, 1000))).c_str(), 1, -1);
  EXPECT_EQ(GetSoundTotalTime(h), 200);              // 8,820 frames at 44.1 kHz
  EXPECT_EQ(GetSoundTotalTime(h ^ 0x00010000), -1);  // another check number
  g_fakeMs = 1000;
  PlatSetMillisecondHook(FakeClock);
  PlatSetSleepHook(FakeSleep);
  ASSERT_EQ(PlaySoundHandleImpl(h, SOUND_PLAY_WAIT, 1), 0);
  EXPECT_EQ(g_fakeMs, 1000u);
  EXPECT_EQ(CheckSoundPlaying(h), 1);
  ASSERT_EQ(PlaySoundHandle(h, SOUND_PLAY_WAIT, 1), 0);
  uint32_t waited = g_fakeMs - 1000;
  PlatSetSleepHook(nullptr);
  PlatSetMillisecondHook(nullptr);
  EXPECT_GE(waited, 200u);  // 8,820 frames at 44.1 kHz
  EXPECT_LE(waited, 230u);
  EXPECT_EQ(CheckSoundPlaying(h), 0);
}

TEST_F(SoundHandles, DeletedAndForgedHandlesAreRefused) {
  std::string path = dir_.Write("d.wav", PcmWav16(1, 8000, {1, 2, 3, 4}));
  int a = LoadSoundFileImpl(path.c_str(), 1, -1);
  int b = LoadSoundFileImpl(path.c_str(), 2, -1);
  ASSERT_NE(a, -1);
  ASSERT_NE(b, -1);
  EXPECT_NE(a, b);
  EXPECT_EQ(DeleteSoundData(a, 0), 0);
  EXPECT_EQ(PlaySoundHandleImpl(a, 1, 1), -1);
  EXPECT_EQ(DeleteSoundData(a, 0), -1);
  EXPECT_EQ(DeleteSoundData(-1, 0), -1);
  // The freed slot comes back with another check value; the old handle stays dead.
  int c = LoadSoundFileImpl(path.c_str(), 1, -1);
  EXPECT_EQ(c & 0xFFFF, a & 0xFFFF);
  EXPECT_NE(c, a);
  EXPECT_EQ(GetSoundPlayTime(a), -1);
  for (int forged : {0, b ^ 0x08000000, b | 0x7FFF, (b & ~0xFFFF) | 4095, 0x7FFFFFFF}) {
    EXPECT_EQ(PlaySoundHandleImpl(forged, 1, 1), -1) << std::hex << forged;
    EXPECT_EQ(StopSoundData(forged), -1);
    EXPECT_EQ(GetSoundPlayTime(forged), -1);
  }
  EXPECT_EQ(PlaySoundHandleImpl(b, 2, 1), -1);  // no such play type
  EXPECT_EQ(LoadSoundFileImpl(dir_.Write("bad.wav", Bytes(40, 7)).c_str(), 1, -1), -1);
  EXPECT_EQ(LoadSoundFileImpl((path + ".missing").c_str(), 1, -1), -1);
}

TEST_F(SoundHandles, TheListKeepsTheNewestFirstAndTerminateFreesEverything) {
  int32_t before = LiveBlocks();
  std::string path = dir_.Write("n.wav", PcmWav16(1, 8000, {1, 2}));
  int a = LoadSoundFileImpl(path.c_str(), 1, -1);
  int b = LoadSoundFileImpl(path.c_str(), 1, -1);
  SetSoundLoadMode(SOUND_LOAD_FILE_STREAM);
  int c = LoadSoundFileImpl(path.c_str(), 1, -1);
  ASSERT_NE(c, -1);
  std::vector<int> order;
  for (ListNode* n = SoundState.ListHead.Next; n != &SoundState.ListTail; n = n->Next) order.push_back(n->Id);
  EXPECT_EQ(order, (std::vector<int>{c, b, a}));
  PlaySoundHandleImpl(c, SOUND_PLAY_LOOP, 1);
  TerminateSound();
  EXPECT_EQ(LiveBlocks(), before);
  EXPECT_EQ(PlaySoundHandleImpl(a, 1, 1), -1);
  ASSERT_EQ(InitializeSound(), 0);  // for TearDown
}

class SoundWithoutDevice : public teststate::FreshProcessTest {};
class SoundLoadMode : public teststate::FreshProcessTest {};

TEST_F(SoundWithoutDevice, EveryCallAnswersAsForAMissingDevice) {
  InitFileAccess();
  PlatAudioSelectBackend(PLAT_AUDIO_NO_DEVICE);
  TempDir dir;
  std::string path = dir.Write("x.wav", PcmWav16(1, 8000, {1, 2, 3}));
  EXPECT_EQ(InitializeSound(), -1);
  EXPECT_EQ(LoadSoundFileImpl(path.c_str(), 1, -1), -1);
  EXPECT_EQ(PlaySoundHandleImpl(0x10000000, 1, 1), -1);
  EXPECT_EQ(StopSoundData(0x10000000), -1);
  EXPECT_EQ(GetSoundPlayTime(0x10000000), -1);
  EXPECT_EQ(DeleteSoundData(-1, 0), -1);
  EXPECT_EQ(PlayMusicFileImpl(path.c_str(), SOUND_PLAY_LOOP), -1);
  EXPECT_EQ(IsMusicFilePlayingImpl(), 0);
  EXPECT_EQ(SetMusicVolumeImpl(20), 0);
  EXPECT_EQ(StopMusicFileImpl(), 0);
  EXPECT_EQ(ProcessAllStreamSounds(), 0);
  EXPECT_EQ(TerminateSound(), 0);
  EndFileAccess();
}

TEST_F(SoundLoadMode, KeepsOnlyModesZeroToThree) {
  EXPECT_EQ(GetSoundLoadMode(), SOUND_LOAD_WHOLE);
  EXPECT_EQ(SetSoundLoadMode(3), 0);
  EXPECT_EQ(GetSoundLoadMode(), 3);
  EXPECT_EQ(SetSoundLoadMode(4), -1);
  EXPECT_EQ(SetSoundLoadMode(-1), -1);
  EXPECT_EQ(GetSoundLoadMode(), 3);
}

}  // namespace
