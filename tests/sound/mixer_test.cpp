// The mixer's output for known inputs, read through the capture back end.
#include "sound_test_util.h"

namespace {

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    PlatAudioSelectBackend(PLAT_AUDIO_CAPTURE);
    ASSERT_EQ(PlatAudioOpen(), 0);
  }
  void TearDown() override {
    PlatAudioClose();
    teststate::ResetProcessState();
  }
  static PlatAudioBuffer Make16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& s) {
    PlatAudioFormat f{rate, channels, 16};
    Bytes b = Pcm16(s);
    PlatAudioBuffer buf = PlatAudioCreateBuffer(&f, uint32_t(b.size()));
    EXPECT_NE(buf, nullptr);
    EXPECT_EQ(PlatAudioWriteBuffer(buf, 0, b.data(), uint32_t(b.size())), 0);
    return buf;
  }
  static std::vector<int16_t> Mix(uint32_t frames) { return MixFrames(frames); }
};

TEST_F(MixerTest, PlaysMonoOnBothSidesAtUnityThenSilence) {
  PlatAudioBuffer b = Make16(1, 44100, {1000, -2000, 3000});
  ASSERT_EQ(PlatAudioPlay(b, 0), 0);
  std::vector<int16_t> out = Mix(5);
  EXPECT_EQ(out, (std::vector<int16_t>{1000, 1000, -2000, -2000, 3000, 3000, 0, 0, 0, 0}));
  EXPECT_EQ(PlatAudioIsPlaying(b), 0);
  EXPECT_EQ(PlatAudioGetPosition(b), 0u);  // a finished one-shot goes back to the start
}

TEST_F(MixerTest, GainScalesAndOverlappingPlaysAddUpAndClip) {
  PlatAudioBuffer a = Make16(2, 44100, {20000, -20000, 10000, 100});
  PlatAudioBuffer b = PlatAudioDuplicateBuffer(a);
  ASSERT_NE(b, nullptr);
  PlatAudioSetGain(a, PLAT_AUDIO_UNITY_GAIN / 2);
  PlatAudioPlay(a, 0);
  EXPECT_EQ(Mix(1), (std::vector<int16_t>{10000, -10000}));
  // Two plays of one sound at once: the sum clips.
  PlatAudioSetGain(a, PLAT_AUDIO_UNITY_GAIN);
  PlatAudioSetPosition(a, 0);
  PlatAudioPlay(b, 0);
  std::vector<int16_t> out = Mix(2);
  EXPECT_EQ(out, (std::vector<int16_t>{32767, -32768, 20000, 200}));
}

TEST_F(MixerTest, EightBitIsCentredAndWidened) {
  PlatAudioFormat f{44100, 2, 8};
  PlatAudioBuffer b = PlatAudioCreateBuffer(&f, 4);
  const uint8_t data[4] = {0x80, 0xFF, 0x00, 0x81};
  PlatAudioWriteBuffer(b, 0, data, 4);
  PlatAudioPlay(b, 0);
  EXPECT_EQ(Mix(2), (std::vector<int16_t>{0, 127 * 256, -128 * 256, 256}));
}

TEST_F(MixerTest, LoopSeamRepeatsTheDataExactly) {
  // 100 Hz at 44,100 Hz is 441 frames a period: the looped buffer must play
  // on without a gap or a step at the seam.
  std::vector<int16_t> period = SineFrames(441, 441, 20000);
  PlatAudioBuffer b = Make16(1, 44100, period);
  PlatAudioPlay(b, 1);
  std::vector<int16_t> out = LeftOf(Mix(441 * 3 + 7));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], period[i % 441]) << i;
  EXPECT_EQ(PlatAudioIsPlaying(b), 1);
  EXPECT_EQ(PlatAudioGetPosition(b), 7u * 2);
}

TEST_F(MixerTest, ResampledLoopInterpolatesAcrossTheSeam) {
  // A 22,050 Hz ramp played at 44,100 Hz: every second output frame lies
  // half-way between two source frames, also between the last and the first.
  PlatAudioBuffer b = Make16(1, 22050, {0, 1000, 2000, 3000});
  PlatAudioPlay(b, 1);
  std::vector<int16_t> out = LeftOf(Mix(10));
  EXPECT_EQ(out, (std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2500, 3000, 1500, 0, 500}));
}

TEST_F(MixerTest, StopKeepsThePositionAndSilencesTheOutput) {
  PlatAudioBuffer b = Make16(1, 44100, SineFrames(100, 50, 1000));
  PlatAudioPlay(b, 0);
  Mix(30);
  PlatAudioStop(b);
  EXPECT_EQ(PlatAudioGetPosition(b), 60u);
  std::vector<int16_t> out = Mix(10);
  EXPECT_EQ(out, std::vector<int16_t>(20, 0));
  PlatAudioPlay(b, 0);
  EXPECT_EQ(LeftOf(Mix(1))[0], SineFrames(100, 50, 1000)[30]);
}

TEST_F(MixerTest, RingWritesWrapAndBadArgumentsAreRefused) {
  PlatAudioFormat f{44100, 1, 16};
  PlatAudioBuffer b = PlatAudioCreateBuffer(&f, 8);
  Bytes six = Pcm16({1, 2, 3});
  EXPECT_EQ(PlatAudioWriteBuffer(b, 4, six.data(), 6), 0);  // frames 2, 3 and then 0
  PlatAudioPlay(b, 0);
  EXPECT_EQ(LeftOf(Mix(4)), (std::vector<int16_t>{3, 0, 1, 2}));
  EXPECT_EQ(PlatAudioWriteBuffer(b, 8, six.data(), 2), -1);
  EXPECT_EQ(PlatAudioWriteBuffer(b, 0, six.data(), 10), -1);
  PlatAudioFormat bad{44100, 3, 16};
  EXPECT_EQ(PlatAudioCreateBuffer(&bad, 6), nullptr);
  EXPECT_EQ(PlatAudioCreateBuffer(&f, 3), nullptr);  // not whole frames
  PlatAudioDestroyBuffer(b);
  EXPECT_EQ(PlatAudioPlay(b, 0), -1);  // a destroyed buffer is not touched
}

class AudioBackend : public teststate::FreshProcessTest {};

TEST_F(AudioBackend, NoDeviceFailsToOpen) {
  PlatAudioSelectBackend(PLAT_AUDIO_NO_DEVICE);
  EXPECT_EQ(PlatAudioOpen(), -1);
  EXPECT_EQ(PlatAudioIsOpen(), 0);
  PlatAudioFormat f{44100, 1, 16};
  EXPECT_EQ(PlatAudioCreateBuffer(&f, 2), nullptr);
}

TEST_F(AudioBackend, SdlDummyDeviceConsumesInRealTime) {
  // SDL's dummy driver takes the samples at the real rate: the device path
  // runs its own thread, mixes and ends a one-shot buffer.
  PlatAudioSelectBackend(PLAT_AUDIO_DEVICE);
  PlatAudioSetDriver("dummy");
  ASSERT_EQ(PlatAudioOpen(), 0);
  PlatAudioFormat f{44100, 1, 16};
  PlatAudioBuffer b = PlatAudioCreateBuffer(&f, 4410 * 2);  // 100 ms
  PlatAudioPlay(b, 0);
  for (int i = 0; i < 300 && PlatAudioIsPlaying(b); ++i) PlatSleep(10);
  EXPECT_EQ(PlatAudioIsPlaying(b), 0);
  PlatAudioClose();
  PlatAudioSetDriver(nullptr);
}

}  // namespace
