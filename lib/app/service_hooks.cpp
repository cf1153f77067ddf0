#include "app/service_hooks.h"

#include "font/font.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/soft/display.h"
#include "input/input.h"
#include "movie/movie.h"
#include "network/network.h"
#include "sound/sound.h"

namespace {

constexpr DisplayHooks kDisplay = {
    .CheckAllSurface2DLost = CheckAllSurface2DLost,
    .RestoreAllSurface3D = RestoreAllSurface3D,
    .RestoreAllGraphSurfaces = RestoreAllGraphSurfaces,
    .ReapplyGraphicsSettings = ReapplyGraphicsSettings,
    .IsDisplayModeChanged = IsDisplayModeChanged,
    .HasDirectDrawOutput = HasDirectDrawOutput,
    .ReleaseDirectDraw = ReleaseDirectDraw,
    .ReleaseDirect3D = ReleaseDirect3D,
    .UpdateScreenColorFormat = UpdateScreenColorFormat,
    .ChangeScreenMode = ChangeScreenMode,
    .GetDrawTarget = GetDrawTarget,
    .SetDrawTargetRect = SetDrawTargetRect,
    .SetDrawClipRect = SetDrawClipRect,
    .GetFlipWaitVBlank = GetFlipWaitVBlank,
    .SetFlipWaitVBlank = SetFlipWaitVBlank,
    .PresentSoftScreen = PresentSoftScreen,
};

constexpr InputHooks kInput = {
    .TermInput = TermInput,
    .InitInput = InitInput,
    .RequestImeRestoreOnActivate = RequestImeRestoreOnActivate,
    .RefreshInputAcquire = RefreshInputAcquire,
    .ApplyPadVibration = ApplyPadVibration,
    .UpdatePadVibrationTimers = UpdatePadVibrationTimers,
    .PushTypedChar = PushTypedChar,
    .IsTypedCharBufferFull = IsTypedCharBufferFull,
    .HandleImeMessage = HandleImeMessage,
    .EditActiveTextInput = EditActiveTextInput,
    .GetAnyInputDown = GetAnyInputDownImpl,
};

constexpr FontHooks kFont = {
    .InitializeFontSystem = InitializeFontSystem,
    .TerminateFontSystem = TerminateFontSystem,
    .RecreateAllFonts = RecreateAllFonts,
};

constexpr SoundHooks kSound = {
    .ProcessAllStreamSounds = ProcessAllStreamSounds,
    .PollDirectMusicState = PollDirectMusicState,
    .CheckSoundPlaying = CheckSoundPlaying,
    .GetSoundTotalTime = GetSoundTotalTime,
};

constexpr MovieHooks kMovie = {
    .PauseAllMoviePlayback = PauseAllMoviePlayback,
    .ResumeAllMoviePlayback = ResumeAllMoviePlayback,
    .ReleaseAllMovieStreams = ReleaseAllMovieStreams,
    .ReopenAllMovies = ReopenAllMovies,
    .DrawAllMoviesToScreen = DrawAllMoviesToScreen,
};

constexpr NetworkHooks kNetwork = {
    .PumpNetWorkMessages = PumpNetWorkMessages,
    .StepAllHttpTransfers = StepAllHttpTransfers,
    .GetHttpTransferCount = GetHttpTransferCount,
    .IsHttpTransferSlotLive = IsHttpTransferSlotLive,
    .StepHttpTransfer = StepHttpTransfer,
};

}  // namespace

DisplayHooks DisplayServices = kDisplay;
InputHooks InputServices = kInput;
FontHooks FontServices = kFont;
SoundHooks SoundServices = kSound;
MovieHooks MovieServices = kMovie;
NetworkHooks NetworkServices = kNetwork;

void ResetServiceHooks() {
  DisplayServices = kDisplay;
  InputServices = kInput;
  FontServices = kFont;
  SoundServices = kSound;
  MovieServices = kMovie;
  NetworkServices = kNetwork;
}
