// Key states through key events of the window back end, while the window is active and inactive.
#include <cstring>

#include "input_fixture.h"

namespace {

using inputtest::InputTest;
using namespace inputtest;

TEST_F(InputTest, KeyEventsSetAndClearKeyStates) {
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  FakeKey(kScZ, 1, 0);
  FakeKey(kScUp, 1, 0);
  EXPECT_EQ(IsKeyDownImpl(44), 1);
  EXPECT_EQ(IsKeyDownImpl(200), 1);
  char states[256];
  std::memset(states, 7, sizeof states);
  EXPECT_EQ(GetAllKeyStatesImpl(states), 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(states[i], (i == 44 || i == 200) ? 1 : 0) << i;
  EXPECT_EQ(GetAnyInputDownImpl(1), 44);  // the lowest code down comes first
  g_now += 50;
  FakeKey(kScZ, 0, 0);
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 200);
  FakeKey(kScUp, 0, 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 0);
}

TEST_F(InputTest, OutOfRangeKeyCodesReadAsUp) {
  FakeKey(kScZ, 1, 0);
  EXPECT_EQ(IsKeyDownImpl(-1), 0);
  EXPECT_EQ(IsKeyDownImpl(256), 0);
  EXPECT_EQ(IsKeyDownImpl(44 + 256), 0);
  EXPECT_EQ(GetAllKeyStatesImpl(nullptr), -1);
}

TEST_F(InputTest, InactiveWindowReadsNothingAndForgetsHeldKeys) {
  FakeKey(kScZ, 1, 0);
  SetActive(0);
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 0);
  char states[256];
  EXPECT_EQ(GetAllKeyStatesImpl(states), 0);
  for (char s : states) EXPECT_EQ(s, 0);
  // Keys pressed while inactive are not seen either once reads resume only
  // if they are still reported down; a key held across the switch must be
  // pressed again.
  SetActive(1);
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  FakeKey(kScZ, 1, 0);
  EXPECT_EQ(IsKeyDownImpl(44), 1);
}

TEST_F(InputTest, FocusLossReleasesKeys) {
  FakeKey(kScLeft, 1, 0);
  FakeFocusLost();
  EXPECT_EQ(IsKeyDownImpl(203), 0);
}

TEST_F(InputTest, KeyRepeatDoesNotChangeState) {
  FakeKey(kScX, 1, 0);
  FakeKey(kScX, 1, 1);
  EXPECT_EQ(IsKeyDownImpl(45), 1);
  g_now += 50;
  FakeKey(kScX, 0, 0);
  EXPECT_EQ(IsKeyDownImpl(45), 0);
}

TEST_F(InputTest, ATapBetweenTwoReadsIsSeenForOneFrame) {
  // Pressed and released within one pump: every read until the next pump
  // sees it down.
  FakeKey(kScZ, 1, 0);
  FakeKey(kScZ, 0, 0);
  EXPECT_EQ(IsKeyDownImpl(44), 1);
  char states[256];
  GetAllKeyStatesImpl(states);
  EXPECT_EQ(states[44], 1);
  UpdatePadVibrationTimers();  // the pump's input service
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  // A key some read has seen is released at once.
  FakeKey(kScX, 1, 0);
  EXPECT_EQ(IsKeyDownImpl(45), 1);
  FakeKey(kScX, 0, 0);
  EXPECT_EQ(IsKeyDownImpl(45), 0);
  // A tap not yet read survives a pump; pressed again, it stays down.
  FakeKey(kScSpace, 1, 0);
  FakeKey(kScSpace, 0, 0);
  UpdatePadVibrationTimers();
  EXPECT_EQ(IsKeyDownImpl(57), 1);
  FakeKey(kScSpace, 1, 0);
  UpdatePadVibrationTimers();
  EXPECT_EQ(IsKeyDownImpl(57), 1);
}

class InputNotStarted : public teststate::FreshProcessTest {};

TEST_F(InputNotStarted, ReadsAnswerNothing) {
  EXPECT_EQ(IsKeyDownImpl(1), 0);
  EXPECT_EQ(GetJoypadCountImpl(), 0);
  EXPECT_EQ(GetJoypadBitsImpl(0x1001), 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 0);
  EXPECT_EQ(TermInput(), 0);
}

TEST_F(InputTest, ScriptPressesKeysOnTime) {
  ASSERT_EQ(PlatInputLoadScript("# menu\n0 down Z\n100 up Z\n150 tap Escape\n200 down 208\n"), 0);
  EXPECT_EQ(IsKeyDownImpl(44), 1);
  g_now += 99;
  EXPECT_EQ(IsKeyDownImpl(44), 1);
  g_now += 1;
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  g_now += 50;
  EXPECT_EQ(IsKeyDownImpl(1), 1);
  g_now += 80;
  EXPECT_EQ(IsKeyDownImpl(1), 0);
  EXPECT_EQ(IsKeyDownImpl(208), 1);
}

TEST_F(InputTest, BadScriptsAreRefusedWhole) {
  ASSERT_EQ(PlatInputLoadScript("1000 down X\n"), 0);
  EXPECT_EQ(PlatInputLoadScript("10 hold Z"), -1);
  EXPECT_EQ(PlatInputLoadScript("10 down NoSuchKey"), -1);
  EXPECT_EQ(PlatInputLoadScript("-5 down Z"), -1);
  EXPECT_EQ(PlatInputLoadScript("5x down Z"), -1);
  EXPECT_EQ(PlatInputLoadScript("10 down 256"), -1);
  EXPECT_EQ(PlatInputLoadScript("10 down"), -1);
  EXPECT_EQ(PlatInputLoadScript(nullptr), -1);
  // The script loaded before stays.
  g_now += 1000;
  EXPECT_EQ(IsKeyDownImpl(45), 1);
}

TEST_F(InputTest, AnyInputDownAnswersMouseButtonsWithMinusOneUnderFlag4) {
  FakeMouse(kMouseRight, 1);
  EXPECT_EQ(GetAnyInputDownImpl(4), -1);
  EXPECT_EQ(GetAnyInputDownImpl(7), -1);
  EXPECT_EQ(GetAnyInputDownImpl(1 | 2), 0);
  // A key down comes first: its code, not -1.
  FakeKey(kScX, 1, 0);
  EXPECT_EQ(GetAnyInputDownImpl(7), 45);
  EXPECT_EQ(GetAnyInputDownImpl(4), -1);
  FakeMouse(kMouseRight, 0);
  EXPECT_EQ(GetAnyInputDownImpl(4), 0);
  // Nothing while the window is inactive.
  FakeMouse(kMouseLeft, 1);
  SetActive(0);
  EXPECT_EQ(GetAnyInputDownImpl(4), 0);
}

TEST_F(InputTest, InputRestartedAfterADeviceLossReadsKeysAgain) {
  // The display's recovery ends and starts input again with the window up.
  ASSERT_EQ(TermInput(), 0);
  EXPECT_EQ(IsKeyDownImpl(44), 0);
  ASSERT_EQ(InitInput(), 0);
  FakeKey(kScZ, 1, 0);
  EXPECT_EQ(IsKeyDownImpl(44), 1);
  EXPECT_EQ(GetAnyInputDownImpl(7), 44);
  EXPECT_EQ(GetJoypadBitsImpl(0x1000), 16);
}

}  // namespace
