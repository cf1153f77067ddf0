// Collision of the falling piece with the walls, the floor and the settled blocks.
#include "board.h"
#include "piece.h"

// A block beyond a side wall is pushed back whatever the sideways motion: only a turn beside the
// wall puts it there, and a piece moving away from the wall must not stay (and lock) outside.
void Piece::CollideWalls(const Board& board) {
  const float w = static_cast<float>(board.WidthPixels());
  const float h = static_cast<float>(board.HeightPixels());
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (!grid[r][c]) continue;
      const float bx = (c - 2) * cell + x;
      if (bx < 0) {
        blockedLeft = 1;
        x = static_cast<float>(-(c - 2) * cell);
        vx = 0;
      }
      if (bx + cell > w) {
        blockedRight = 1;
        x = w - (c - 2) * cell - cell;
        vx = 0;
      }
    }
  }
  UpdateCell();
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (!grid[r][c]) continue;
      const float by = (r - 2) * cell + y;
      if (by + cell > h) {
        grounded = 1;
        y = h - (r - 2) * cell - cell;
        vy = 0;
      }
    }
  }
}

// Each correction moves the piece and refreshes its cell, so later tests of the same call see
// the corrected position.
void Piece::CollideBlocks(const Board& board) {
  UpdateCell();
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (!grid[r][c]) continue;
      for (int dk = -1; dk <= 1; ++dk) {
        for (int dr = -1; dr <= 1; ++dr) {
          const int br = row + r - 2 + dr;
          const int bk = column + c - 2 + dk;
          if (br < 0 || br >= board.height || bk < 0 || bk >= board.width) continue;
          if (board.rows[br][bk] == 0) continue;
          float bx = (c - 2) * cell + x;
          float by = (r - 2) * cell + y;
          if (!blockedLeft && !blockedRight && 1 - cell < by - br * cell && by - br * cell < cell - 1) {
            if (bk < board.width - 1 && board.rows[br][bk + 1] == 0 && (c == 0 || grid[r][c - 1] == 0) &&
                vx <= -0.1f && bk * cell < bx && bx < (bk + 1) * cell) {
              blockedLeft = 1;
              x = static_cast<float>((bk + 1) * cell - (c - 2) * cell);
              vx = 0;
              UpdateCell();
            } else if (bk > 0 && board.rows[br][bk - 1] == 0 && (c == 4 || grid[r][c + 1] == 0) &&
                       vx >= 0.1f && bx < bk * cell && bk * cell < bx + cell) {
              blockedRight = 1;
              x = static_cast<float>(bk * cell - (c - 2) * cell - cell);
              vx = 0;
              UpdateCell();
            }
          }
          bx = (c - 2) * cell + x;
          by = (r - 2) * cell + y;
          if (!grounded && -cell < bx - bk * cell && bx - bk * cell < cell &&
              (r == 4 || grid[r + 1][c] == 0) && vy >= 0.1f && by < br * cell && br * cell < by + cell) {
            grounded = 1;
            y = static_cast<float>(br * cell - (r - 2) * cell - cell);
            vy = 0;
            UpdateCell();
          }
        }
      }
    }
  }
}

int Piece::IsResting(const Board& board) const {
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (!grid[r][c]) continue;
      const int below = row + r - 1;
      if (below < 0) continue;
      // The floor holds a block on the bottom row whatever its column, even one outside the
      // side walls.
      if (below >= board.height) return 1;
      const int k = column + c - 2;
      if (k < 0 || k >= board.width) continue;
      if (board.rows[below][k] != 0) return 1;
    }
  }
  return 0;
}

// Walls and the floor are not tested: a turn beside a wall is allowed and the next wall collision
// pushes the piece back inside.
int Piece::Overlaps(const Board& board) {
  UpdateCell();
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (!grid[r][c]) continue;
      const int px = truncX + (c - 2) * cell;
      const int py = truncY + (r - 2) * cell;
      for (int dk = -1; dk <= 1; ++dk) {
        for (int dr = -1; dr <= 1; ++dr) {
          const int br = row + r - 2 + dr;
          const int bk = column + c - 2 + dk;
          if (br < 0 || br >= board.height || bk < 0 || bk >= board.width) continue;
          if (board.rows[br][bk] == 0) continue;
          const int dx = px - bk * cell;
          const int dy = py - br * cell;
          if (dx < cell && dx > -cell && dy < cell && dy > -cell) return 1;
        }
      }
    }
  }
  return 0;
}
