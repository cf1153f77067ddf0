#include "piece.h"

#include <cstring>
#include "board.h"
#include "controller.h"

#include "fake_library.h"
#include "game_globals.h"

namespace {

class PieceTest : public GameTest {
 protected:
  // A piece of the given shape index; the preview and later pieces are shape 0.
  void MakePiece(int shapeIndex) {
    g_fake.randomValues = {shapeIndex, 2, 0, 0};
    piece.Init(board);
    piece.SetSpeedFactor(1);
    g_fake.randomDraws = 0;
  }
  // One play frame with the counters as they stand.
  void Frame() {
    piece.ApplyKeys(board, keys);
    piece.Step(board);
  }
  // Holds the given keys (counting up as a held key does) for n frames.
  void Hold(std::initializer_list<int> codes, int n) {
    for (int i = 0; i < n; ++i) {
      for (int code : codes) keys[code] = static_cast<int8_t>(keys[code] + 1);
      Frame();
    }
  }
  void Release(std::initializer_list<int> codes) {
    for (int code : codes) keys[code] = 0;
  }

  Board board;
  Piece piece;
  KeyCounters keys = {};
};

TEST_F(PieceTest, SpawnsAtColumnFiveAboveTheWell) {
  MakePiece(8);  // index 8 is shape 1
  EXPECT_EQ(piece.shapeIndex, 8);
  EXPECT_EQ(piece.colour, 3);
  EXPECT_FLOAT_EQ(piece.x, 100.0f);
  EXPECT_FLOAT_EQ(piece.y, -20.0f);
  piece.UpdateCell();
  EXPECT_EQ(piece.column, 5);
  EXPECT_EQ(piece.row, 0);
  EXPECT_EQ(piece.grid[1][1], 1);
  EXPECT_EQ(piece.grid[3][2], 1);
}

TEST_F(PieceTest, TapMovesExactlyOneColumnAndSnaps) {
  MakePiece(0);
  Hold({KEYCODE_LEFT}, 1);
  Release({KEYCODE_LEFT});
  for (int i = 0; i < 4; ++i) Frame();
  EXPECT_FLOAT_EQ(piece.x, 80.0f);
  EXPECT_FLOAT_EQ(piece.vx, 0.0f);
  EXPECT_EQ(piece.column, 4);

  Hold({KEYCODE_RIGHT}, 1);
  Release({KEYCODE_RIGHT});
  for (int i = 0; i < 4; ++i) Frame();
  EXPECT_FLOAT_EQ(piece.x, 100.0f);
  EXPECT_EQ(piece.column, 5);
}

TEST_F(PieceTest, HeldSidewaysKeyMovesPausesOnFramesThreeToFiveThenRepeats) {
  MakePiece(0);
  const float expected[] = {110, 120, 120, 120, 120, 130, 140, 150};
  for (float x : expected) {
    Hold({KEYCODE_RIGHT}, 1);
    EXPECT_FLOAT_EQ(piece.x, x) << "frame " << static_cast<int>(keys[KEYCODE_RIGHT]);
  }
}

TEST_F(PieceTest, DownHeldMakesEverySidewaysFrameMove) {
  MakePiece(0);
  for (int frame = 1; frame <= 6; ++frame) {
    Hold({KEYCODE_RIGHT, KEYCODE_DOWN}, 1);
    EXPECT_FLOAT_EQ(piece.x, 100.0f + 10 * frame);
  }
  Hold({KEYCODE_RIGHT, KEYCODE_DOWN}, 1);
  EXPECT_FLOAT_EQ(piece.x, 160.0f);  // the right wall: the T's right block in column 9
}

TEST_F(PieceTest, BothSidewaysKeysCancelAndTheHalfStepSnapsBack) {
  MakePiece(0);
  Hold({KEYCODE_LEFT, KEYCODE_RIGHT}, 3);
  EXPECT_EQ(piece.horizontalCommand, 0);
  EXPECT_FLOAT_EQ(piece.x, 100.0f);
  EXPECT_EQ(piece.column, 5);
}

TEST_F(PieceTest, HardDropActsFromTheSecondToTheTenthHeldFrame) {
  MakePiece(6);     // the upright I
  piece.y = -1600;  // far above, so that the drop is not cut short by the floor
  for (int frame = 1; frame <= 12; ++frame) {
    keys[KEYCODE_UP] = static_cast<int8_t>(frame);
    const float before = piece.y;
    Frame();
    const float fell = piece.y - before;
    if (frame >= 2 && frame <= 10) {
      EXPECT_NEAR(fell, 160.0f, 0.01f) << frame;
    } else {
      EXPECT_NEAR(fell, 0.2f, 0.001f) << frame;
    }
  }
}

TEST_F(PieceTest, SoftDropOverridesHardDrop) {
  MakePiece(0);
  keys[KEYCODE_UP] = 3;
  keys[KEYCODE_DOWN] = 1;
  piece.ApplyKeys(board, keys);
  EXPECT_FLOAT_EQ(piece.vy, 16.0f);
}

TEST_F(PieceTest, StopsAtTheWallAndBesideSettledBlocks) {
  MakePiece(0);  // T: blocks one column left and right of the pivot
  Hold({KEYCODE_LEFT, KEYCODE_DOWN}, 8);
  EXPECT_FLOAT_EQ(piece.x, 20.0f);
  EXPECT_EQ(piece.column, 1);

  MakePiece(0);
  keys[KEYCODE_LEFT] = 0;
  keys[KEYCODE_DOWN] = 0;
  for (int r = 0; r < 20; ++r) board.rows[r][2] = 7;
  Hold({KEYCODE_LEFT}, 14);
  EXPECT_FLOAT_EQ(piece.x, 80.0f);
  EXPECT_EQ(piece.column, 4);
}

TEST_F(PieceTest, LandsOnASettledBlock) {
  MakePiece(0);
  board.rows[19][5] = 7;
  Hold({KEYCODE_DOWN}, 25);
  EXPECT_EQ(piece.grounded, 1);
  EXPECT_FLOAT_EQ(piece.y, 340.0f);  // the stem rests on row 19
}

TEST_F(PieceTest, LocksOnTheNineteenthGroundedFrameWithOneLandingSound) {
  MakePiece(0);
  piece.y = 359.9f;
  for (int frame = 1; frame <= 18; ++frame) {
    Frame();
    ASSERT_EQ(piece.grounded, 1) << frame;
    ASSERT_EQ(piece.lockTimer, 10 * frame);
  }
  EXPECT_EQ(board.CountRow(18) + board.CountRow(19), 0);
  Frame();
  EXPECT_EQ(board.CountRow(18), 3);
  EXPECT_EQ(board.CountRow(19), 1);
  EXPECT_EQ(board.rows[19][5], 3);
  EXPECT_EQ(piece.age, 0);  // the next piece
  EXPECT_FLOAT_EQ(piece.y, -20.0f);
  EXPECT_EQ(g_fake.SoundCount(kSoundTouchDown), 1);
}

TEST_F(PieceTest, RefusedTurnRestoresGridAndRotation) {
  MakePiece(0);
  piece.y = 205;
  board.rows[9][5] = 7;  // the turned T would reach up into this block
  PieceGrid before;
  Piece::CopyGrid(piece.grid, before);
  piece.Rotate(board, 0, 5);
  EXPECT_EQ(piece.rotation, 0);
  EXPECT_EQ(0, std::memcmp(before, piece.grid, sizeof before));

  board.rows[9][5] = 0;
  piece.Rotate(board, 0, 5);
  EXPECT_EQ(piece.rotation, 1);
  EXPECT_EQ(piece.grid[1][2], 1);
  EXPECT_EQ(piece.grid[2][3], 0);
  piece.Rotate(board, 1, 5);
  EXPECT_EQ(piece.rotation, 0);
  EXPECT_EQ(0, std::memcmp(before, piece.grid, sizeof before));
}

TEST_F(PieceTest, TurnIntoTheWallIsAcceptedAndPushedBack) {
  MakePiece(6);  // the upright I
  piece.x = 0;
  piece.y = 100;
  piece.Rotate(board, 0, 5);  // now lies across columns -1 to 2
  EXPECT_EQ(piece.rotation, 1);
  Frame();
  EXPECT_FLOAT_EQ(piece.x, 20.0f);
}

// A piece turned against a wall while the opposite sideways key acts (held past its pause, so
// every frame) is pushed back inside at once, and then locks with all four blocks in the well.
TEST_F(PieceTest, TurnIntoAWallWhileMovingAwayIsPushedBackAndLocksWhole) {
  struct Case {
    const char* name;
    float startX;       // the upright I at the wall
    int supportColumn;  // a settled block that holds the turned I on row 18
    int movingKey;
    int turnKey;  // the turn that swings the I across the wall
    float pushedX;
    int lockedColumns[4];
  };
  const Case cases[] = {
      {"right wall", 180, 8, KEYCODE_LEFT, KEYCODE_Z, 140, {6, 7, 8, 9}},
      {"left wall", 0, 1, KEYCODE_RIGHT, KEYCODE_X, 40, {1, 2, 3, 4}},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    std::memset(keys, 0, sizeof keys);
    for (int r = 0; r < 20; ++r) FillRow(board, r, 0);
    board.rows[19][t.supportColumn] = 7;
    piece = Piece();
    MakePiece(6);  // the upright I, standing on the floor on rows 16 to 19
    piece.x = t.startX;
    piece.y = 360;
    for (int i = 0; i < 17; ++i) Frame();
    ASSERT_EQ(piece.lockTimer, 170);

    keys[t.movingKey] = 6;
    keys[t.turnKey] = 1;
    Frame();
    ASSERT_EQ(piece.rotation, t.turnKey == KEYCODE_Z ? 1 : 3);
    EXPECT_FLOAT_EQ(piece.x, t.pushedX);
    EXPECT_FLOAT_EQ(piece.vx, 0.0f);
    EXPECT_EQ(t.movingKey == KEYCODE_LEFT ? piece.blockedRight : piece.blockedLeft, 1);
    for (int c = 0; c < 5; ++c) {
      if (!piece.grid[2][c]) continue;
      const float bx = (c - 2) * 20 + piece.x;
      EXPECT_TRUE(bx >= 0 && bx + 20 <= 200) << "grid column " << c << " at " << bx;
    }

    keys[t.movingKey] = 7;
    keys[t.turnKey] = 0;
    Frame();
    ASSERT_EQ(piece.age, 0) << "the turned I has locked";
    EXPECT_EQ(board.CountRow(18), 4);
    for (int k : t.lockedColumns) EXPECT_EQ(board.rows[18][k], 3) << "column " << k;
  }
}

TEST_F(PieceTest, OTurnsOntoItselfButCountsAndSoundsEachTurn) {
  MakePiece(5);
  PieceGrid before;
  Piece::CopyGrid(piece.grid, before);
  for (int turn = 1; turn <= 4; ++turn) {
    keys[KEYCODE_Z] = 1;
    Frame();
    keys[KEYCODE_Z] = 0;
    EXPECT_EQ(piece.rotation, turn % 4);
    EXPECT_EQ(0, std::memcmp(before, piece.grid, sizeof before));
  }
  EXPECT_EQ(g_fake.SoundCount(kSoundTurn), 4);
}

TEST_F(PieceTest, FloorHoldsABlockOnTheBottomRowEvenOutsideTheWalls) {
  MakePiece(0);
  // The resting test alone, on a piece placed with a block in column -1.
  std::memset(piece.grid, 0, sizeof piece.grid);
  piece.grid[2][2] = 1;  // the pivot, at row 18 of column 0, above an empty cell
  piece.grid[3][1] = 1;  // row 19, column -1
  piece.x = 0;
  piece.y = 360;
  piece.UpdateCell();
  EXPECT_EQ(piece.IsResting(board), 1);
  piece.y = 340;  // one row higher nothing holds it
  piece.UpdateCell();
  EXPECT_EQ(piece.IsResting(board), 0);
  board.rows[18][0] = 7;  // but a settled block under the pivot does
  EXPECT_EQ(piece.IsResting(board), 1);
}

TEST_F(PieceTest, LockAboveTheWellTopsOut) {
  MakePiece(5);  // O: its upper blocks sit one row above the pivot
  for (int r = 1; r < 20; ++r) board.rows[r][5] = 7;
  Hold({KEYCODE_DOWN}, 25);
  EXPECT_EQ(board.IsToppedOut(), 1);
}

TEST_F(PieceTest, LockWithoutClearBringsInGarbageAndLockWithClearKeepsIt) {
  MakePiece(6);
  board.AddDamage(1);
  FillRow(board, 19, 7, {0});
  piece.x = 0;  // the upright I in column 0 completes row 19
  piece.y = 360;
  piece.Lock(board);
  EXPECT_EQ(board.GetLines(), 1);
  EXPECT_EQ(board.damage, 1);        // left for the attack exchange
  EXPECT_EQ(g_fake.randomDraws, 2);  // the next piece only
  EXPECT_EQ(board.CountRow(19), 1);

  board.Update();
  piece.y = 100;  // the next piece locks in mid-air without clearing
  piece.Lock(board);
  EXPECT_EQ(board.damage, 0);
  EXPECT_EQ(board.CountRow(19), 9);  // the garbage row
  EXPECT_EQ(board.CountRow(18), 1);
  EXPECT_EQ(g_fake.randomDraws, 2 + 2 + 20);
}

}  // namespace
