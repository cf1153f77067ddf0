// The computer player: measures the well and the piece shortly after each spawn, waits a think
// delay that depends on its level, scores every rotation and horizontal position once, and then
// presses the same keys a human would to reach the best one.
#include <algorithm>
#include <cstdlib>

#include "board.h"
#include "controller.h"
#include "piece.h"

namespace {

// Score of one candidate placement and the line bonus it leaves for the next candidate.
struct Candidate {
  int v;  // height of the stack under the piece's current columns
  int p;  // unevenness of the piece's own underside
  int f;  // fit against the neighbour columns (a wall counts 4)
  int h;  // cells left empty under the piece, capped
};

// Line bonus by (rows completed, blocks tested); other pairs keep the previous candidate's bonus.
bool LineBonus(int completed, int tested, int& bonus) {
  struct Entry {
    int c, n, bonus;
  };
  static constexpr Entry kTable[] = {
      {0, 0, 0},   {1, 1, 100}, {0, 1, -5}, {2, 2, 200}, {1, 2, -1},  {0, 2, -30},
      {3, 3, 300}, {2, 3, 10},  {1, 3, -5}, {0, 3, -50}, {4, 4, 500},
  };
  for (const Entry& e : kTable) {
    if (e.c == completed && e.n == tested) {
      bonus = e.bonus;
      return true;
    }
  }
  return false;
}

int CountRun(const Piece& piece, int gridRow, int gridColumn, int step) {
  int run = 0;
  for (int c = gridColumn + step; c >= 0 && c < 5 && run < 3; c += step) {
    if (!piece.grid[gridRow][c]) break;
    ++run;
  }
  return run;
}

void Search(Controller& ct, const Board& board, Piece& piece, int& bonus) {
  AiMeasureSurface(ct, board);
  AiMeasurePiece(ct, piece);
  const int32_t* s = ct.surface;
  const int wellWidth = ct.width;
  int total = 0;
  for (int i = 0; i < wellWidth; ++i) total += s[i];
  int best = -9999;
  for (int q = 0; q < 4; ++q) {
    AiMeasurePiece(ct, piece);
    const int w = ct.pieceWidth;
    const int left = ct.emptyLeft;
    const int32_t* b = ct.pieceBottoms;
    for (int p = 0; p + w <= wellWidth && w > 0; ++p) {
      Candidate cand{};
      // Read from the piece's current column, not from p; columns beyond the well count 0.
      for (int k = 0; k <= w - 2; ++k) {
        const int col = piece.column + k;
        if (col >= 0 && col < wellWidth) cand.v = std::max(cand.v, static_cast<int>(s[col]));
      }
      for (int k = 0; k <= w - 2; ++k) cand.p += std::abs(b[left + k] - b[left + k + 1]);
      if (p > 0 && p < wellWidth - w) {
        cand.f = (s[p] - s[p - 1]) + (s[p + w - 1] - s[p + w]);
      } else if (p == 0) {
        cand.f = 4 + (s[w - 1] - s[w]);
      } else {
        cand.f = (s[p] - s[p - 1]) + 4;
      }
      for (int k = 0; k < w; ++k) ct.gaps[k] = s[p + k] - b[left + k];
      const int m = MinOfInts(ct.gaps, w);
      for (int k = 0; k < w; ++k) ct.gaps[k] -= m;
      for (int k = 0; k < w; ++k) cand.h += std::min(static_cast<int>(ct.gaps[k]), 4);
      // Line test: would the rows these blocks come to rest in be completed?
      int completed = 0;
      int tested = 0;
      for (int k = 0; k < w; ++k) {
        if (ct.gaps[k] <= 0) continue;
        const int restRow = s[p + k] - ct.gaps[k] - 1;
        const int gc = left + k;
        for (int gr = 4; gr >= 0; --gr) {
          if (!piece.grid[gr][gc]) continue;
          ++tested;
          const int right = CountRun(piece, gr, gc, +1);
          const int leftRun = CountRun(piece, gr, gc, -1);
          const int filled = restRow < 0 ? 0 : board.CountRow(restRow);
          if (filled + leftRun + right + 1 == wellWidth) ++completed;
        }
      }
      LineBonus(completed, tested, bonus);
      cand.h = std::min(cand.h, 3);
      int score = 0;
      switch (ct.level) {
        case 0:
          score = 10 * cand.v + 5 * cand.f + cand.h;
          break;
        case 1:
          score = 10 * cand.f - cand.h;
          break;
        case 2:
          score = 5 * cand.f + cand.v - 10 * cand.h + cand.p;
          break;
        case 3:
          score = 3 * cand.f + 2 * cand.v - 3 * cand.h + cand.p + bonus;
          break;
        case 4:
          score = 3 * cand.f + cand.v - 4 * cand.h + cand.p + bonus;
          break;
        default:
          break;
      }
      if (cand.h == 0) score += 100;
      if (cand.h == 1) score += 5;
      // Column p is already filled into the top three rows of a stack that is low on average.
      if (total > 75 && s[p] < 3) score -= 10000;
      if (ct.level == 0 && cand.h == 0) score -= 995;
      if (ct.level == 1 && 2 < p && p < wellWidth - w - 2) score -= 12;
      if (ct.level == 2) {
        if (ct.danger == 0 && w != 1 && p == wellWidth - w) score -= 5000;
        if (w == 1 && cand.f < 8) score -= 100;
        if (w == 1 && p == wellWidth - w) score -= 1;
      }
      if (ct.danger == 1) score += 8 * s[p];
      if (ct.danger == 2) score += 80 * s[p];
      if ((ct.danger == 1 || ct.danger == 2) && cand.f < 0) score = score - 100 + 3 * cand.f;
      if (score > best) {
        ct.targetColumn = p + 2 - left;
        ct.targetRotation = q;
        ct.decided = 1;
        best = score;
      }
    }
    // The real piece is turned; a refused turn leaves the next index measuring the same grid.
    piece.Rotate(board, 0, piece.TurnSize());
  }
}

}  // namespace

void AiSetLevel(Controller& controller, int level) { controller.level = level; }

int AiThinkDelay(int level) {
  switch (level) {
    case 0:
      return 200;
    case 1:
      return 70;
    case 2:
      return 30;
    case 3:
      return 18;
    case 4:
      return 3;
    default:
      return 10;
  }
}

int MinOfInts(const int32_t* values, int count) {
  int least = 9999;
  for (int i = 0; i < count; ++i) least = std::min(least, static_cast<int>(values[i]));
  return least;
}

void AiMeasureSurface(Controller& ct, const Board& board) {
  for (int i = 0; i < ct.width; ++i) {
    ct.surface[i] = board.height;
    for (int r = 0; r < board.height; ++r) {
      if (board.CellAt(r, i) != 0) {
        ct.surface[i] = r;
        break;
      }
    }
  }
}

void AiMeasurePiece(Controller& ct, const Piece& piece) {
  for (int c = 0; c < 5; ++c) {
    ct.pieceBottoms[c] = 0;
    for (int r = 4; r >= 0; --r) {
      if (piece.grid[r][c]) {
        ct.pieceBottoms[c] = r + 1;
        break;
      }
    }
  }
  ct.emptyLeft = 0;
  while (ct.emptyLeft < 5 && ct.pieceBottoms[ct.emptyLeft] == 0) ++ct.emptyLeft;
  ct.emptyRight = 0;
  while (ct.emptyRight < 5 && ct.pieceBottoms[4 - ct.emptyRight] == 0) ++ct.emptyRight;
  ct.pieceWidth = 5 - ct.emptyLeft - ct.emptyRight;
}

void AiThink(Controller& ct, Board& board, Piece& piece, uint8_t outputs[256]) {
  piece.UpdateCell();
  int bonus = 0;  // the line bonus is carried from candidate to candidate within one search
  if (piece.age <= 1) {
    ct.decided = 0;
    ct.danger = 0;
    ct.targetColumn = 5;
    ct.targetRotation = 0;
    outputs[KEYCODE_UP] = 0;
    outputs[KEYCODE_DOWN] = 0;
    outputs[KEYCODE_RIGHT] = 0;
    outputs[KEYCODE_LEFT] = 0;
    AiMeasureSurface(ct, board);
    AiMeasurePiece(ct, piece);
    if (board.CountRow(8) >= 2) ct.danger = 1;
    if (board.CountRow(5) >= 3) ct.danger = 2;
  }
  if (piece.age == AiThinkDelay(ct.level) - 1 && ct.decided == 0) Search(ct, board, piece, bonus);
  // Touching down beside a column that stands more than three rows higher: slide under it.
  const int col = piece.column;
  if (piece.lockTimer == 10 && col - 1 >= 0 && col < ct.width && ct.surface[col - 1] + 3 < ct.surface[col]) {
    ct.targetColumn = col - 1;
  }
  outputs[KEYCODE_Z] = 0;
  outputs[KEYCODE_X] = 0;
  if (piece.rotation != ct.targetRotation && piece.age % 3 == 2 && ct.decided == 1) outputs[KEYCODE_Z] = 1;
  outputs[KEYCODE_RIGHT] = 0;
  outputs[KEYCODE_LEFT] = 0;
  if (piece.column != ct.targetColumn && piece.age % 2 == 0 && ct.decided == 1) {
    if (piece.column < ct.targetColumn) outputs[KEYCODE_RIGHT] = 1;
    if (piece.column > ct.targetColumn) outputs[KEYCODE_LEFT] = 1;
  }
  if (piece.row >= 5) ct.decided = 1;
  if (piece.column == ct.targetColumn && piece.rotation == ct.targetRotation && ct.decided == 1) {
    if (ct.level >= 0 && ct.level <= 2) {
      outputs[KEYCODE_DOWN] = 1;
    } else if ((ct.level == 3 || ct.level == 4) && ct.danger != 2) {
      outputs[KEYCODE_UP] = 1;  // no hard drop into a well in high danger
    }
  }
}
