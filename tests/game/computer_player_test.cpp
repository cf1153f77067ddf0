#include <vector>

#include "board.h"
#include "controller.h"
#include "fake_library.h"
#include "piece.h"

namespace {

class ComputerPlayerTest : public GameTest {
 protected:
  void SetUpPlayer(int level, int shapeIndex) {
    g_fake.randomValues = {shapeIndex, 0, 0, 0};
    piece.Init(board);
    piece.SetSpeedFactor(1);
    computer.Init(board);
    AiSetLevel(computer, level);
  }
  // One play frame of the computer player's well.
  void Frame() {
    computer.RunComputer(board, piece);
    piece.ApplyKeys(board, computer.counters);
    piece.Step(board);
  }

  Board board;
  Piece piece;
  Controller computer;
};

TEST_F(ComputerPlayerTest, SearchesOnceAtTheThinkDelayOfItsLevel) {
  const int delays[] = {200, 70, 30, 18, 3};
  for (int level = 0; level <= 4; ++level) {
    SetUpPlayer(level, 0);
    for (int age = 0; age < delays[level]; ++age) {
      piece.age = age;
      AiThink(computer, board, piece, computer.keyOutputs);
      ASSERT_EQ(computer.decided, age == delays[level] - 1 ? 1 : 0) << level << " " << age;
    }
  }
  EXPECT_EQ(AiThinkDelay(7), 10);
}

TEST_F(ComputerPlayerTest, TiesGoToTheEarlierCandidate) {
  // Empty well, level 1: the upside-down T fits flat at both walls with the same score;
  // the left wall comes first.
  SetUpPlayer(1, 0);
  for (int age = 0; age <= 69; ++age) {
    piece.age = age;
    AiThink(computer, board, piece, computer.keyOutputs);
  }
  EXPECT_EQ(computer.decided, 1);
  EXPECT_EQ(computer.targetRotation, 2);
  EXPECT_EQ(computer.targetColumn, 1);
  EXPECT_EQ(piece.rotation, 0);  // four accepted turns bring the piece back
}

TEST_F(ComputerPlayerTest, FillsTheWellOfATallHoleWithTheUprightI) {
  // Level 2 keeps away from the right wall with wide pieces, so the I goes upright into the
  // one-column hole at the left wall.
  SetUpPlayer(2, 6);
  for (int r = 14; r < 20; ++r) FillRow(board, r, 7, {0});
  for (int age = 0; age <= 29; ++age) {
    piece.age = age;
    AiThink(computer, board, piece, computer.keyOutputs);
  }
  EXPECT_EQ(computer.targetColumn, 0);
  EXPECT_EQ(computer.targetRotation % 2, 0);
}

TEST_F(ComputerPlayerTest, LevelFourTurnsEveryThirdFrameAndStepsEveryOther) {
  SetUpPlayer(4, 0);
  for (int age = 0; age < 2; ++age) Frame();
  computer.decided = 1;  // a target three turns and four columns away
  computer.targetRotation = 3;
  computer.targetColumn = 1;
  std::vector<int> turns;
  std::vector<int> steps;
  for (int frame = 0; frame < 14; ++frame) {
    const int age = piece.age;
    Frame();
    if (computer.keyOutputs[KEYCODE_Z]) turns.push_back(age);
    if (computer.keyOutputs[KEYCODE_LEFT]) steps.push_back(age);
  }
  EXPECT_EQ(turns, (std::vector<int>{2, 5, 8}));
  EXPECT_EQ(steps, (std::vector<int>{2, 4, 6, 8}));
  EXPECT_EQ(piece.column, 1);
  EXPECT_EQ(piece.rotation, 3);
  EXPECT_EQ(computer.keyOutputs[KEYCODE_UP], 1);  // aligned: hard drop
  EXPECT_EQ(computer.keyOutputs[KEYCODE_DOWN], 0);
}

TEST_F(ComputerPlayerTest, HighDangerSteersButNeverDrops) {
  SetUpPlayer(4, 0);
  FillRow(board, 5, 0);
  board.rows[5][0] = board.rows[5][1] = board.rows[5][2] = 7;
  for (int r = 6; r < 20; ++r) FillRow(board, r, 7, {9});
  for (int frame = 0; frame < 30; ++frame) Frame();
  EXPECT_EQ(computer.danger, 2);
  EXPECT_EQ(computer.decided, 1);
  EXPECT_EQ(computer.keyOutputs[KEYCODE_UP], 0);
  EXPECT_EQ(computer.keyOutputs[KEYCODE_DOWN], 0);
}

TEST_F(ComputerPlayerTest, RaisedDangerFromRowEight) {
  SetUpPlayer(3, 0);
  board.rows[8][0] = board.rows[8][9] = 7;
  for (int r = 9; r < 20; ++r) FillRow(board, r, 7, {4});
  Frame();
  EXPECT_EQ(computer.danger, 1);
}

TEST_F(ComputerPlayerTest, PieceThatFallsToRowFiveBeforeThinkingGoesToColumnFive) {
  SetUpPlayer(0, 0);
  piece.y = 100;  // row 5
  piece.x = 60;
  for (int frame = 0; frame < 12; ++frame) Frame();
  EXPECT_EQ(computer.decided, 1);
  EXPECT_EQ(computer.targetColumn, 5);
  EXPECT_EQ(computer.targetRotation, 0);
  EXPECT_EQ(piece.column, 5);
  EXPECT_EQ(computer.keyOutputs[KEYCODE_DOWN], 1);  // levels 0 to 2 soft-drop
}

TEST_F(ComputerPlayerTest, TouchDownBesideAHighColumnSlidesUnderIt) {
  SetUpPlayer(0, 0);
  piece.age = 50;
  piece.x = 100;
  piece.lockTimer = 10;
  for (int i = 0; i < 10; ++i) computer.surface[i] = 20;
  computer.surface[4] = 17;  // exactly three rows higher: no nudge
  AiThink(computer, board, piece, computer.keyOutputs);
  EXPECT_EQ(computer.targetColumn, 5);
  computer.surface[4] = 16;
  AiThink(computer, board, piece, computer.keyOutputs);
  EXPECT_EQ(computer.targetColumn, 4);
}

TEST_F(ComputerPlayerTest, MeasuresSurfaceAndPieceProfile) {
  SetUpPlayer(0, 6);
  board.rows[12][3] = 7;
  board.rows[19][3] = 7;
  AiMeasureSurface(computer, board);
  EXPECT_EQ(computer.surface[3], 12);
  EXPECT_EQ(computer.surface[0], 20);
  AiMeasurePiece(computer, piece);
  EXPECT_EQ(computer.emptyLeft, 2);
  EXPECT_EQ(computer.emptyRight, 2);
  EXPECT_EQ(computer.pieceWidth, 1);
  EXPECT_EQ(computer.pieceBottoms[2], 4);
  EXPECT_EQ(MinOfInts(computer.pieceBottoms, 0), 9999);
  EXPECT_EQ(MinOfInts(computer.pieceBottoms, 5), 0);
}

}  // namespace
