// The services of other subsystems that the pump, the main window, the
// window procedure and the waits call while the program runs, one small
// table per subsystem, so that tests can record them or script their
// answers. Each table starts filled with the real services;
// ResetServiceHooks puts them back. Services whose calls no test needs to
// see are called directly.
#pragma once
#include <cstdint>

#include "image/rect.h"

// Display back end and graphics: surfaces lost and restored, the display
// mode, the draw target, and presenting the back screen on a repaint.
struct DisplayHooks {
  int (*CheckAllSurface2DLost)();
  int (*RestoreAllSurface3D)();
  int (*RestoreAllGraphSurfaces)();
  int (*ReapplyGraphicsSettings)();
  int (*IsDisplayModeChanged)();
  int (*HasDirectDrawOutput)();
  int (*ReleaseDirectDraw)();
  int (*ReleaseDirect3D)();
  int (*UpdateScreenColorFormat)();
  int (*ChangeScreenMode)(int width, int height, int bits, int flag, int refresh);
  int (*GetDrawTarget)();
  int (*SetDrawTargetRect)(const Rect* rect);
  int (*SetDrawClipRect)(int x1, int y1, int x2, int y2);
  int (*GetFlipWaitVBlank)();
  int (*SetFlipWaitVBlank)(int flag);
  int (*PresentSoftScreen)(const Rect* rect);
};

// Input: ended and started again around a display rebuild, acquiring the
// devices with the window, pad vibration, typed characters and the input
// method, and the any-input test of the key wait.
struct InputHooks {
  int (*TermInput)();
  int (*InitInput)();
  int (*RequestImeRestoreOnActivate)();
  int (*RefreshInputAcquire)();
  int (*ApplyPadVibration)();
  int (*UpdatePadVibrationTimers)();
  int (*PushTypedChar)(unsigned char code);
  int (*IsTypedCharBufferFull)();
  intptr_t (*HandleImeMessage)(void* window, uint32_t message, uintptr_t first, intptr_t second);
  int (*EditActiveTextInput)();
  int (*GetAnyInputDown)(int flags);
};

// Fonts: started again with a change of the screen mode, their caches made
// again after a display rebuild.
struct FontHooks {
  int (*InitializeFontSystem)();
  int (*TerminateFontSystem)();
  int (*RecreateAllFonts)();
};

// Sound: the streams that are fed on every pump call, the music state, and
// the play that a wait for a sound's end watches.
struct SoundHooks {
  int (*ProcessAllStreamSounds)();
  int (*PollDirectMusicState)();
  int (*CheckSoundPlaying)(int handle);
  int64_t (*GetSoundTotalTime)(int handle);
};

// Movies: paused and resumed with the window, released before a display
// change and reopened after the display was rebuilt, drawn while the window
// waits to be active.
struct MovieHooks {
  int (*PauseAllMoviePlayback)();
  int (*ResumeAllMoviePlayback)();
  int (*ReleaseAllMovieStreams)();
  int (*ReopenAllMovies)();
  int (*DrawAllMoviesToScreen)();
};

// Network: socket messages and HTTP transfers stepped by the pump.
struct NetworkHooks {
  int (*PumpNetWorkMessages)(int closeFinished);
  int (*StepAllHttpTransfers)();
  int (*GetHttpTransferCount)();
  int (*IsHttpTransferSlotLive)(int slot);
  int (*StepHttpTransfer)(int slot);
};

extern DisplayHooks DisplayServices;
extern InputHooks InputServices;
extern FontHooks FontServices;
extern SoundHooks SoundServices;
extern MovieHooks MovieServices;
extern NetworkHooks NetworkServices;

// Puts every real service back into the tables.
void ResetServiceHooks();
