#include "app/services.h"

#include "core/alloc.h"
#include "core/log.h"
#include "app/startup.h"
#include "core/sysreport.h"
#include "file/fileaccess.h"
#include "file/openfile.h"
#include "file/stream.h"
#include "input/input.h"
#include "sound/sound.h"

namespace {

const LibraryServiceTable kRealServices = {
    .GetSoftwareRenderRequest = GetSoftwareRenderRequest,
    .SelectRenderMode = SelectRenderMode,
    .InitYuvToRgbTables = InitYuvToRgbTables,
    .InitFileAccess = InitFileAccess,
    .SelectFileAccessBackend = SelectFileAccessBackend,
    .GetCurrentDir = GetDirDispatch,
    .LogFileInit = LogFileInit,
    .GetScreenColorBits = GetScreenColorBits,
    .LogSystemInfo = LogSystemInfo,
    .SetSeparateBackLayout = SetSeparateBackLayout,
    .InitStreamFunctionTables = InitStreamFunctionTables,
    .SetGraphRestoreCallback = SetGraphRestoreCallback,
    .ComInitialize = ComInitializeDefault,
    .ComUninitialize = ComUninitializeDefault,
    .ClearHttpTransferTable = ClearHttpTransferTable,
    .InitInput = InitInput,
    .InitializeSound = InitializeSound,
    .InitGraphicsDevice = InitGraphicsDevice,
    .InitCharCodeBuffer = InitCharCodeBuffer,
    .SetFlipWaitVBlank = SetFlipWaitVBlank,
    .GetFlipWaitVBlank = GetFlipWaitVBlank,
    .SetDrawTarget = SetDrawTargetImpl,
    .WarmUpDraws = RunWarmUpDraws,

    .DeleteAllHttpTransfers = DeleteAllHttpTransfers,
    .EndNetWorkSystem = EndNetWorkSystem,
    .StopMusicFile = StopMusicFileImpl,
    .TermGraphicsDevice = TermGraphicsDevice,
    .TermInput = TermInput,
    .TerminateSound = TerminateSound,
    .SetCurrentDir = ChangeDirDispatch,
    .EndFileAccess = EndFileAccess,
    .DumpAllocations = DumpAllocations,

    .EndCharCodeBuffer = EndCharCodeBuffer,
    .UpdateDoubleByteTextFlag = UpdateDoubleByteTextFlag,
    .GetScreenSize = GetScreenSize,
    .ChangeScreenMode = ChangeScreenMode,
    .GetDrawTarget = GetDrawTarget,
    .GetSeparateBackLayout = GetSeparateBackLayout,
    .SetDrawTargetRect = SetDrawTargetRect,
    .GetStoredDrawClipArgs = GetStoredDrawClipArgs,
    .SetDrawClipRect = SetDrawClipRect,
    .GetFlipToGdiMode = GetFlipToGdiMode,
    .SetFlipToGdiMode = SetFlipToGdiMode,

    .PumpNetWorkMessages = PumpNetWorkMessages,
    .StepAllHttpTransfers = StepAllHttpTransfers,
    .StepHttpTransfer = StepHttpTransfer,
    .GetHttpTransferCount = GetHttpTransferCount,
    .IsHttpTransferSlotLive = IsHttpTransferSlotLive,
    .ProcessAllStreamSounds = ProcessAllStreamSounds,
    .DrawAllMoviesToScreen = DrawAllMoviesToScreen,
    .PollDirectMusicState = PollDirectMusicState,
    .UpdatePadVibrationTimers = UpdatePadVibrationTimers,
    .EditActiveTextInput = EditActiveTextInput,
    .RestoreAllGraphSurfaces = RestoreAllGraphSurfaces,

    .GetAnyInputDown = GetAnyInputDownImpl,

    .PushTypedChar = PushTypedChar,
    .IsTypedCharBufferFull = IsTypedCharBufferFull,
    .HandleImeMessage = HandleImeMessage,
    .RequestImeRestoreOnActivate = RequestImeRestoreOnActivate,
    .CheckAllSurface2DLost = CheckAllSurface2DLost,
    .RestoreAllSurface3D = RestoreAllSurface3D,
    .ReapplyGraphicsSettings = ReapplyGraphicsSettings,
    .ResumeAllMoviePlayback = ResumeAllMoviePlayback,
    .PauseAllMoviePlayback = PauseAllMoviePlayback,
    .ReleaseAllMovieStreams = ReleaseAllMovieStreams,
    .RefreshInputAcquire = RefreshInputAcquire,
    .ApplyPadVibration = ApplyPadVibration,
    .IsDisplayModeChanged = IsDisplayModeChanged,
    .HasDirectDrawOutput = HasDirectDrawOutput,
    .GetDirectDrawObject = GetDirectDrawObject,
    .ReleaseDirectDraw = ReleaseDirectDraw,
    .ReleaseDirect3D = ReleaseDirect3D,
    .PresentSoftScreen = PresentSoftScreen,
    .GetScreenModeInfo = GetScreenModeInfo,
    .UpdateScreenColorFormat = UpdateScreenColorFormat,
    .OnMciNotify = OnMciNotify,
    .OnSocketMessage = OnSocketMessage,
};

}  // namespace

LibraryServiceTable LibraryServices = kRealServices;

void ResetLibraryServices() { LibraryServices = kRealServices; }
