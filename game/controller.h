// Held-frame key counters: 0 while a key is up, then 1, 2, ... up to 100 while it is held.
// One set per player, filled from a pad and the keyboard or from the computer player.
#pragma once

#include <cstdint>

class Board;
class Piece;

using KeyCounters = int8_t[256];

class Controller {
 public:
  Controller() = default;
  ~Controller() { Release(); }
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  void Init(const Board& board);
  void Release();
  void ReadHuman(int pad);
  void RunComputer(Board& board, Piece& piece);

  KeyCounters counters = {};
  // The computer player's state.
  int32_t targetColumn = 5;
  int32_t targetRotation = 0;
  uint8_t decided = 0;
  int32_t* surface = nullptr;  // per column: row of the topmost block, or the well height
  int32_t width = 0;
  int32_t pieceBottoms[5] = {};  // per grid column: 1 + grid row of its lowest block, 0 if empty
  int32_t emptyLeft = 0;
  int32_t emptyRight = 0;
  int32_t pieceWidth = 0;
  int32_t gaps[5] = {};
  int32_t level = 0;
  int32_t danger = 0;            // 0 none, 1 raised, 2 high
  uint8_t keyOutputs[256] = {};  // the computer player's keys, kept from frame to frame
};

// Fills the menu counters from pad 1 and the keyboard.
void ControllerReadMenu(KeyCounters menu);

// The computer player.
void AiSetLevel(Controller& controller, int level);
int AiThinkDelay(int level);
void AiThink(Controller& controller, Board& board, Piece& piece, uint8_t outputs[256]);
void AiMeasureSurface(Controller& controller, const Board& board);
void AiMeasurePiece(Controller& controller, const Piece& piece);
int MinOfInts(const int32_t* values, int count);
