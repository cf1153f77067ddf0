// A scripted stand-in for the library entries the game calls: keys, pads, clock and random
// draws come from the test; drawing, text, waits and sounds are recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "board.h"
#include "game_calls.h"

struct DrawnPart {
  int x, y, srcX, srcY, width, height, graph;
};

struct DrawnText {
  int x, y;
  GameColor color;
  std::string text;  // as drawn (code page 932)
};

struct FakeLibrary {
  char keys[256] = {};
  int padBits[3] = {};
  int padCount = 0;
  int pumpResult = 0;
  uint32_t clock = 1000;
  std::deque<int> randomValues;  // consumed first; then 0, or a seeded sequence
  uint32_t randomSeed = 0;       // non-zero: draws past the queue follow a xorshift sequence
  int randomDraws = 0;
  std::vector<int> waits;
  std::vector<int> sounds;
  std::vector<DrawnPart> parts;
  std::vector<DrawnText> texts;
  std::vector<std::string> musicPlayed;
  int endLibraryCalls = 0;
  int musicPlaying = 0;
  int fontSize = 16;

  void ClearRecords() {
    waits.clear();
    sounds.clear();
    parts.clear();
    texts.clear();
  }
  // Literals in the tests compile to code page 932, as the game's own texts do.
  bool TextDrawn(const std::string& text) const;
  int SoundCount(int number) const;
};

extern FakeLibrary g_fake;

// Installs the fake into the game's call table and puts the game's global block back to its
// state at start-up; Uninstall binds the table to the library again.
void InstallFakeLibrary();
void UninstallFakeLibrary();

GameColor FakeColor(int red, int green, int blue);

// Fills a well row with `value` except the listed empty columns.
void FillRow(Board& board, int row, int value, std::initializer_list<int> holes = {});

#include <gtest/gtest.h>

// Every game test runs against the fake library.
class GameTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakeLibrary(); }
  void TearDown() override { UninstallFakeLibrary(); }
};
