// The services of other subsystems that start-up, shutdown, the message pump
// and the window procedure call, gathered in one table so that tests can put
// recording or failing fakes in place of them. The table starts filled with
// the real services; ResetLibraryServices puts them back.
#pragma once
#include <cstdint>

#include "app/neighbours.h"

struct LibraryServiceTable {
  // Start-up, in the order it calls them.
  int (*GetSoftwareRenderRequest)();
  int (*SelectRenderMode)(int flag);
  int (*InitYuvToRgbTables)();
  int (*InitFileAccess)();
  int (*SelectFileAccessBackend)(void* reserved);
  int (*GetCurrentDir)(char* buffer);
  int (*LogFileInit)();
  int (*GetScreenColorBits)();
  int (*LogSystemInfo)();
  int (*SetSeparateBackLayout)(int flag);
  int (*InitStreamFunctionTables)();
  int (*SetGraphRestoreCallback)(GraphRestoreCallback callback);
  int (*ComInitialize)();
  void (*ComUninitialize)();
  int (*ClearHttpTransferTable)();
  int (*InitInput)();
  int (*InitializeSound)();
  int (*InitGraphicsDevice)(void* mainWindow);
  int (*InitCharCodeBuffer)();
  int (*SetFlipWaitVBlank)(int flag);
  int (*GetFlipWaitVBlank)();
  int (*SetDrawTarget)(int target);
  int (*WarmUpDraws)();

  // Shutdown.
  int (*DeleteAllHttpTransfers)();
  int (*EndNetWorkSystem)();
  int (*StopMusicFile)();
  int (*TermGraphicsDevice)();
  int (*TermInput)();
  int (*TerminateSound)();
  int (*SetCurrentDir)(const char* path);
  int (*EndFileAccess)();
  void (*DumpAllocations)();

  // Main window.
  int (*EndCharCodeBuffer)();
  int (*UpdateDoubleByteTextFlag)();
  int (*GetScreenSize)(int* width, int* height);
  int (*ChangeScreenMode)(int width, int height, int bits, int flag, int refresh);
  int (*GetDrawTarget)();
  int (*GetSeparateBackLayout)();
  int (*SetDrawTargetRect)(const Rect* rect);
  int (*GetStoredDrawClipArgs)(Rect* rect);
  int (*SetDrawClipRect)(int x1, int y1, int x2, int y2);
  int (*GetFlipToGdiMode)();
  int (*SetFlipToGdiMode)(int flag);

  // Message pump.
  int (*PumpNetWorkMessages)(int closeFinished);
  int (*StepAllHttpTransfers)();
  int (*StepHttpTransfer)(int slot);
  int (*GetHttpTransferCount)();
  int (*IsHttpTransferSlotLive)(int slot);
  int (*ProcessAllStreamSounds)();
  int (*DrawAllMoviesToScreen)();
  int (*PollDirectMusicState)();
  int (*UpdatePadVibrationTimers)();
  int (*EditActiveTextInput)();
  int (*RestoreAllGraphSurfaces)();

  // Waits.
  int (*GetAnyInputDown)(int flags);

  // Window procedure.
  int (*PushTypedChar)(unsigned char code);
  int (*IsTypedCharBufferFull)();
  intptr_t (*HandleImeMessage)(void* window, uint32_t message, uintptr_t first, intptr_t second);
  int (*RequestImeRestoreOnActivate)();
  int (*CheckAllSurface2DLost)();
  int (*RestoreAllSurface3D)();
  int (*ReapplyGraphicsSettings)();
  int (*ResumeAllMoviePlayback)();
  int (*PauseAllMoviePlayback)();
  int (*ReleaseAllMovieStreams)();
  int (*RefreshInputAcquire)();
  int (*ApplyPadVibration)();
  int (*IsDisplayModeChanged)();
  int (*HasDirectDrawOutput)();
  void* (*GetDirectDrawObject)();
  int (*ReleaseDirectDraw)();
  int (*ReleaseDirect3D)();
  int (*PresentSoftScreen)(const Rect* rect);
  int (*GetScreenModeInfo)(int* width, int* height, int* bits);
  int (*UpdateScreenColorFormat)();
  int (*OnMciNotify)(void* window, uint32_t message, uintptr_t first, intptr_t second);
  intptr_t (*OnSocketMessage)(uintptr_t socket, intptr_t eventAndError);
};

extern LibraryServiceTable LibraryServices;

// Puts every real service back into the table.
void ResetLibraryServices();
