// Pad bits from synthetic SDL controller and joystick events, the keyboard
// as a pad, hot-plugging and vibration.
#include "input_fixture.h"

namespace {

using namespace inputtest;

TEST_F(InputTest, ControllerEventsGivePadBits) {
  int id = PlatTestAttachFakePad(1);
  ASSERT_GE(id, 0);
  EXPECT_EQ(GetJoypadCountImpl(), 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  PlatTestControllerButton(id, kBtnA, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16);
  PlatTestControllerButton(id, kBtnB, 1);
  PlatTestControllerButton(id, kBtnY, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16 | 32 | 128);
  PlatTestControllerButton(id, kBtnA, 0);
  PlatTestControllerButton(id, kBtnB, 0);
  PlatTestControllerButton(id, kBtnY, 0);
  PlatTestControllerButton(id, kBtnLeftStick, 1);  // button 9
  EXPECT_EQ(GetJoypadBitsImpl(1), 4096);
  PlatTestControllerButton(id, kBtnLeftStick, 0);
  PlatTestControllerButton(id, kBtnStart, 1);  // button 8
  EXPECT_EQ(GetJoypadBitsImpl(1), 2048);
  PlatTestControllerButton(id, kBtnStart, 0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
}

TEST_F(InputTest, ControllerStickAndDpadGiveDirections) {
  int id = PlatTestAttachFakePad(1);
  PlatTestControllerAxis(id, kAxisLeftX, -32768);
  EXPECT_EQ(GetJoypadBitsImpl(1), 2);
  PlatTestControllerAxis(id, kAxisLeftX, 32767);
  EXPECT_EQ(GetJoypadBitsImpl(1), 4);
  PlatTestControllerAxis(id, kAxisLeftX, 8000);  // inside the dead zone
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  PlatTestControllerAxis(id, kAxisLeftY, 30000);
  EXPECT_EQ(GetJoypadBitsImpl(1), 1);
  PlatTestControllerAxis(id, kAxisLeftY, -30000);
  EXPECT_EQ(GetJoypadBitsImpl(1), 8);
  PlatTestControllerAxis(id, kAxisLeftY, 0);
  PlatTestControllerButton(id, kBtnDpadDown, 1);
  PlatTestControllerButton(id, kBtnDpadLeft, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 1 | 2);
  PlatTestControllerButton(id, kBtnDpadDown, 0);
  PlatTestControllerButton(id, kBtnDpadLeft, 0);
  PlatTestControllerButton(id, kBtnDpadRight, 1);
  PlatTestControllerButton(id, kBtnDpadUp, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 4 | 8);
}

TEST_F(InputTest, JoystickEventsGivePadBits) {
  int id = PlatTestAttachFakePad(0);
  PlatTestJoyButton(id, 0, 1);
  PlatTestJoyButton(id, 8, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16 | 4096);
  PlatTestJoyButton(id, 0, 0);
  PlatTestJoyButton(id, 8, 0);
  PlatTestJoyHat(id, 0, kHatUp | kHatRight);
  EXPECT_EQ(GetJoypadBitsImpl(1), 8 | 4);
  PlatTestJoyHat(id, 1, kHatDown);  // only the first hat steers
  EXPECT_EQ(GetJoypadBitsImpl(1), 8 | 4);
  PlatTestJoyHat(id, 0, 0);
  PlatTestJoyAxis(id, 0, -32768);
  PlatTestJoyAxis(id, 1, 32767);
  EXPECT_EQ(GetJoypadBitsImpl(1), 2 | 1);
  PlatTestJoyButton(id, 31, 1);  // buttons past 28 have no bit
  PlatTestJoyAxis(id, 0, 0);
  PlatTestJoyAxis(id, 1, 0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  // Controller events do not reach a plain joystick, nor joystick events a
  // controller.
  PlatTestControllerButton(id, kBtnA, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
}

TEST_F(InputTest, PadsComeAndGoKeepingTheirNumbers) {
  int first = PlatTestAttachFakePad(1);
  int second = PlatTestAttachFakePad(1);
  EXPECT_EQ(GetJoypadCountImpl(), 2);
  PlatTestControllerButton(second, kBtnA, 1);
  EXPECT_EQ(GetJoypadBitsImpl(2), 16);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  PlatTestDetachPad(first);
  EXPECT_EQ(GetJoypadCountImpl(), 2);
  EXPECT_EQ(GetJoypadBitsImpl(2), 16);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  int third = PlatTestAttachFakePad(0);
  PlatTestJoyButton(third, 1, 1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 32);
  PlatTestDetachPad(second);
  EXPECT_EQ(GetJoypadCountImpl(), 1);
  for (int i = 0; i < 7; ++i) EXPECT_GE(PlatTestAttachFakePad(1), 0);
  EXPECT_EQ(PlatTestAttachFakePad(1), -1);  // eight at most
  EXPECT_EQ(GetJoypadCountImpl(), 8);
  EXPECT_EQ(GetJoypadBitsImpl(0), 0);
  EXPECT_EQ(GetJoypadBitsImpl(9), 0);
  EXPECT_EQ(GetJoypadBitsImpl(-1), 0);
}

TEST_F(InputTest, KeyboardJoinsThePadWith0x1000) {
  int id = PlatTestAttachFakePad(1);
  PlatTestControllerButton(id, kBtnX, 1);  // button 3
  PlatTestKeyEvent(kScZ, 1, 0);
  PlatTestKeyEvent(kScLeft, 1, 0);
  PlatTestKeyEvent(kScSpace, 1, 0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 64);
  EXPECT_EQ(GetJoypadBitsImpl(0x1000), 16 | 2 | (16 << 9));
  EXPECT_EQ(GetJoypadBitsImpl(0x1001), 64 | 16 | 2 | (16 << 9));
  gNow += 50;
  PlatTestKeyEvent(kScZ, 0, 0);
  PlatTestKeyEvent(kScLeft, 0, 0);
  PlatTestKeyEvent(kScSpace, 0, 0);
  PlatTestKeyEvent(kScDown, 1, 0);
  PlatTestKeyEvent(kScEscape, 1, 0);
  EXPECT_EQ(GetJoypadBitsImpl(0x1000), 1 | (16 << 8));
}

TEST_F(InputTest, PadsReadNothingWhileInactive) {
  int id = PlatTestAttachFakePad(1);
  PlatTestControllerButton(id, kBtnA, 1);
  EXPECT_EQ(GetAnyInputDownImpl(2), -1);
  EXPECT_EQ(GetAnyInputDownImpl(1), 0);
  SetActive(0);
  EXPECT_EQ(GetJoypadBitsImpl(1), 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 0);
  SetActive(1);
  EXPECT_EQ(GetJoypadBitsImpl(1), 16);
}

TEST_F(InputTest, VibrationStartsStopsAndTimesOut) {
  int id = PlatTestAttachFakePad(1);
  int strength = -1;
  uint32_t ms = 0;
  EXPECT_EQ(PlatTestLastRumble(id, &strength, &ms), -1);
  ASSERT_EQ(StartJoypadVibrationImpl(1, 500, 200), 0);
  ASSERT_EQ(PlatTestLastRumble(id, &strength, &ms), 0);
  EXPECT_EQ(strength, 32767);
  EXPECT_EQ(ms, 200u);
  gNow += 199;
  UpdatePadVibrationTimers();
  PlatTestLastRumble(id, &strength, &ms);
  EXPECT_EQ(strength, 32767);
  gNow += 1;
  UpdatePadVibrationTimers();
  PlatTestLastRumble(id, &strength, &ms);
  EXPECT_EQ(strength, 0);
  EXPECT_EQ(StartJoypadVibrationImpl(9, 500, 200), -1);
}

TEST_F(InputTest, VibrationStopsWhileInactiveAndResumes) {
  int id = PlatTestAttachFakePad(1);
  int strength = -1;
  StartJoypadVibrationImpl(1, 1000, -1);
  PlatTestLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 65535);
  SetActive(0);
  PlatTestLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 0);
  SetActive(1);
  PlatTestLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 65535);
  StopJoypadVibrationImpl(1);
  PlatTestLastRumble(id, &strength, nullptr);
  EXPECT_EQ(strength, 0);
}

}  // namespace
