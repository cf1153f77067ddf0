// One player's well: settled blocks, cleared rows, pending garbage, top-out and the round's result.
#pragma once

#include <cstdint>

class Board {
 public:
  static constexpr int kWidth = 10;
  static constexpr int kHeight = 20;
  static constexpr int kCell = 20;
  static constexpr int kGarbage = 7;  // cell value of garbage, also the grey of a lost well

  Board();
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  void Reset();
  void SetSide(int side);
  void SetOrigin(int x, int y);
  void SetSize(int width, int height);
  void Update();
  int GetLines() const { return lines; }
  int IsToppedOut() const { return toppedOut; }
  int WidthPixels() const { return cell * width; }
  int HeightPixels() const { return cell * height; }
  void SetWin();
  void SetLose();
  void SetCell(int row, int column, int value);
  int CountRow(int row) const;
  // The cell's value, or 0 outside the well.
  int CellAt(int row, int column) const;
  void ClearLinesPass();
  int TakeAttack();
  void AddDamage(int n);
  void ApplyGarbage();
  void Draw();
  void DrawPanel();
  void DrawClearMessage();
  void DrawResult();

  int32_t side = 0;
  int32_t originX = 64;
  int32_t originY = 32;
  int32_t width = kWidth;
  int32_t height = kHeight;
  int32_t cell = kCell;
  int32_t** rows = nullptr;  // rows[0] is the top row
  int32_t lines = 0;         // rows cleared since the last reset (the score)
  int32_t linesAtLastUpdate = 0;
  int32_t lastClearCount = 0;  // rows cleared by the latest clearing lock
  int32_t messageTimer = 51;   // 1 only in the frame a clear becomes an attack
  int32_t toppedOut = 0;
  int32_t framesSinceTopOut = 0;
  int32_t damage = 0;  // garbage rows received and not yet inserted
  int32_t roundsWon = 0;
  int32_t result = 0;  // 0 none, 1 won this round, 2 lost this round
};

// The attack exchange of one play frame: the right board's clear reaches the left first, so that
// with the offset rule the left board's clear of the same frame can cancel it.
void ExchangeAttacks(Board& left, Board& right);
