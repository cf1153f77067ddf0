// Pad bits from synthetic SDL controller and joystick events, the keyboard
// as a pad, hot-plugging and vibration.
#include "input_fixture.h"

namespace {

using namespace inputtest;

TEST_F(InputTest, PadButtonsGivePadBits) {
  int id = FakePlugPad();
  ASSERT_GE(id, 0);
  EXPECT_EQ(GetJoypadCountImpl(), 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  FakePadButton(id, kBtnA, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16);
  FakePadButton(id, kBtnB, 1);
  FakePadButton(id, kBtnY, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16 | 32 | 128);
  FakePadButton(id, kBtnA, 0);
  FakePadButton(id, kBtnB, 0);
  FakePadButton(id, kBtnY, 0);
  FakePadButton(id, kBtnLeftStick, 1);  // button 9
  EXPECT_EQ(GetJoypadBitsImpl(1), 4096);
  FakePadButton(id, kBtnLeftStick, 0);
  FakePadButton(id, kBtnStart, 1);  // button 8
  EXPECT_EQ(GetJoypadBitsImpl(1), 2048);
  FakePadButton(id, kBtnStart, 0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  FakePadButton(id, 31, 1);  // buttons past 28 have no bit
  FakePadButton(id, 32, 1);  // nor buttons the pad state cannot hold
  FakePadButton(id, -1, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
}

TEST_F(InputTest, StickAndHatGiveDirections) {
  int id = FakePlugPad();
  FakePadAxis(id, 0, -32768);
  EXPECT_EQ(GetJoypadBitsImpl(1), 2);
  FakePadAxis(id, 0, 32767);
  EXPECT_EQ(GetJoypadBitsImpl(1), 4);
  FakePadAxis(id, 0, 8000);  // inside the dead zone
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  FakePadAxis(id, 1, 30000);
  EXPECT_EQ(GetJoypadBitsImpl(1), 1);
  FakePadAxis(id, 1, -30000);
  EXPECT_EQ(GetJoypadBitsImpl(1), 8);
  FakePadAxis(id, 2, 32767);  // only the stick steers
  FakePadAxis(id, 1, 0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  FakePadHat(id, kHatDown | kHatLeft);
  EXPECT_EQ(GetJoypadBitsImpl(1), 1 | 2);
  FakePadHat(id, kHatRight | kHatUp);
  EXPECT_EQ(GetJoypadBitsImpl(1), 4 | 8);
  FakePadHat(id, 0);
  FakePadAxis(id, 0, -32768);
  FakePadAxis(id, 1, 32767);
  EXPECT_EQ(GetJoypadBitsImpl(1), 2 | 1);
  // Events of a pad not plugged in change nothing.
  FakePadButton(id + 1000, kBtnA, 1);
  FakePadHat(id + 1000, kHatUp);
  EXPECT_EQ(GetJoypadBitsImpl(1), 2 | 1);
}

TEST_F(InputTest, PadsComeAndGoKeepingTheirNumbers) {
  int first = FakePlugPad();
  int second = FakePlugPad();
  EXPECT_EQ(GetJoypadCountImpl(), 2);
  FakePadButton(second, kBtnA, 1);
  EXPECT_EQ(GetJoypadBitsImpl(2), 16);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  FakeUnplugPad(first);
  EXPECT_EQ(GetJoypadCountImpl(), 2);
  EXPECT_EQ(GetJoypadBitsImpl(2), 16);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  int third = FakePlugPad();
  FakePadButton(third, 1, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 32);
  FakeUnplugPad(second);
  EXPECT_EQ(GetJoypadCountImpl(), 1);
  for (int i = 0; i < 7; ++i) EXPECT_GE(FakePlugPad(), 0);
  EXPECT_EQ(FakePlugPad(), -1);  // eight at most
  EXPECT_EQ(GetJoypadCountImpl(), 8);
  EXPECT_EQ(GetJoypadBitsImpl(0), 0);
  EXPECT_EQ(GetJoypadBitsImpl(9), 0);
  EXPECT_EQ(GetJoypadBitsImpl(-1), 0);
}

TEST_F(InputTest, KeyboardJoinsThePadWith0x1000) {
  int id = FakePlugPad();
  FakePadButton(id, kBtnX, 1);  // button 3
  FakeKey(kScZ, 1, 0);
  FakeKey(kScLeft, 1, 0);
  FakeKey(kScSpace, 1, 0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 64);
  EXPECT_EQ(GetJoypadBitsImpl(0x1000), 16 | 2 | (16 << 9));
  EXPECT_EQ(GetJoypadBitsImpl(0x1001), 64 | 16 | 2 | (16 << 9));
  g_now += 50;
  FakeKey(kScZ, 0, 0);
  FakeKey(kScLeft, 0, 0);
  FakeKey(kScSpace, 0, 0);
  FakeKey(kScDown, 1, 0);
  FakeKey(kScEscape, 1, 0);
  EXPECT_EQ(GetJoypadBitsImpl(0x1000), 1 | (16 << 8));
}

TEST_F(InputTest, PadsReadNothingWhileInactive) {
  int id = FakePlugPad();
  FakePadButton(id, kBtnA, 1);
  EXPECT_EQ(GetAnyInputDownImpl(2), -1);
  EXPECT_EQ(GetAnyInputDownImpl(1), 0);
  SetActive(0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 0);
  SetActive(1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16);
}

TEST_F(InputTest, VibrationStartsStopsAndTimesOut) {
  int id = FakePlugPad();
  int strength = -1;
  uint32_t ms = 0;
  EXPECT_EQ(PlatFakeLastRumble(id, &strength, &ms), -1);
  ASSERT_EQ(StartJoypadVibrationImpl(1, 500, 200), 0);
  ASSERT_EQ(PlatFakeLastRumble(id, &strength, &ms), 0);
  EXPECT_EQ(strength, 32767);
  EXPECT_EQ(ms, 200u);
  g_now += 199;
  UpdatePadVibrationTimers();
  PlatFakeLastRumble(id, &strength, &ms);
  EXPECT_EQ(strength, 32767);
  g_now += 1;
  UpdatePadVibrationTimers();
  PlatFakeLastRumble(id, &strength, &ms);
  EXPECT_EQ(strength, 0);
  EXPECT_EQ(StartJoypadVibrationImpl(9, 500, 200), -1);
}

TEST_F(InputTest, VibrationStopsWhileInactiveAndResumes) {
  int id = FakePlugPad();
  int strength = -1;
  StartJoypadVibrationImpl(1, 1000, -1);
  PlatFakeLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 65535);
  SetActive(0);
  PlatFakeLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 0);
  SetActive(1);
  PlatFakeLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 65535);
  StopJoypadVibrationImpl(1);
  PlatFakeLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 0);
}

}  // namespace
