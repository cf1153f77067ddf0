// The play screen and the round-over screen.
#include "game_calls.h"
#include "game_globals.h"
#include "screens.h"

namespace {

// The computer player's face: column 4 - level, row 0 calm, 1 worried or drawn, 2 won, 3 lost.
void DrawFace(int level, int faceRow) {
  g_calls.DrawGraphPart(250, 300, (4 - level) * 140, faceRow * 140, 140, 140,
                        g_game.imageHandles[kImageFaces], 1, 0);
}

void DrawWinTokens(const Board& board, int x, bool highlightNewest) {
  const int blocks = g_game.imageHandles[kImageBlocks];
  for (int i = 0; i < board.roundsWon; ++i) {
    g_calls.DrawGraphPart(x, 430 - 30 * i, 40, 40, 30, 30, blocks, 1, 0);
  }
  if (highlightNewest && board.roundsWon >= 1) {
    g_calls.DrawGraphPart(x, 430 - 30 * (board.roundsWon - 1), 70, 40, 30, 30, blocks, 1, 0);
  }
}

void DrawWells(GameSession& s) {
  s.boards[0].Draw();
  s.boards[1].Draw();
  s.boards[0].DrawPanel();
  s.boards[1].DrawPanel();
  s.pieces[0].Draw(s.boards[0]);
  s.pieces[1].Draw(s.boards[1]);
  s.pieces[0].DrawNext(s.boards[0]);
  s.pieces[1].DrawNext(s.boards[1]);
}

bool Confirmed(const GameSession& s) { return s.menuCounters[KEYCODE_Z] == 1; }

}  // namespace

void RunPlayScreen(GameSession& s) {
  Board& left = s.boards[0];
  Board& right = s.boards[1];
  ++s.frameCounter;

  Controller& player1 = s.controllers[kPlayerHuman1];
  player1.ReadHuman(1);
  s.pieces[0].ApplyKeys(left, player1.counters);
  if (s.mode == 0) {
    Controller& computer = s.controllers[kPlayerComputer];
    computer.RunComputer(right, s.pieces[1]);
    s.pieces[1].ApplyKeys(right, computer.counters);
  } else {
    Controller& player2 = s.controllers[kPlayerHuman2];
    player2.ReadHuman(2);
    s.pieces[1].ApplyKeys(right, player2.counters);
  }
  s.pieces[0].Step(left);
  s.pieces[1].Step(right);
  left.Update();
  right.Update();
  ExchangeAttacks(left, right);

  g_calls.DrawGraphPart(0, 0, 0, 0, 640, 480,
                        g_game.imageHandles[s.mode == 0 ? kImageBackground1P : kImageBackground2P], 1, 0);
  DrawWells(s);
  if (s.mode == 0) DrawFace(s.level, s.controllers[kPlayerComputer].danger == 2 ? 1 : 0);
  DrawWinTokens(left, 220, false);
  DrawWinTokens(right, 390, false);

  const int timeLeft = kRoundFrames - s.frameCounter;
  g_calls.DrawFormattedText(306, 22, g_calls.MakeColor(0, 0, 0), "%d", timeLeft);
  if (timeLeft >= 1000) {
    g_calls.DrawFormattedText(304, 20, g_calls.MakeColor(255, 255, 255), "%d", timeLeft);
  } else {
    // The last thousand frames flash from red to white.
    const int g = (s.frameCounter % 100) * 255 / 100;
    g_calls.DrawFormattedText(304, 20, g_calls.MakeColor(255, g, g), "%d", timeLeft);
  }

  if (s.frameCounter >= kRoundFrames) {
    s.frameCounter = kRoundFrames;
    // A well that tops out in the last frame loses whatever the rows; otherwise the rows decide.
    if (left.IsToppedOut() && !right.IsToppedOut()) {
      right.SetWin();
      left.SetLose();
    } else if (right.IsToppedOut() && !left.IsToppedOut()) {
      left.SetWin();
      right.SetLose();
    } else if (left.GetLines() > right.GetLines()) {
      left.SetWin();
      right.SetLose();
    } else if (right.GetLines() > left.GetLines()) {
      right.SetWin();
      left.SetLose();
    }
    s.screen = kScreenRoundOver;
  } else if (left.IsToppedOut() && right.IsToppedOut()) {
    PlayGameSound(kSoundLose);
  } else if (left.IsToppedOut()) {
    right.SetWin();
    PlayGameSound(kSoundLose);
  } else if (right.IsToppedOut()) {
    left.SetWin();
    PlayGameSound(kSoundWin);
  }
  if (g_game.roundOver == 1) s.screen = kScreenRoundOver;
}

void RunRoundOverScreen(GameSession& s) {
  Board& left = s.boards[0];
  Board& right = s.boards[1];
  ++s.roundOverCounter;
  left.Update();
  right.Update();

  g_calls.DrawGraphPart(0, 0, 0, 0, 640, 480,
                        g_game.imageHandles[s.mode == 0 ? kImageBackground1P : kImageBackground2P], 1, 0);
  if (s.mode == 0 && (right.result == 1 || right.result == 2)) DrawFace(s.level, right.result == 1 ? 2 : 3);
  const bool blink = s.roundOverCounter % 4 == 1;
  DrawWinTokens(left, 220, blink && right.IsToppedOut());
  DrawWinTokens(right, 390, blink && left.IsToppedOut());
  DrawWells(s);
  if (s.frameCounter == kRoundFrames) {
    g_calls.DrawFormattedText(296, 22, g_calls.MakeColor(0, 0, 0), "%s", "時間切れ");
    g_calls.DrawFormattedText(294, 20, g_calls.MakeColor(255, 255, 255), "%s", "時間切れ");
  }
  if (left.GetLines() == right.GetLines() && left.IsToppedOut() == right.IsToppedOut()) {
    if (s.mode == 0) DrawFace(s.level, 1);
    g_calls.SetDefaultFontSize(100);
    g_calls.DrawFormattedText(130, 230, g_calls.MakeColor(0, 0, 0), "%s", "引き分け");
    g_calls.DrawFormattedText(120, 220, g_calls.MakeColor(155, 155, 155), "%s", "引き分け");
    g_calls.SetDefaultFontSize(16);
  }

  if (s.roundOverCounter <= 100 || !Confirmed(s)) return;
  if (left.roundsWon < g_game.winsNeeded && right.roundsWon < g_game.winsNeeded) {
    StartRound(s);
    PlayGameSound(kSoundRoundStart);
    s.screen = kScreenPlay;
  } else {
    s.screen = kScreenTitle;  // the match is over; the music goes on
  }
}
