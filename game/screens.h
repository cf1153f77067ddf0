// The game's screens and its frame loop: title, settings, play and round over, run as a state
// machine once per frame.
#pragma once

#include <cstdint>

#include "board.h"
#include "controller.h"
#include "piece.h"

enum Screen {
  kScreenTitle = 0,
  kScreenPlay = 1,
  kScreenSettings = 2,
  kScreenRoundOver = 3,
};

constexpr int kRoundFrames = 10000;  // a round is a draw or decided by rows after this many frames
constexpr int kPlayerHuman1 = 0;
constexpr int kPlayerHuman2 = 1;
constexpr int kPlayerComputer = 2;

// What the entry point keeps for the whole run.
struct GameSession {
  int screen = kScreenTitle;
  int mode = 0;          // 0 one player against the computer player, 1 two players
  int menuRow = 0;       // settings: 0 level, 1 offset rule, 2 wins needed, 3 start
  int level = 0;         // computer player level 0 to 4
  int frameCounter = 0;  // play frames of the round; the settings screen's blink clock
  int roundOverCounter = 0;
  Board boards[2];  // left: player 1; right: player 2 or the computer player
  Piece pieces[2];
  Controller controllers[3];  // player 1, player 2, the computer player
  KeyCounters menuCounters = {};
};

// Called at the end of every frame's screens, before the frame is paced and shown; the program
// installs one to trace its run when asked to (see main.cpp).
using FrameObserver = void (*)(const GameSession& session);
extern FrameObserver g_frameObserver;

// Builds the game objects' starting state (after the library has started and the assets loaded).
void StartSession(GameSession& session);
// One pass of the frame loop: 1 to go on, 0 after Escape ended the library, -1 when the window
// has gone.
int RunFrame(GameSession& session);
void ReleaseSession(GameSession& session);

void RunTitleScreen(GameSession& session);
void RunSettingsScreen(GameSession& session);
void RunPlayScreen(GameSession& session);
void RunRoundOverScreen(GameSession& session);

// Starts a round: clears both wells, puts them back in place and gives each a fresh piece.
void StartRound(GameSession& session);

int WinMain(void* instance, void* previousInstance, char* commandLine, int showCommand);
