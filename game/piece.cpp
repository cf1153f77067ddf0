#include "piece.h"

#include "board.h"
#include "game_calls.h"
#include "game_globals.h"

namespace {

// The seven shapes in their spawn orientation, 5 x 5 row-major.
constexpr uint8_t kShapes[7][25] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},  // T, stem down
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},  // L, foot at top left
    {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},  // L, foot at top right
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // Z
    {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // S
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // O
    {0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},  // I, upright
};

}  // namespace

void Piece::SetGrid(PieceGrid grid, const uint8_t cells[25]) {
  for (int i = 0; i < 25; ++i) grid[i / 5][i % 5] = cells[i];
}

void Piece::CopyGrid(const PieceGrid from, PieceGrid to) {
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) to[r][c] = from[r][c];
  }
}

void Piece::BuildShape(int index, PieceGrid grid) { SetGrid(grid, kShapes[((index % 7) + 7) % 7]); }

void Piece::Init(const Board& board) {
  side = board.side;
  cell = board.cell;
  gravity = 0.2f;
  // GetRandomInt includes its bound: indices 0 and 7, 1 and 8 give the same shape.
  nextShapeIndex = g_calls.GetRandomInt(8);
  nextColour = 1 + g_calls.GetRandomInt(5);
  BuildShape(nextShapeIndex, nextGrid);
  Spawn(board);
}

// The lock timer, the blocked flags and the horizontal command carry over: the lock has just
// cleared the timer, and a timer left from an earlier round is cleared by the first step.
void Piece::Spawn(const Board& board) {
  grounded = 0;
  x = static_cast<float>(board.WidthPixels() / 2.0);
  y = static_cast<float>(-cell);
  vx = 0;
  vy = gravity;
  CopyGrid(nextGrid, grid);
  shapeIndex = nextShapeIndex;
  colour = nextColour;
  nextShapeIndex = g_calls.GetRandomInt(8);
  nextColour = 1 + g_calls.GetRandomInt(5);
  BuildShape(nextShapeIndex, nextGrid);
  rotation = 0;
  rotationLastFrame = 0;
  age = 0;
}

// A sideways key acts on its first two frames, pauses on frames 3 to 5 and repeats from frame 6;
// with Down held it acts on every frame.
static bool SidewaysActs(int8_t counter, int8_t down) {
  return counter == 1 || counter == 2 || counter >= 6 || (counter >= 3 && counter <= 5 && down != 0);
}

void Piece::ApplyKeys(const Board& board, const int8_t counters[256]) {
  vy = gravity;
  const int8_t up = counters[KEYCODE_UP];
  const int8_t down = counters[KEYCODE_DOWN];
  const int8_t left = counters[KEYCODE_LEFT];
  const int8_t right = counters[KEYCODE_RIGHT];
  if (up >= 2 && up <= 10) {
    vy = static_cast<float>(8 * cell);
    if (lockTimer > 0) lockTimer += 10;
  }
  if (down >= 1) {
    vy = static_cast<float>(static_cast<double>(0.8f) * cell);
    if (lockTimer > 0) lockTimer += 5;
  }
  horizontalCommand = 0;
  if (SidewaysActs(left, down)) {
    vx = static_cast<float>(-cell / 2.0);
    horizontalCommand = 1;
  }
  if (SidewaysActs(right, down)) {
    vx = static_cast<float>(cell / 2.0);
    horizontalCommand = 1;
  }
  if (left >= 1 && right >= 1) horizontalCommand = 0;
  if (counters[KEYCODE_Z] == 1) Rotate(board, 0, TurnSize());
  if (counters[KEYCODE_X] == 1) Rotate(board, 1, TurnSize());
}

void Piece::Step(Board& board) {
  UpdateCell();
  ++age;
  // Column snapping: a released sideways key lets the piece finish the half cell it is in and
  // stops it on the column, so a single tap moves exactly one column.
  if (horizontalCommand == 0 && vx > -20.0 && vx < 20.0) {
    const int half = cell / 2;
    int c1 = (static_cast<int>(x) + half) / cell;
    int c2 = (static_cast<int>(x + vx) + half) / cell;
    if (vx > 0.01 && c2 == c1 + 1) {
      x = static_cast<float>(c1 * cell);
      vx = 0;
    }
    c1 = static_cast<int>(x) / cell;
    c2 = static_cast<int>(x + vx) / cell;
    if (vx < -0.01 && c2 == c1 - 1) {
      x = static_cast<float>(c1 * cell);
      vx = 0;
    }
  }
  CollideBlocks(board);
  const int lines = board.GetLines();
  gravity = static_cast<float>(lines / 60.0 + static_cast<double>(0.2f) + (lines * lines) / 800.0);
  gravity = static_cast<float>(speedFactor * gravity);
  // Resting pieces push one pixel a frame into their support so that the contact is found again.
  if (grounded) vy = 1.0f;
  if (!(y + cell > board.HeightPixels())) grounded = 0;
  blockedLeft = 0;
  blockedRight = 0;
  int steps = static_cast<int>(vy / cell + 1.0);
  if (steps < 1) steps = 1;
  for (int i = 0; i < steps; ++i) {
    x += vx / steps;
    y += vy / steps;
    CollideWalls(board);
    CollideBlocks(board);
  }
  if (grounded) {
    lockTimer += 10;
  } else {
    lockTimer = 0;
  }
  if (lockTimer > 180) {
    lockTimer = 180;
    if (IsResting(board)) Lock(board);
  }
  UpdateSounds();
}

void Piece::Rotate(const Board& board, int direction, int size) {
  const int keptRotation = rotation;
  PieceGrid kept;
  CopyGrid(grid, kept);
  if (size == 4) {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) grid[r][c] = direction == 0 ? kept[3 - c][r] : kept[c][3 - r];
    }
  } else {
    for (int r = 0; r < 5; ++r) {
      for (int c = 0; c < 5; ++c) grid[r][c] = direction == 0 ? kept[4 - c][r] : kept[c][4 - r];
    }
  }
  rotation += direction == 0 ? 1 : 3;
  if (Overlaps(board)) {
    rotation = keptRotation;
    CopyGrid(kept, grid);
  }
  if (rotation >= 4) rotation -= 4;
}

void Piece::UpdateCell() {
  truncX = static_cast<int32_t>(x);
  truncY = static_cast<int32_t>(y);
  column = (truncX + cell / 2) / cell;
  row = (truncY + cell / 2) / cell;
}

void Piece::Lock(Board& board) {
  lockTimer = 0;
  UpdateCell();
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (grid[r][c]) board.SetCell(row + r - 2, column + c - 2, colour);
    }
  }
  Spawn(board);
  for (int pass = 0; pass < 4; ++pass) board.ClearLinesPass();
  if (board.GetLines() == board.linesAtLastUpdate) board.ApplyGarbage();
}

void Piece::UpdateSounds() {
  if (lockTimer == 10) PlayGameSound(kSoundTouchDown);
  if (rotation != rotationLastFrame) PlayGameSound(kSoundTurn);
  rotationLastFrame = rotation;
}

void Piece::Draw(const Board& board) {
  UpdateCell();
  const int srcX = (board.IsToppedOut() ? Board::kGarbage : colour) * cell;
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (!grid[r][c]) continue;
      g_calls.DrawGraphPart(board.originX + truncX + (c - 2) * cell, board.originY + truncY + (r - 2) * cell,
                            srcX, 0, cell, cell, g_game.imageHandles[kImageBlocks], 1, 0);
    }
  }
}

void Piece::DrawNext(const Board& board) const {
  const int bx = side == 0 ? board.originX + board.WidthPixels() + 2 * cell : board.originX - 3 * cell;
  const int by = board.originY + 2 * cell;
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      const int srcX = nextGrid[r][c] ? nextColour * cell : 0;
      const int srcY = nextGrid[r][c] ? 0 : cell;
      g_calls.DrawGraphPart(bx + (c - 2) * cell, by + (r - 2) * cell, srcX, srcY, cell, cell,
                            g_game.imageHandles[kImageBlocks], 1, 0);
    }
  }
}
