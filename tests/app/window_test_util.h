// Helpers for the tests of start-up, the main window, the pump and the
// window procedure: the scripted window back end, a fake clock, and a
// recording fake for every service those parts call in other subsystems.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "app/main_window.h"
#include "app/pump.h"
#include "app/services.h"
#include "app/startup.h"
#include "core/system_state.h"
#include "platform/window.h"
#include "platform/window_fake.h"
#include "vexlo.h"

namespace wintest {

inline std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}
inline std::map<int, int>& Results() {
  static std::map<int, int> results;
  return results;
}
inline std::vector<std::string>& Names() {
  static std::vector<std::string> names(128);
  return names;
}

template <int Id, typename F>
struct Recorder;
template <int Id, typename R, typename... A>
struct Recorder<Id, R (*)(A...)> {
  static R Call(A...) {
    Calls().push_back(Names()[Id]);
    if constexpr (std::is_void_v<R>) {
      return;
    } else if constexpr (std::is_pointer_v<R>) {
      return nullptr;
    } else {
      auto it = Results().find(Id);
      return R(it == Results().end() ? 0 : it->second);
    }
  }
};

template <int Id, typename F>
void Hook(F& slot, const char* name) {
  Names()[Id] = name;
  slot = &Recorder<Id, F>::Call;
}

// Service ids for making one fail.
enum ServiceId {
  S_GetSoftwareRenderRequest, S_SelectRenderMode, S_InitYuvToRgbTables, S_InitFileAccess,
  S_SelectFileAccessBackend, S_GetCurrentDir, S_LogFileInit, S_GetScreenColorBits, S_LogSystemInfo,
  S_SetSeparateBackLayout, S_InitStreamFunctionTables, S_SetGraphRestoreCallback, S_ComInitialize,
  S_ComUninitialize, S_ClearHttpTransferTable, S_InitInput, S_InitializeSound, S_InitGraphicsDevice,
  S_InitCharCodeBuffer, S_SetFlipWaitVBlank, S_GetFlipWaitVBlank, S_SetDrawTarget, S_WarmUpDraws,
  S_DeleteAllHttpTransfers, S_EndNetWorkSystem, S_StopMusicFile, S_TermGraphicsDevice, S_TermInput,
  S_TerminateSound, S_SetCurrentDir, S_EndFileAccess, S_DumpAllocations, S_EndCharCodeBuffer,
  S_UpdateDoubleByteTextFlag, S_GetScreenSize, S_ChangeScreenMode, S_GetDrawTarget, S_GetSeparateBackLayout,
  S_SetDrawTargetRect, S_GetStoredDrawClipArgs, S_SetDrawClipRect, S_GetFlipToGdiMode, S_SetFlipToGdiMode,
  S_PumpNetWorkMessages, S_StepAllHttpTransfers, S_StepHttpTransfer, S_GetHttpTransferCount,
  S_IsHttpTransferSlotLive, S_ProcessAllStreamSounds, S_DrawAllMoviesToScreen, S_PollDirectMusicState,
  S_UpdatePadVibrationTimers, S_EditActiveTextInput, S_RestoreAllGraphSurfaces, S_PushTypedChar,
  S_IsTypedCharBufferFull, S_HandleImeMessage, S_RequestImeRestoreOnActivate, S_CheckAllSurface2DLost,
  S_RestoreAllSurface3D, S_ReapplyGraphicsSettings, S_ResumeAllMoviePlayback, S_PauseAllMoviePlayback,
  S_ReleaseAllMovieStreams, S_RefreshInputAcquire, S_ApplyPadVibration, S_IsDisplayModeChanged,
  S_HasDirectDrawOutput, S_GetDirectDrawObject, S_ReleaseDirectDraw, S_ReleaseDirect3D, S_PresentSoftScreen,
  S_GetScreenModeInfo, S_UpdateScreenColorFormat, S_OnMciNotify, S_OnSocketMessage, S_GetAnyInputDown,
};

// Every service becomes a recording fake answering 0 (or what Results()
// says for its id).
inline void InstallRecordingServices() {
  LibraryServiceTable& t = LibraryServices;
  Hook<S_GetSoftwareRenderRequest>(t.GetSoftwareRenderRequest, "GetSoftwareRenderRequest");
  Hook<S_SelectRenderMode>(t.SelectRenderMode, "SelectRenderMode");
  Hook<S_InitYuvToRgbTables>(t.InitYuvToRgbTables, "InitYuvToRgbTables");
  Hook<S_InitFileAccess>(t.InitFileAccess, "InitFileAccess");
  Hook<S_SelectFileAccessBackend>(t.SelectFileAccessBackend, "SelectFileAccessBackend");
  Hook<S_GetCurrentDir>(t.GetCurrentDir, "GetCurrentDir");
  Hook<S_LogFileInit>(t.LogFileInit, "LogFileInit");
  Hook<S_GetScreenColorBits>(t.GetScreenColorBits, "GetScreenColorBits");
  Hook<S_LogSystemInfo>(t.LogSystemInfo, "LogSystemInfo");
  Hook<S_SetSeparateBackLayout>(t.SetSeparateBackLayout, "SetSeparateBackLayout");
  Hook<S_InitStreamFunctionTables>(t.InitStreamFunctionTables, "InitStreamFunctionTables");
  Hook<S_SetGraphRestoreCallback>(t.SetGraphRestoreCallback, "SetGraphRestoreCallback");
  Hook<S_ComInitialize>(t.ComInitialize, "ComInitialize");
  Hook<S_ComUninitialize>(t.ComUninitialize, "ComUninitialize");
  Hook<S_ClearHttpTransferTable>(t.ClearHttpTransferTable, "ClearHttpTransferTable");
  Hook<S_InitInput>(t.InitInput, "InitInput");
  Hook<S_InitializeSound>(t.InitializeSound, "InitializeSound");
  Hook<S_InitGraphicsDevice>(t.InitGraphicsDevice, "InitGraphicsDevice");
  Hook<S_InitCharCodeBuffer>(t.InitCharCodeBuffer, "InitCharCodeBuffer");
  Hook<S_SetFlipWaitVBlank>(t.SetFlipWaitVBlank, "SetFlipWaitVBlank");
  Hook<S_GetFlipWaitVBlank>(t.GetFlipWaitVBlank, "GetFlipWaitVBlank");
  Hook<S_SetDrawTarget>(t.SetDrawTarget, "SetDrawTarget");
  Hook<S_WarmUpDraws>(t.WarmUpDraws, "WarmUpDraws");
  Hook<S_DeleteAllHttpTransfers>(t.DeleteAllHttpTransfers, "DeleteAllHttpTransfers");
  Hook<S_EndNetWorkSystem>(t.EndNetWorkSystem, "EndNetWorkSystem");
  Hook<S_StopMusicFile>(t.StopMusicFile, "StopMusicFile");
  Hook<S_TermGraphicsDevice>(t.TermGraphicsDevice, "TermGraphicsDevice");
  Hook<S_TermInput>(t.TermInput, "TermInput");
  Hook<S_TerminateSound>(t.TerminateSound, "TerminateSound");
  Hook<S_SetCurrentDir>(t.SetCurrentDir, "SetCurrentDir");
  Hook<S_EndFileAccess>(t.EndFileAccess, "EndFileAccess");
  Hook<S_DumpAllocations>(t.DumpAllocations, "DumpAllocations");
  Hook<S_EndCharCodeBuffer>(t.EndCharCodeBuffer, "EndCharCodeBuffer");
  Hook<S_UpdateDoubleByteTextFlag>(t.UpdateDoubleByteTextFlag, "UpdateDoubleByteTextFlag");
  Hook<S_GetScreenSize>(t.GetScreenSize, "GetScreenSize");
  Hook<S_ChangeScreenMode>(t.ChangeScreenMode, "ChangeScreenMode");
  Hook<S_GetDrawTarget>(t.GetDrawTarget, "GetDrawTarget");
  Hook<S_GetSeparateBackLayout>(t.GetSeparateBackLayout, "GetSeparateBackLayout");
  Hook<S_SetDrawTargetRect>(t.SetDrawTargetRect, "SetDrawTargetRect");
  Hook<S_GetStoredDrawClipArgs>(t.GetStoredDrawClipArgs, "GetStoredDrawClipArgs");
  Hook<S_SetDrawClipRect>(t.SetDrawClipRect, "SetDrawClipRect");
  Hook<S_GetFlipToGdiMode>(t.GetFlipToGdiMode, "GetFlipToGdiMode");
  Hook<S_SetFlipToGdiMode>(t.SetFlipToGdiMode, "SetFlipToGdiMode");
  Hook<S_PumpNetWorkMessages>(t.PumpNetWorkMessages, "PumpNetWorkMessages");
  Hook<S_StepAllHttpTransfers>(t.StepAllHttpTransfers, "StepAllHttpTransfers");
  Hook<S_StepHttpTransfer>(t.StepHttpTransfer, "StepHttpTransfer");
  Hook<S_GetHttpTransferCount>(t.GetHttpTransferCount, "GetHttpTransferCount");
  Hook<S_IsHttpTransferSlotLive>(t.IsHttpTransferSlotLive, "IsHttpTransferSlotLive");
  Hook<S_ProcessAllStreamSounds>(t.ProcessAllStreamSounds, "ProcessAllStreamSounds");
  Hook<S_DrawAllMoviesToScreen>(t.DrawAllMoviesToScreen, "DrawAllMoviesToScreen");
  Hook<S_PollDirectMusicState>(t.PollDirectMusicState, "PollDirectMusicState");
  Hook<S_UpdatePadVibrationTimers>(t.UpdatePadVibrationTimers, "UpdatePadVibrationTimers");
  Hook<S_EditActiveTextInput>(t.EditActiveTextInput, "EditActiveTextInput");
  Hook<S_RestoreAllGraphSurfaces>(t.RestoreAllGraphSurfaces, "RestoreAllGraphSurfaces");
  Hook<S_PushTypedChar>(t.PushTypedChar, "PushTypedChar");
  Hook<S_IsTypedCharBufferFull>(t.IsTypedCharBufferFull, "IsTypedCharBufferFull");
  Hook<S_HandleImeMessage>(t.HandleImeMessage, "HandleImeMessage");
  Hook<S_RequestImeRestoreOnActivate>(t.RequestImeRestoreOnActivate, "RequestImeRestoreOnActivate");
  Hook<S_CheckAllSurface2DLost>(t.CheckAllSurface2DLost, "CheckAllSurface2DLost");
  Hook<S_RestoreAllSurface3D>(t.RestoreAllSurface3D, "RestoreAllSurface3D");
  Hook<S_ReapplyGraphicsSettings>(t.ReapplyGraphicsSettings, "ReapplyGraphicsSettings");
  Hook<S_ResumeAllMoviePlayback>(t.ResumeAllMoviePlayback, "ResumeAllMoviePlayback");
  Hook<S_PauseAllMoviePlayback>(t.PauseAllMoviePlayback, "PauseAllMoviePlayback");
  Hook<S_ReleaseAllMovieStreams>(t.ReleaseAllMovieStreams, "ReleaseAllMovieStreams");
  Hook<S_RefreshInputAcquire>(t.RefreshInputAcquire, "RefreshInputAcquire");
  Hook<S_ApplyPadVibration>(t.ApplyPadVibration, "ApplyPadVibration");
  Hook<S_IsDisplayModeChanged>(t.IsDisplayModeChanged, "IsDisplayModeChanged");
  Hook<S_HasDirectDrawOutput>(t.HasDirectDrawOutput, "HasDirectDrawOutput");
  Hook<S_GetDirectDrawObject>(t.GetDirectDrawObject, "GetDirectDrawObject");
  Hook<S_ReleaseDirectDraw>(t.ReleaseDirectDraw, "ReleaseDirectDraw");
  Hook<S_ReleaseDirect3D>(t.ReleaseDirect3D, "ReleaseDirect3D");
  Hook<S_PresentSoftScreen>(t.PresentSoftScreen, "PresentSoftScreen");
  Hook<S_GetScreenModeInfo>(t.GetScreenModeInfo, "GetScreenModeInfo");
  Hook<S_UpdateScreenColorFormat>(t.UpdateScreenColorFormat, "UpdateScreenColorFormat");
  Hook<S_OnMciNotify>(t.OnMciNotify, "OnMciNotify");
  Hook<S_OnSocketMessage>(t.OnSocketMessage, "OnSocketMessage");
  Hook<S_GetAnyInputDown>(t.GetAnyInputDown, "GetAnyInputDown");
  // The screen is 640 x 480 x 16, as the display reports while unset.
  t.GetScreenSize = [](int* w, int* h) {
    if (w) *w = 640;
    if (h) *h = 480;
    return 0;
  };
  t.GetScreenModeInfo = [](int* w, int* h, int* bits) {
    Calls().push_back("GetScreenModeInfo");
    if (w) *w = 640;
    if (h) *h = 480;
    if (bits) *bits = 16;
    return 0;
  };
}

inline int Count(const std::string& name) {
  return int(std::count(Calls().begin(), Calls().end(), name));
}

// The calls among `names`, in the order they were made.
inline std::vector<std::string> CallsAmong(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& c : Calls())
    if (std::find(names.begin(), names.end(), c) != names.end()) out.push_back(c);
  return out;
}

// Each test runs in a process of its own: the fake window back end, a fake
// clock starting near the given time, the log off, recording services.
class FakeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(PlatUseFakeWindowBackend(), 0);
    PlatFakeClockInstall(StartClock());
    SetLogFileOutput(0);
    SetMainWindowTitle(WindowTitle());
    ChangeWindowMode(Windowed());
    InstallRecordingServices();
    Calls().clear();
  }
  void TearDown() override {
    PlatFakeClockRemove();
  }
  virtual uint32_t StartClock() { return 100000; }
  virtual const char* WindowTitle() { return "FakeWindowTest"; }
  virtual int Windowed() { return 1; }

  PlatWindow Main() { return GetMainWindow(); }
  // Starts the library on the fakes and forgets the calls start-up made.
  void StartLibrary() {
    ASSERT_EQ(InitLibrary(), 0);
    ASSERT_NE(Main(), nullptr);
    // Start-up leaves a few messages of its own queued; take them first.
    ASSERT_EQ(PumpWindowMessages(), 0);
    Calls().clear();
  }
};

// Tests that start the library themselves; it is ended after each.
class LibraryEndingTest : public FakeLibraryTest {
 protected:
  void TearDown() override {
    EndLibrary();
    FakeLibraryTest::TearDown();
  }
};

// Tests that run on a started library.
class StartedLibraryTest : public LibraryEndingTest {
 protected:
  void SetUp() override {
    FakeLibraryTest::SetUp();
    StartLibrary();
  }
};

}  // namespace wintest
