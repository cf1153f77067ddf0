#include "game_calls.h"

#include "vexlo.h"

namespace {

// Function addresses are constants, so the table is in place before any static initialiser runs.
constexpr GameCalls kLibraryCalls{
    PumpWindowMessages, EndLibrary,      IsKeyDown,           GetAllKeyStates,    GetJoypadCount,
    GetJoypadBits,      GetRandomInt,    GetMillisecondClock, WaitMilliseconds,   MakeColor,
    LoadImageFile,      DrawGraphPart,   DrawLineSegment,     DrawRectangle,      DrawFormattedText,
    SetDefaultFontSize, ClearDrawTarget, SetDrawTarget,       FlipScreen,         LoadSoundFile,
    PlaySoundHandle,    PlayMusicFile,   StopMusicFile,       IsMusicFilePlaying, SetMusicVolume,
};

}  // namespace

GameCalls LibraryGameCalls() { return kLibraryCalls; }

constinit GameCalls g_calls = kLibraryCalls;
