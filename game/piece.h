// The falling piece of one well and the preview of the next one. Position and velocity are
// single-precision pixels relative to the well's origin; the piece moves continuously and is
// pushed back out of walls and settled blocks.
#pragma once

#include <cstdint>

#include "vexlo.h"  // key codes

class Board;

using PieceGrid = uint8_t[5][5];  // 1 where a block is; the pivot is row 2, column 2

class Piece {
 public:
  static constexpr int kShapeO = 5;

  void Init(const Board& board);
  void Spawn(const Board& board);
  static void BuildShape(int index, PieceGrid grid);
  static void SetGrid(PieceGrid grid, const uint8_t cells[25]);
  static void CopyGrid(const PieceGrid from, PieceGrid to);
  void SetSpeedFactor(int factor) { speedFactor = factor; }
  void ApplyKeys(const Board& board, const int8_t counters[256]);
  void Step(Board& board);
  void Rotate(const Board& board, int direction, int size);
  int Overlaps(const Board& board);
  int IsResting(const Board& board) const;
  void CollideWalls(const Board& board);
  void CollideBlocks(const Board& board);
  void UpdateCell();
  void Lock(Board& board);
  void UpdateSounds();
  void Draw(const Board& board);
  void DrawNext(const Board& board) const;

  bool IsShapeO() const { return shapeIndex % 7 == kShapeO; }
  // Rotation size for this piece: the O turns only its 4 x 4 corner, onto itself.
  int TurnSize() const { return IsShapeO() ? 4 : 5; }

  int32_t side = 0;
  int32_t shapeIndex = 0;  // 0 to 8; the shape is the index modulo 7
  int32_t colour = 0;      // 1 to 6
  int32_t nextShapeIndex = 0;
  int32_t nextColour = 0;
  int32_t rotation = 0;  // quarter turns clockwise since spawn
  int32_t rotationLastFrame = 0;
  PieceGrid grid = {};
  PieceGrid nextGrid = {};
  int32_t grounded = 0;
  int32_t blockedLeft = 0;
  int32_t blockedRight = 0;
  float x = 0;  // top-left corner of the pivot cell
  float y = 0;
  int32_t truncX = 0;
  int32_t truncY = 0;
  int32_t column = 0;  // well cell of the pivot
  int32_t row = 0;
  float gravity = 0;
  int32_t speedFactor = 0;
  float vx = 0;
  float vy = 0;
  int32_t cell = 0;
  uint8_t horizontalCommand = 0;  // a sideways key acts in this frame
  int32_t lockTimer = 0;          // the piece locks once it passes 180 while resting
  int32_t age = 0;                // frames since spawn
};
