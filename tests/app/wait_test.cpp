// Waits that pump: their length across the clock's wrap, their early end
// when the window closes, the key wait, the wait for a sound's end, and the
// local date.
#include "app/wait.h"

#include "window_test_util.h"

using namespace wintest;

namespace {

class WaitTest : public StartedLibraryTest {};

class WaitAcrossSignedWrapTest : public WaitTest {
  uint32_t StartClock() override { return 0x7FFFFF00u; }
};

class WaitAcrossUnsignedWrapTest : public WaitTest {
  uint32_t StartClock() override { return 0xFFFFFF00u; }
};

void ExpectWaitLasts(int ms) {
  uint32_t start = PlatFakeClockNow();
  EXPECT_EQ(WaitMilliseconds(ms), 0);
  uint32_t elapsed = PlatFakeClockNow() - start;
  EXPECT_GE(elapsed, uint32_t(ms));
  EXPECT_LE(elapsed, uint32_t(ms) + 2);
}

}  // namespace

TEST_F(WaitAcrossSignedWrapTest, WaitNeitherEndsEarlyNorLate) {
  ExpectWaitLasts(1000);
  ExpectWaitLasts(300);
}

TEST_F(WaitAcrossUnsignedWrapTest, WaitNeitherEndsEarlyNorLate) {
  ExpectWaitLasts(1000);
  ExpectWaitLasts(17);
}

TEST_F(WaitTest, WaitOfZeroPumpsOnce) {
  uint32_t start = PlatFakeClockNow();
  EXPECT_EQ(WaitMilliseconds(0), 0);
  EXPECT_EQ(Count("EditActiveTextInput"), 1);
  EXPECT_EQ(PlatFakeClockNow(), start);
  EXPECT_EQ(WaitMilliseconds(-5), 0);
  EXPECT_EQ(PlatFakeClockNow(), start);
}

TEST_F(WaitTest, WaitEndsAtOnceWhenTheWindowIsClosed) {
  PlatFakeScheduleEvent(PlatFakeClockNow() + 40, PlatNativeEventKind::CloseRequested);
  uint32_t start = PlatFakeClockNow();
  EXPECT_EQ(WaitMilliseconds(100000), 0);
  EXPECT_LT(PlatFakeClockNow() - start, 50u);
  start = PlatFakeClockNow();
  EXPECT_EQ(WaitMilliseconds(100000), 0);
  EXPECT_EQ(WaitAnyKeyPress(), 0);
  EXPECT_EQ(PlatFakeClockNow(), start);
}

TEST_F(WaitTest, WaitForAKeyFirstWaitsForTheHeldKeyToBeReleased) {
  // Z (44) is held for the first looks, then nothing, then X (45) goes down.
  static int looks = 0;
  InputServices.GetAnyInputDown = [](int flags) {
    EXPECT_EQ(flags, 7);  // keyboard, pads and mouse
    ++looks;
    return looks <= 5 ? 44 : looks <= 10 ? 0 : 45;
  };
  EXPECT_EQ(WaitAnyKeyPress(), 45);
  EXPECT_EQ(looks, 11);
}

TEST_F(WaitTest, WaitForAKeyEndsWithZeroWhenTheWindowCloses) {
  InputServices.GetAnyInputDown = [](int) { return 0; };
  PlatFakeScheduleEvent(PlatFakeClockNow() + 20, PlatNativeEventKind::CloseRequested);
  EXPECT_EQ(WaitAnyKeyPress(), 0);
  EXPECT_EQ(IsWindowDestroyed(), 1);
}

TEST_F(WaitTest, ASoundWaitServicesTheWindowAndTheStreamsUntilThePlayEnds) {
  // Playing for three looks, then ended; the length is not known.
  static int looks = 0;
  looks = 0;
  SoundServices.CheckSoundPlaying = [](int handle) {
    EXPECT_EQ(handle, 0x10000005);
    return ++looks <= 3 ? 1 : 0;
  };
  Results()["GetSoundTotalTime"] = -1;
  EXPECT_EQ(WaitWhileSoundPlays(0x10000005), 0);
  EXPECT_EQ(looks, 4);
  // Each pass pumps once (the pump feeds the streams and ends by editing the
  // text input) and then feeds the streams again.
  std::vector<std::string> passes;
  for (int i = 0; i < 3; ++i)
    passes.insert(passes.end(), {"ProcessAllStreamSounds", "EditActiveTextInput", "ProcessAllStreamSounds"});
  EXPECT_EQ(CallsAmong({"EditActiveTextInput", "ProcessAllStreamSounds"}), passes);
}

TEST_F(WaitTest, ASoundThatNeverEndsIsGivenUpTwoSecondsAfterItsLength) {
  SoundServices.CheckSoundPlaying = [](int) { return 1; };
  Results()["GetSoundTotalTime"] = 200;
  uint32_t start = PlatFakeClockNow();
  EXPECT_EQ(WaitWhileSoundPlays(1), 0);
  EXPECT_GT(PlatFakeClockNow() - start, 2200u);
  EXPECT_LE(PlatFakeClockNow() - start, 2202u);

  // A close request ends the wait at once, whatever the sound does.
  Results()["GetSoundTotalTime"] = -1;
  PlatFakeScheduleEvent(PlatFakeClockNow() + 30, PlatNativeEventKind::CloseRequested);
  start = PlatFakeClockNow();
  EXPECT_EQ(WaitWhileSoundPlays(1), 0);
  EXPECT_LT(PlatFakeClockNow() - start, 40u);
}

TEST(LocalDate, FieldsAreInRange) {
  LocalDateTime now{};
  EXPECT_EQ(GetLocalDateTime(&now), 0);
  EXPECT_GE(now.Year, 2000);
  EXPECT_GE(now.Month, 1);
  EXPECT_LE(now.Month, 12);
  EXPECT_GE(now.Day, 1);
  EXPECT_LE(now.Day, 31);
  EXPECT_LE(now.Hour, 23);
  EXPECT_LE(now.Minute, 59);
  EXPECT_LE(now.Second, 60);
  EXPECT_EQ(GetLocalDateTime(nullptr), -1);
}
