// The program's entry point and frame loop.
#include "game_calls.h"
#include "game_globals.h"
#include "screens.h"
#include "vexlo.h"

FrameObserver g_frameObserver = nullptr;

void StartSession(GameSession& s) {
  s.boards[0].SetSide(0);
  s.boards[1].SetSide(1);
  s.boards[0].SetOrigin(20, 60);
  s.boards[1].SetOrigin(420, 60);
  for (Board& board : s.boards) {
    board.SetSize(Board::kWidth, Board::kHeight);
    board.roundsWon = 0;
  }
  s.pieces[0].Init(s.boards[0]);
  s.pieces[1].Init(s.boards[1]);
  s.controllers[kPlayerHuman1].Init(s.boards[0]);
  s.controllers[kPlayerHuman2].Init(s.boards[1]);
  s.controllers[kPlayerComputer].Init(s.boards[1]);
  g_calls.ClearDrawTarget();
  g_calls.SetDrawTarget(DRAW_TARGET_BACK);
  s.frameCounter = 0;
  s.roundOverCounter = 0;
  g_game.offsetRule = 1;
  g_game.winsNeeded = 3;
  s.menuRow = 0;
  s.screen = kScreenTitle;
  s.mode = 0;
  s.level = 0;
  s.pieces[0].SetSpeedFactor(1);
  s.pieces[1].SetSpeedFactor(1);
}

void ReleaseSession(GameSession& s) {
  for (Controller& controller : s.controllers) controller.Release();
}

int RunFrame(GameSession& s) {
  if (g_calls.PumpWindowMessages() == -1) {
    ReleaseSession(s);
    return -1;  // the window has gone; the library is not ended
  }
  if (g_calls.IsKeyDown(KEYCODE_ESCAPE) == 1) {
    g_calls.EndLibrary();
    ReleaseSession(s);
    return 0;
  }
  g_calls.DrawRectangle(0, 0, 640, 480, 0, 1);
  ControllerReadMenu(s.menuCounters);
  // In this order, so that settings can start play and play can end the round in one frame.
  if (s.screen == kScreenSettings) RunSettingsScreen(s);
  if (s.screen == kScreenTitle) RunTitleScreen(s);
  if (s.screen == kScreenPlay) RunPlayScreen(s);
  if (s.screen == kScreenRoundOver) RunRoundOverScreen(s);
  if (g_frameObserver != nullptr) g_frameObserver(s);
  PaceFrame();
  g_calls.FlipScreen();
  g_calls.ClearDrawTarget();
  return 1;
}

int WinMain(void*, void*, char*, int) {
  SetLogFileOutput(0);
  SetMainWindowTitle("Quarry");
  SetWindowIconResource(101);
  if (ChangeWindowMode(1) != 0) return -1;
  if (InitLibrary() == -1) return -1;

  // Large (two wells, three controllers): kept off the stack.
  static GameSession session;
  LoadGameImages();
  LoadGameSounds();
  StartSession(session);
  for (;;) {
    const int result = RunFrame(session);
    if (result != 1) return result;
  }
}
