// The library entries the game uses, reached through one table.
//
// The table is filled with the library's public entries once, before the game runs; tests
// replace entries with recorders and scripted sources (keys, pads, clock, random draws) so that
// the rules and the screens can be driven frame by frame without a window.
#pragma once

#include <cstdint>

using GameColor = int;

struct GameCalls {
  int (*PumpWindowMessages)();
  int (*EndLibrary)();
  int (*IsKeyDown)(int keyCode);
  int (*GetAllKeyStates)(char* states);
  int (*GetJoypadCount)();
  int (*GetJoypadBits)(int pad);
  int (*GetRandomInt)(int max);
  uint32_t (*GetMillisecondClock)();
  int (*WaitMilliseconds)(int milliseconds);
  GameColor (*MakeColor)(int red, int green, int blue);
  int (*LoadImageFile)(const char* path, int twoDOnly);
  int (*DrawGraphPart)(int x, int y, int srcX, int srcY, int width, int height, int graph, int transparent,
                       int mirror);
  int (*DrawLineSegment)(int x1, int y1, int x2, int y2, GameColor color, int thickness);
  int (*DrawRectangle)(int x1, int y1, int x2, int y2, GameColor color, int filled);
  int (*DrawFormattedText)(int x, int y, GameColor color, const char* format, ...);
  int (*SetDefaultFontSize)(int size);
  int (*ClearDrawTarget)();
  int (*SetDrawTarget)(int target);
  int (*FlipScreen)();
  int (*LoadSoundFile)(const char* path, int bufferCount, int unused);
  int (*PlaySoundHandle)(int handle, int playType, int fromStart);
  int (*PlayMusicFile)(const char* path, int playType);
  int (*StopMusicFile)();
  int (*IsMusicFilePlaying)();
  int (*SetMusicVolume)(int volume);
};

// The table the game calls through; it starts out bound to the library.
extern GameCalls g_calls;

// The table bound to the library's public entries.
GameCalls LibraryGameCalls();
