#include "screens.h"

#include <memory>

#include "fake_library.h"
#include "game_globals.h"

namespace {

class ScreensTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    session = std::make_unique<GameSession>();
    StartSession(*session);
  }
  int Frame() { return RunFrame(*session); }
  // Presses a key for one frame and releases it in the next.
  void Tap(int keyCode) {
    g_fake.keys[keyCode] = 1;
    Frame();
    g_fake.keys[keyCode] = 0;
    Frame();
  }
  void StartPlay(int winsNeeded) {
    Tap(KEYCODE_Z);  // title -> settings
    for (int i = 0; i < 2; ++i) Tap(KEYCODE_DOWN);
    while (g_game.winsNeeded > winsNeeded) Tap(KEYCODE_LEFT);
    Tap(KEYCODE_DOWN);
    g_fake.keys[KEYCODE_Z] = 1;
    Frame();
    g_fake.keys[KEYCODE_Z] = 0;
  }

  std::unique_ptr<GameSession> session;
};

TEST_F(ScreensTest, TitleSettingsPlayRoundOverAndNextRound) {
  GameSession& s = *session;
  EXPECT_EQ(s.screen, kScreenTitle);
  g_fake.keys[KEYCODE_Z] = 1;
  Frame();
  EXPECT_EQ(s.screen, kScreenSettings);
  EXPECT_EQ(g_fake.musicPlayed, std::vector<std::string>{"sound\\violin.mp3"});
  EXPECT_EQ(g_fake.SoundCount(kSoundMenu), 1);
  Frame();  // Z still held: no second confirmation
  EXPECT_EQ(s.screen, kScreenSettings);
  g_fake.keys[KEYCODE_Z] = 0;

  Tap(KEYCODE_RIGHT);  // level 1
  EXPECT_EQ(s.level, 1);
  for (int i = 0; i < 3; ++i) Tap(KEYCODE_DOWN);
  EXPECT_EQ(s.menuRow, 3);
  Tap(KEYCODE_DOWN);
  EXPECT_EQ(s.menuRow, 3);
  g_fake.sounds.clear();
  g_fake.keys[KEYCODE_Z] = 1;
  Frame();
  EXPECT_EQ(s.screen, kScreenPlay);
  EXPECT_EQ(s.frameCounter, 1);  // the first play frame ran in the same pass
  EXPECT_EQ(g_fake.sounds.front(), kSoundRoundStart);
  EXPECT_EQ(s.pieces[0].speedFactor, 2);
  EXPECT_EQ(s.controllers[kPlayerComputer].level, 1);
  g_fake.keys[KEYCODE_Z] = 0;

  for (int i = 0; i < 20; ++i) Frame();
  EXPECT_EQ(s.screen, kScreenPlay);
  s.boards[1].SetCell(-1, 0, 1);  // the computer player tops out
  g_fake.sounds.clear();
  Frame();
  EXPECT_EQ(s.screen, kScreenRoundOver);
  EXPECT_EQ(g_fake.SoundCount(kSoundWin), 1);
  EXPECT_EQ(s.boards[0].roundsWon, 1);
  EXPECT_EQ(s.roundOverCounter, 1);

  while (s.roundOverCounter < 99) Tap(KEYCODE_Z);  // ignored for the first 100 frames
  EXPECT_EQ(s.screen, kScreenRoundOver);
  while (s.roundOverCounter <= 100) Frame();
  g_fake.keys[KEYCODE_Z] = 1;
  Frame();
  EXPECT_EQ(s.screen, kScreenPlay);
  EXPECT_EQ(s.frameCounter, 0);
  EXPECT_EQ(s.boards[1].IsToppedOut(), 0);
  EXPECT_EQ(s.boards[1].originY, 60);
  EXPECT_EQ(s.boards[0].roundsWon, 1);
}

TEST_F(ScreensTest, WinsNeededOneEndsTheMatchAtTheFirstWin) {
  GameSession& s = *session;
  StartPlay(1);
  EXPECT_EQ(g_game.winsNeeded, 1);
  ASSERT_EQ(s.screen, kScreenPlay);
  s.boards[0].SetCell(-1, 0, 1);  // player 1 tops out
  g_fake.sounds.clear();
  Frame();
  EXPECT_EQ(g_fake.SoundCount(kSoundLose), 1);
  EXPECT_EQ(s.boards[1].roundsWon, 1);
  while (s.roundOverCounter <= 100) Frame();
  g_fake.keys[KEYCODE_Z] = 1;
  Frame();
  EXPECT_EQ(s.screen, kScreenTitle);
  g_fake.keys[KEYCODE_Z] = 0;
  Frame();
  Tap(KEYCODE_Z);  // a new match clears the won rounds
  EXPECT_EQ(s.boards[1].roundsWon, 0);
}

TEST_F(ScreensTest, TimeUpWithEqualRowsIsADraw) {
  GameSession& s = *session;
  StartPlay(3);
  s.frameCounter = kRoundFrames - 1;
  g_fake.texts.clear();
  Frame();
  EXPECT_EQ(s.screen, kScreenRoundOver);
  EXPECT_EQ(s.frameCounter, kRoundFrames);
  EXPECT_TRUE(g_fake.TextDrawn("時間切れ"));
  EXPECT_TRUE(g_fake.TextDrawn("引き分け"));
  EXPECT_EQ(s.boards[0].roundsWon + s.boards[1].roundsWon, 0);
  EXPECT_EQ(s.boards[0].result + s.boards[1].result, 0);
}

TEST_F(ScreensTest, TimeUpGivesTheRoundToMoreClearedRows) {
  GameSession& s = *session;
  StartPlay(3);
  s.frameCounter = kRoundFrames - 1;
  s.boards[1].lines = 3;
  s.boards[1].linesAtLastUpdate = 3;
  Frame();
  EXPECT_EQ(s.boards[1].result, 1);
  EXPECT_EQ(s.boards[1].roundsWon, 1);
  EXPECT_EQ(s.boards[0].result, 2);
}

// Time runs out in the very frame in which a well tops out: a single topped-out well loses
// whatever the rows; with both topped out the rows decide, and a topped-out winner gains no round.
TEST_F(ScreensTest, TimeUpInTheFrameOfATopOut) {
  GameSession& s = *session;
  struct Case {
    const char* name;
    int lines[2];
    bool toppedOut[2];
    int result[2];  // 0 none, 1 won, 2 lost
    int roundsWon[2];
  };
  const Case cases[] = {
      {"left tops out with more rows", {4, 1}, {true, false}, {2, 1}, {0, 1}},
      {"right tops out with more rows", {0, 2}, {false, true}, {1, 2}, {1, 0}},
      {"equal rows, right tops out", {3, 3}, {false, true}, {1, 2}, {1, 0}},
      {"both top out, left has more rows", {5, 2}, {true, true}, {2, 2}, {0, 0}},
      {"both top out with equal rows", {2, 2}, {true, true}, {2, 2}, {0, 0}},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    StartSession(s);
    g_fake.ClearRecords();
    StartPlay(3);
    ASSERT_EQ(s.screen, kScreenPlay);
    s.frameCounter = kRoundFrames - 1;
    for (int i = 0; i < 2; ++i) {
      s.boards[i].lines = t.lines[i];
      s.boards[i].linesAtLastUpdate = t.lines[i];
      if (t.toppedOut[i]) s.boards[i].SetCell(-1, 0, 1);
    }
    g_fake.sounds.clear();
    Frame();
    ASSERT_EQ(s.screen, kScreenRoundOver);
    EXPECT_EQ(g_fake.SoundCount(kSoundWin) + g_fake.SoundCount(kSoundLose), 0);
    // The round-over screen keeps updating the wells: a lost well must stay lost, a won one won.
    for (int i = 0; i < 3; ++i) Frame();
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(s.boards[i].result, t.result[i]) << "board " << i;
      EXPECT_EQ(s.boards[i].roundsWon, t.roundsWon[i]) << "board " << i;
    }
  }
}

TEST_F(ScreensTest, DownOnTheTitleNeedsTwoPads) {
  GameSession& s = *session;
  g_fake.padCount = 1;
  Tap(KEYCODE_DOWN);
  EXPECT_EQ(s.mode, 0);
  EXPECT_EQ(g_fake.SoundCount(kSoundMenu), 1);

  g_fake.padCount = 2;
  Tap(KEYCODE_DOWN);
  EXPECT_EQ(s.mode, 1);
  Tap(KEYCODE_Z);
  EXPECT_EQ(s.screen, kScreenSettings);
  EXPECT_EQ(s.menuRow, 1);
  Tap(KEYCODE_UP);  // the level row cannot be reached with two players
  EXPECT_EQ(s.menuRow, 1);
  g_fake.texts.clear();
  Frame();
  EXPECT_FALSE(g_fake.TextDrawn("LEVEL0"));
}

TEST_F(ScreensTest, SettingsRowsChangeOffsetRuleAndWinsWithinBounds) {
  GameSession& s = *session;
  Tap(KEYCODE_Z);
  for (int i = 0; i < 6; ++i) Tap(KEYCODE_RIGHT);
  EXPECT_EQ(s.level, 4);
  Tap(KEYCODE_DOWN);
  Tap(KEYCODE_LEFT);
  EXPECT_EQ(g_game.offsetRule, 0);
  Tap(KEYCODE_RIGHT);
  EXPECT_EQ(g_game.offsetRule, 1);
  Tap(KEYCODE_DOWN);
  for (int i = 0; i < 4; ++i) Tap(KEYCODE_RIGHT);
  EXPECT_EQ(g_game.winsNeeded, 5);
  for (int i = 0; i < 6; ++i) Tap(KEYCODE_LEFT);
  EXPECT_EQ(g_game.winsNeeded, 1);
  Tap(KEYCODE_DOWN);
  g_fake.keys[KEYCODE_Z] = 1;
  Frame();
  EXPECT_EQ(s.pieces[1].speedFactor, 16);
}

TEST_F(ScreensTest, EscapeEndsTheLibraryAndAClosedWindowDoesNot) {
  g_fake.pumpResult = -1;
  EXPECT_EQ(Frame(), -1);
  EXPECT_EQ(g_fake.endLibraryCalls, 0);
  EXPECT_EQ(session->controllers[0].surface, nullptr);

  StartSession(*session);
  g_fake.pumpResult = 0;
  EXPECT_EQ(Frame(), 1);
  ASSERT_EQ(g_fake.waits.size(), 1u);
  EXPECT_EQ(g_fake.waits[0], 16);
  g_fake.keys[KEYCODE_ESCAPE] = 1;
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(g_fake.endLibraryCalls, 1);
}

TEST_F(ScreensTest, ComputerPlayerPlaysWholeRoundsOnItsOwn) {
  // Both wells steered: the left by a held Down key, the right by the computer player. The
  // round must end by top-out (the left well fills up) and the screens keep running.
  GameSession& s = *session;
  g_fake.randomSeed = 2463534242u;
  for (int level = 0; level <= 4; ++level) {
    StartSession(s);
    g_game.roundOver = 0;
    StartPlay(3);
    s.level = level;
    AiSetLevel(s.controllers[kPlayerComputer], level);
    g_fake.keys[KEYCODE_DOWN] = 1;
    int frames = 0;
    while (s.screen == kScreenPlay && frames < 20000) {
      Frame();
      ++frames;
    }
    EXPECT_EQ(s.screen, kScreenRoundOver) << level;
    EXPECT_EQ(s.boards[0].IsToppedOut(), 1) << level;
    g_fake.keys[KEYCODE_DOWN] = 0;
  }
}

}  // namespace
