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
        gFake.keys[keyCode] = 1;
        Frame();
        gFake.keys[keyCode] = 0;
        Frame();
    }
    void StartPlay(int winsNeeded) {
        Tap(KEYCODE_Z);  // title -> settings
        for (int i = 0; i < 2; ++i) Tap(KEYCODE_DOWN);
        while (gGame.winsNeeded > winsNeeded) Tap(KEYCODE_LEFT);
        Tap(KEYCODE_DOWN);
        gFake.keys[KEYCODE_Z] = 1;
        Frame();
        gFake.keys[KEYCODE_Z] = 0;
    }

    std::unique_ptr<GameSession> session;
};

TEST_F(ScreensTest, TitleSettingsPlayRoundOverAndNextRound) {
    GameSession& s = *session;
    EXPECT_EQ(s.screen, kScreenTitle);
    gFake.keys[KEYCODE_Z] = 1;
    Frame();
    EXPECT_EQ(s.screen, kScreenSettings);
    EXPECT_EQ(gFake.musicPlayed, std::vector<std::string>{"sound\\violin.mp3"});
    EXPECT_EQ(gFake.SoundCount(kSoundMenu), 1);
    Frame();  // Z still held: no second confirmation
    EXPECT_EQ(s.screen, kScreenSettings);
    gFake.keys[KEYCODE_Z] = 0;

    Tap(KEYCODE_RIGHT);  // level 1
    EXPECT_EQ(s.level, 1);
    for (int i = 0; i < 3; ++i) Tap(KEYCODE_DOWN);
    EXPECT_EQ(s.menuRow, 3);
    Tap(KEYCODE_DOWN);
    EXPECT_EQ(s.menuRow, 3);
    gFake.sounds.clear();
    gFake.keys[KEYCODE_Z] = 1;
    Frame();
    EXPECT_EQ(s.screen, kScreenPlay);
    EXPECT_EQ(s.frameCounter, 1);  // the first play frame ran in the same pass
    EXPECT_EQ(gFake.sounds.front(), kSoundRoundStart);
    EXPECT_EQ(s.pieces[0].speedFactor, 2);
    EXPECT_EQ(s.controllers[kPlayerComputer].level, 1);
    gFake.keys[KEYCODE_Z] = 0;

    for (int i = 0; i < 20; ++i) Frame();
    EXPECT_EQ(s.screen, kScreenPlay);
    s.boards[1].SetCell(-1, 0, 1);  // the computer player tops out
    gFake.sounds.clear();
    Frame();
    EXPECT_EQ(s.screen, kScreenRoundOver);
    EXPECT_EQ(gFake.SoundCount(kSoundWin), 1);
    EXPECT_EQ(s.boards[0].roundsWon, 1);
    EXPECT_EQ(s.roundOverCounter, 1);

    while (s.roundOverCounter < 99) Tap(KEYCODE_Z);  // ignored for the first 100 frames
    EXPECT_EQ(s.screen, kScreenRoundOver);
    while (s.roundOverCounter <= 100) Frame();
    gFake.keys[KEYCODE_Z] = 1;
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
    EXPECT_EQ(gGame.winsNeeded, 1);
    ASSERT_EQ(s.screen, kScreenPlay);
    s.boards[0].SetCell(-1, 0, 1);  // player 1 tops out
    gFake.sounds.clear();
    Frame();
    EXPECT_EQ(gFake.SoundCount(kSoundLose), 1);
    EXPECT_EQ(s.boards[1].roundsWon, 1);
    while (s.roundOverCounter <= 100) Frame();
    gFake.keys[KEYCODE_Z] = 1;
    Frame();
    EXPECT_EQ(s.screen, kScreenTitle);
    gFake.keys[KEYCODE_Z] = 0;
    Frame();
    Tap(KEYCODE_Z);  // a new match clears the won rounds
    EXPECT_EQ(s.boards[1].roundsWon, 0);
}

TEST_F(ScreensTest, TimeUpWithEqualRowsIsADraw) {
    GameSession& s = *session;
    StartPlay(3);
    s.frameCounter = kRoundFrames - 1;
    gFake.texts.clear();
    Frame();
    EXPECT_EQ(s.screen, kScreenRoundOver);
    EXPECT_EQ(s.frameCounter, kRoundFrames);
    EXPECT_TRUE(gFake.TextDrawn("時間切れ"));
    EXPECT_TRUE(gFake.TextDrawn("引き分け"));
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

TEST_F(ScreensTest, DownOnTheTitleNeedsTwoPads) {
    GameSession& s = *session;
    gFake.padCount = 1;
    Tap(KEYCODE_DOWN);
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(gFake.SoundCount(kSoundMenu), 1);

    gFake.padCount = 2;
    Tap(KEYCODE_DOWN);
    EXPECT_EQ(s.mode, 1);
    Tap(KEYCODE_Z);
    EXPECT_EQ(s.screen, kScreenSettings);
    EXPECT_EQ(s.menuRow, 1);
    Tap(KEYCODE_UP);  // the level row cannot be reached with two players
    EXPECT_EQ(s.menuRow, 1);
    gFake.texts.clear();
    Frame();
    EXPECT_FALSE(gFake.TextDrawn("LEVEL0"));
}

TEST_F(ScreensTest, SettingsRowsChangeOffsetRuleAndWinsWithinBounds) {
    GameSession& s = *session;
    Tap(KEYCODE_Z);
    for (int i = 0; i < 6; ++i) Tap(KEYCODE_RIGHT);
    EXPECT_EQ(s.level, 4);
    Tap(KEYCODE_DOWN);
    Tap(KEYCODE_LEFT);
    EXPECT_EQ(gGame.offsetRule, 0);
    Tap(KEYCODE_RIGHT);
    EXPECT_EQ(gGame.offsetRule, 1);
    Tap(KEYCODE_DOWN);
    for (int i = 0; i < 4; ++i) Tap(KEYCODE_RIGHT);
    EXPECT_EQ(gGame.winsNeeded, 5);
    for (int i = 0; i < 6; ++i) Tap(KEYCODE_LEFT);
    EXPECT_EQ(gGame.winsNeeded, 1);
    Tap(KEYCODE_DOWN);
    gFake.keys[KEYCODE_Z] = 1;
    Frame();
    EXPECT_EQ(s.pieces[1].speedFactor, 16);
}

TEST_F(ScreensTest, EscapeEndsTheLibraryAndAClosedWindowDoesNot) {
    gFake.pumpResult = -1;
    EXPECT_EQ(Frame(), -1);
    EXPECT_EQ(gFake.endLibraryCalls, 0);
    EXPECT_EQ(session->controllers[0].surface, nullptr);

    StartSession(*session);
    gFake.pumpResult = 0;
    EXPECT_EQ(Frame(), 1);
    ASSERT_EQ(gFake.waits.size(), 1u);
    EXPECT_EQ(gFake.waits[0], 16);
    gFake.keys[KEYCODE_ESCAPE] = 1;
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(gFake.endLibraryCalls, 1);
}

TEST_F(ScreensTest, ComputerPlayerPlaysWholeRoundsOnItsOwn) {
    // Both wells steered: the left by a held Down key, the right by the computer player. The
    // round must end by top-out (the left well fills up) and the screens keep running.
    GameSession& s = *session;
    gFake.randomSeed = 2463534242u;
    for (int level = 0; level <= 4; ++level) {
        StartSession(s);
        gGame.roundOver = 0;
        StartPlay(3);
        s.level = level;
        AiSetLevel(s.controllers[kPlayerComputer], level);
        gFake.keys[KEYCODE_DOWN] = 1;
        int frames = 0;
        while (s.screen == kScreenPlay && frames < 20000) {
            Frame();
            ++frames;
        }
        EXPECT_EQ(s.screen, kScreenRoundOver) << level;
        EXPECT_EQ(s.boards[0].IsToppedOut(), 1) << level;
        gFake.keys[KEYCODE_DOWN] = 0;
    }
}

}  // namespace
