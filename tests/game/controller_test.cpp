#include "controller.h"

#include "board.h"
#include "fake_library.h"
#include "game_globals.h"
#include "piece.h"

namespace {

class ControllerTest : public GameTest {};

TEST_F(ControllerTest, HeldKeyCountsUpToOneHundredAndReleaseClears) {
  Board board;
  Controller player;
  player.Init(board);
  g_fake.keys[KEYCODE_LEFT] = 1;
  for (int frame = 1; frame <= 150; ++frame) {
    player.ReadHuman(1);
    ASSERT_EQ(player.counters[KEYCODE_LEFT], frame < 100 ? frame : 100);
  }
  g_fake.keys[KEYCODE_LEFT] = 0;
  player.ReadHuman(1);
  EXPECT_EQ(player.counters[KEYCODE_LEFT], 0);
}

TEST_F(ControllerTest, PadButtonsMapDifferentlyInPlayAndInTheMenus) {
  Board board;
  Controller player;
  player.Init(board);
  KeyCounters menu = {};
  g_fake.padBits[1] = 32;  // button 2
  player.ReadHuman(1);
  ControllerReadMenu(menu);
  EXPECT_EQ(player.counters[KEYCODE_Z], 1);
  EXPECT_EQ(player.counters[KEYCODE_X], 0);
  EXPECT_EQ(menu[KEYCODE_X], 1);
  EXPECT_EQ(menu[KEYCODE_Z], 0);

  g_fake.padBits[1] = 16 | 4096 | 1 | 8;  // button 1, button 9, down, up
  player.ReadHuman(1);
  ControllerReadMenu(menu);
  EXPECT_EQ(player.counters[KEYCODE_X], 1);
  EXPECT_EQ(player.counters[KEYCODE_SPACE], 1);
  EXPECT_EQ(player.counters[KEYCODE_DOWN], 1);
  EXPECT_EQ(player.counters[KEYCODE_UP], 1);
  EXPECT_EQ(menu[KEYCODE_Z], 1);
  EXPECT_EQ(menu[KEYCODE_SPACE], 0);  // the menus never count Space

  // Pad 2 drives only the second player; keys that no mapping names stay 0.
  g_fake.padBits[1] = 0;
  g_fake.padBits[2] = 2;
  g_fake.keys[KEYCODE_A] = 1;
  player.ReadHuman(1);
  EXPECT_EQ(player.counters[KEYCODE_LEFT], 0);
  player.ReadHuman(2);
  EXPECT_EQ(player.counters[KEYCODE_LEFT], 1);
  EXPECT_EQ(player.counters[KEYCODE_A], 0);
}

TEST_F(ControllerTest, FailedPadReadIsNoInput) {
  Board board;
  Controller player;
  player.Init(board);
  g_calls.GetJoypadBits = [](int) { return -1; };
  player.ReadHuman(1);
  for (int k = 0; k < 256; ++k) EXPECT_EQ(player.counters[k], 0) << k;
}

TEST_F(ControllerTest, ComputerOutputsBecomeCountersThatClamp) {
  Board board;
  Piece piece;
  g_fake.randomValues = {0, 0, 0, 0};
  piece.Init(board);
  Controller computer;
  computer.Init(board);
  piece.age = 50;  // past the reset, before the search
  computer.counters[KEYCODE_DOWN] = 100;
  computer.keyOutputs[KEYCODE_DOWN] = 1;
  computer.counters[KEYCODE_Z] = 5;
  computer.RunComputer(board, piece);
  EXPECT_EQ(computer.counters[KEYCODE_DOWN], 100);
  EXPECT_EQ(computer.counters[KEYCODE_Z], 0);
}

TEST_F(ControllerTest, PaceFrameWaitsSixteenAtPaceAndNotAfterAStall) {
  PaceFrame();
  for (int i = 0; i < 5; ++i) {
    g_fake.clock += 16;
    PaceFrame();
  }
  EXPECT_EQ(g_fake.waits, std::vector<int>(6, 16));

  g_fake.waits.clear();
  g_fake.clock += 100;
  PaceFrame();
  ASSERT_EQ(g_fake.waits.size(), 1u);
  EXPECT_LE(g_fake.waits[0], 0);
  EXPECT_EQ(g_fake.waits[0], static_cast<int>(16 + 0.6 * -84 + 0.45 * -84 + 0.3 * -84));

  // A short frame lengthens the next wait.
  g_fake.waits.clear();
  g_fake.clock += 16;
  PaceFrame();
  g_fake.clock += 16;
  PaceFrame();
  g_fake.clock += 16;
  PaceFrame();
  g_fake.clock += 16;
  PaceFrame();
  g_fake.clock += 10;
  PaceFrame();
  EXPECT_EQ(g_fake.waits.back(), static_cast<int>(16 + 0.6 * 6 + 0.45 * 6 + 0.3 * 6));
}

TEST_F(ControllerTest, PaceFrameSurvivesTheClockWrap) {
  g_fake.clock = 0xFFFFFFF0u;
  PaceFrame();
  g_fake.clock += 16;  // wraps to 0
  PaceFrame();
  EXPECT_EQ(g_fake.waits, (std::vector<int>{16, 16}));
}

}  // namespace
