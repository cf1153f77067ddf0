#include "board.h"

#include "fake_library.h"
#include "game_globals.h"

namespace {

class BoardTest : public GameTest {};

TEST_F(BoardTest, FourAdjacentFullRowsClearOverThreePasses) {
  Board board;
  for (int r = 16; r < 20; ++r) FillRow(board, r, 3);
  FillRow(board, 15, 2, {0});  // a partial row that must end at the bottom
  const int expectedLines[4] = {2, 3, 4, 4};
  for (int pass = 0; pass < 4; ++pass) {
    board.ClearLinesPass();
    EXPECT_EQ(board.GetLines(), expectedLines[pass]) << "pass " << pass;
  }
  EXPECT_EQ(board.rows[19][0], 0);
  EXPECT_EQ(board.rows[19][1], 2);
  EXPECT_EQ(board.CountRow(18), 0);

  board.Update();
  EXPECT_EQ(board.lastClearCount, 4);
  EXPECT_EQ(board.messageTimer, 1);
  EXPECT_EQ(g_fake.sounds, std::vector<int>{kSoundClear4});
  board.Draw();  // timer 2: the message shows
  EXPECT_TRUE(g_fake.TextDrawn("四段消し！"));
  ASSERT_EQ(g_fake.texts.size(), 2u);
  EXPECT_EQ(g_fake.texts[0].x, board.originX + 20 + 6);
  EXPECT_EQ(g_fake.texts[0].y, board.originY + 121);
  EXPECT_EQ(g_fake.texts[0].color, FakeColor(0, 0, 0));
  EXPECT_EQ(g_fake.texts[1].color, FakeColor(100, 255, 255));
  EXPECT_EQ(g_fake.fontSize, 16);
}

TEST_F(BoardTest, SplitFullRowsClearInOnePassAndKeepTheRowBetween) {
  Board board;
  FillRow(board, 19, 1);
  FillRow(board, 18, 4, {5});
  FillRow(board, 17, 1);
  board.ClearLinesPass();
  EXPECT_EQ(board.GetLines(), 2);
  EXPECT_EQ(board.rows[19][5], 0);
  EXPECT_EQ(board.rows[19][4], 4);
  EXPECT_EQ(board.CountRow(18), 0);
}

TEST_F(BoardTest, ClearMessageBlinksForFiftyFramesAndSingleRowsShowNone) {
  Board board;
  board.Draw();
  EXPECT_EQ(board.messageTimer, 0);  // 51 after a reset rests at 0 at the first draw
  FillRow(board, 19, 1);
  FillRow(board, 18, 1);
  board.ClearLinesPass();
  board.ClearLinesPass();
  board.Update();
  EXPECT_EQ(g_fake.sounds, std::vector<int>{kSoundClear2});
  int shown = 0;
  for (int frame = 0; frame < 60; ++frame) {
    g_fake.texts.clear();
    board.Draw();
    if (!g_fake.texts.empty()) {
      ++shown;
      EXPECT_NE(board.messageTimer % 3, 0);
      EXPECT_TRUE(g_fake.TextDrawn("二段消し！"));
    }
  }
  EXPECT_EQ(shown, 49 - 16);  // timer 2 to 50, less the 16 multiples of 3
  EXPECT_EQ(board.messageTimer, 0);

  FillRow(board, 19, 1);
  board.ClearLinesPass();
  board.Update();
  g_fake.texts.clear();
  board.Draw();
  EXPECT_TRUE(g_fake.texts.empty());
}

struct AttackCase {
  int offsetRule, damage, cleared, sent, damageLeft;
};

TEST_F(BoardTest, AttackSendsClearedRowsLessPendingDamageOnlyInTheClearFrame) {
  const AttackCase cases[] = {
      {1, 3, 2, 0, 1}, {1, 3, 4, 1, 0}, {0, 3, 2, 2, 3}, {1, 0, 3, 3, 0}, {1, 2, 2, 0, 0},
  };
  for (const AttackCase& c : cases) {
    g_game.offsetRule = c.offsetRule;
    Board board;
    board.AddDamage(c.damage);
    EXPECT_EQ(board.TakeAttack(), 0);  // no clear yet
    board.lines = c.cleared;
    board.Update();
    EXPECT_EQ(board.TakeAttack(), c.sent) << c.offsetRule << " " << c.damage << " " << c.cleared;
    EXPECT_EQ(board.damage, c.damageLeft);
    board.Draw();
    EXPECT_EQ(board.TakeAttack(), 0);  // sent exactly once
  }
}

TEST_F(BoardTest, ExchangeInOneFrameLetsTheLeftClearCancelWhatTheRightSent) {
  for (int offset = 0; offset <= 1; ++offset) {
    g_game.offsetRule = offset;
    Board left;
    Board right;
    left.lines = 3;
    right.lines = 2;
    left.Update();
    right.Update();
    ExchangeAttacks(left, right);
    if (offset == 1) {
      EXPECT_EQ(left.damage, 0);
      EXPECT_EQ(right.damage, 1);
    } else {
      EXPECT_EQ(left.damage, 2);
      EXPECT_EQ(right.damage, 3);
    }
  }
}

TEST_F(BoardTest, GarbageRowsTakeTwentyDrawsEachAndTheLastGivesTheHole) {
  Board board;
  FillRow(board, 0, 5);  // the top row is pushed out without a top-out
  FillRow(board, 19, 2, {4});
  for (int i = 0; i < 19; ++i) g_fake.randomValues.push_back(9);
  g_fake.randomValues.push_back(3);
  for (int i = 0; i < 19; ++i) g_fake.randomValues.push_back(1);
  g_fake.randomValues.push_back(10);  // the draw includes its bound: 10 wraps to column 0
  board.AddDamage(2);
  board.ApplyGarbage();
  EXPECT_EQ(g_fake.randomDraws, 40);
  EXPECT_EQ(board.damage, 0);
  EXPECT_EQ(board.IsToppedOut(), 0);
  EXPECT_EQ(board.CountRow(0), 0);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(board.rows[19][k], k == 0 ? 0 : Board::kGarbage);
    EXPECT_EQ(board.rows[18][k], k == 3 ? 0 : Board::kGarbage);
    EXPECT_EQ(board.rows[17][k], k == 4 ? 0 : 2);
  }
}

TEST_F(BoardTest, CellWritesAboveTheWellTopOutAndOutsideAreIgnored) {
  Board board;
  board.SetCell(19, 10, 3);
  board.SetCell(20, 0, 3);
  board.SetCell(5, -1, 3);
  for (int r = 0; r < 20; ++r) EXPECT_EQ(board.CountRow(r), 0);
  EXPECT_EQ(board.IsToppedOut(), 0);
  board.SetCell(-1, 42, 3);
  EXPECT_EQ(board.IsToppedOut(), 1);

  board.SetWin();
  EXPECT_EQ(board.result, 1);
  EXPECT_EQ(board.roundsWon, 0);  // a topped-out board's win does not count
}

TEST_F(BoardTest, ToppedOutWellSlidesDownFasterEachFrame) {
  Board board;
  board.SetOrigin(20, 60);
  board.SetCell(-1, 0, 1);
  const int expected[] = {60, 60, 61, 62, 63, 65};
  for (int y : expected) {
    board.Update();
    EXPECT_EQ(board.originY, y);
  }
  EXPECT_EQ(board.result, 2);
  EXPECT_EQ(g_game.roundOver, 1);
  board.Reset();
  EXPECT_EQ(g_game.roundOver, 0);
  EXPECT_EQ(board.originY, 65);  // the game puts the origin back itself
}

TEST_F(BoardTest, PanelAndBannerFollowTheSide) {
  Board board;
  board.SetSide(1);
  board.SetOrigin(420, 60);
  board.AddDamage(2);
  board.DrawPanel();
  ASSERT_EQ(g_fake.texts.size(), 2u);
  EXPECT_EQ(g_fake.texts[0].x, 328);
  EXPECT_EQ(g_fake.texts[0].text, " SCORE:0");
  EXPECT_EQ(g_fake.texts[1].text, "DAMAGE:2");
  EXPECT_EQ(g_fake.texts[1].color, FakeColor(255, 0, 0));
  ASSERT_EQ(g_fake.parts.size(), 2u);
  EXPECT_EQ(g_fake.parts[1].y, 60 + 120 + 40 + 7);

  g_fake.parts.clear();
  board.SetLose();
  board.DrawResult();
  EXPECT_TRUE(g_fake.parts.empty());  // only once the round is over
  g_game.roundOver = 1;
  board.DrawResult();
  ASSERT_EQ(g_fake.parts.size(), 1u);
  EXPECT_EQ(g_fake.parts[0].x, 330);
  EXPECT_EQ(g_fake.parts[0].y, 200);
  EXPECT_EQ(g_fake.parts[0].srcX, 320);
}

}  // namespace
