#include "board.h"

#include "game_calls.h"
#include "game_globals.h"

Board::Board() {
  rows = new int32_t*[kHeight];
  for (int r = 0; r < kHeight; ++r) rows[r] = new int32_t[kWidth]();
  Reset();
}

Board::~Board() {
  for (int r = 0; r < kHeight; ++r) delete[] rows[r];
  delete[] rows;
}

void Board::Reset() {
  lines = 0;
  linesAtLastUpdate = 0;
  lastClearCount = 0;
  toppedOut = 0;
  framesSinceTopOut = 0;
  damage = 0;
  result = 0;
  messageTimer = 51;
  for (int r = 0; r < height; ++r) {
    for (int k = 0; k < width; ++k) rows[r][k] = 0;
  }
  g_game.roundOver = 0;
}

void Board::SetSide(int s) { side = s; }

void Board::SetOrigin(int x, int y) {
  originX = x;
  originY = y;
}

// The rows are built once at 10 by 20; any other size would read past them, so it is refused.
void Board::SetSize(int w, int h) {
  if (w != kWidth || h != kHeight) return;
  width = w;
  height = h;
}

void Board::Update() {
  if (toppedOut) {
    g_game.roundOver = 1;
    ++framesSinceTopOut;
    result = 2;
    // The lost well slides down the screen faster and faster.
    originY += static_cast<int32_t>(framesSinceTopOut / 3.0);
  }
  if (result == 1 || result == 2) g_game.roundOver = 1;
  if (lines != linesAtLastUpdate) {
    lastClearCount = lines - linesAtLastUpdate;
    if (lastClearCount >= 1 && lastClearCount <= 4) PlayGameSound(kSoundClear1 + lastClearCount - 1);
    messageTimer = 1;
  }
  linesAtLastUpdate = lines;
}

void Board::SetWin() {
  result = 1;
  if (!toppedOut) ++roundsWon;
}

void Board::SetLose() { result = 2; }

void Board::SetCell(int row, int column, int value) {
  if (row < 0) {
    toppedOut = 1;
    return;
  }
  if (row < height && column >= 0 && column < width) rows[row][column] = value;
}

int Board::CountRow(int row) const {
  if (row < 0 || row >= height) return 0;
  int count = 0;
  for (int k = 0; k < width; ++k) count += rows[row][k] > 0;
  return count;
}

int Board::CellAt(int row, int column) const {
  if (row < 0 || row >= height || column < 0 || column >= width) return 0;
  return rows[row][column];
}

// One pass from the bottom up. The row that drops into a cleared row's place is not examined
// again in the same pass, which is why a lock is followed by four passes.
void Board::ClearLinesPass() {
  for (int row = height - 1; row >= 0; --row) {
    int filled = 0;
    for (int k = 0; k < width; ++k) filled += rows[row][k] != 0;
    if (filled != width) continue;
    for (int r = row; r >= 1; --r) {
      for (int k = 0; k < width; ++k) rows[r][k] = rows[r - 1][k];
    }
    for (int k = 0; k < width; ++k) rows[0][k] = 0;
    ++lines;
  }
}

int Board::TakeAttack() {
  if (messageTimer != 1) return 0;
  int n = lastClearCount;
  if (g_game.offsetRule == 0 || damage < 1) return n;
  if (n >= damage) {
    n -= damage;
    damage = 0;
    return n;
  }
  damage -= n;
  return 0;
}

void Board::AddDamage(int n) { damage += n; }

// Every garbage row takes one draw per row of the well; the draw of the bottom row gives the hole.
void Board::ApplyGarbage() {
  for (int i = 0; i < damage; ++i) {
    for (int r = 0; r < height; ++r) {
      const int hole = g_calls.GetRandomInt(width) % width;
      if (r < height - 1) {
        for (int k = 0; k < width; ++k) rows[r][k] = rows[r + 1][k];
      } else {
        for (int k = 0; k < width; ++k) rows[r][k] = (k == hole) ? 0 : kGarbage;
      }
    }
  }
  damage = 0;
}

void ExchangeAttacks(Board& left, Board& right) {
  left.AddDamage(right.TakeAttack());
  right.AddDamage(left.TakeAttack());
}
