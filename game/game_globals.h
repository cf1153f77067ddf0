// The game's global block: match settings, the round-over flag, the image and sound tables and
// the frame pacer's history.
#pragma once

#include <cstdint>

constexpr int kImageSlots = 8;
constexpr int kSoundSlots = 11;

enum ImageSlot {
  kImageBlocks = 0,  // block sheet: cells, blocks, cursor, win tokens, damage bar
  kImageTitle = 1,
  kImageBackground1P = 2,
  kImageBackground2P = 3,
  kImageBanners = 5,  // "win" and "lose" banners
  kImageFaces = 6,    // the computer player's faces
  kImageSettings = 7,
};

enum GameSound {
  kSoundTouchDown = 0,
  kSoundRoundStart = 1,
  kSoundTurn = 2,
  kSoundClear1 = 3,
  kSoundClear2 = 4,
  kSoundClear3 = 5,
  kSoundClear4 = 6,
  kSoundMenu = 7,
  kSoundLose = 8,
  kSoundWin = 9,
};

struct GameGlobals {
  int32_t offsetRule;  // 1: cleared rows first cancel the board's own damage
  int32_t winsNeeded;  // won rounds that take the match, 1 to 5
  int32_t imageHandles[kImageSlots];
  uint8_t roundOver;                  // 1 once a board of this round has a result or topped out
  int32_t soundHandles[kSoundSlots];  // slot 10 is never loaded
  uint32_t pacerTimes[3];             // clock at the last, second-to-last, third-to-last pacing
  uint8_t pacerSeeded[3];
};

extern GameGlobals g_game;

// Called for every game sound played, before the library plays it (tests listen here).
using GameSoundObserver = void (*)(int number);
extern GameSoundObserver g_gameSoundObserver;

constexpr const char* kMusicPath = "sound\\violin.mp3";

void InitSoundHandleTable();
void LoadGameImages();
void LoadGameSounds();
void PlayGameSound(int number);
void PaceFrame();
