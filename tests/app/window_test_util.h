// Helpers for the tests of start-up, the main window, the pump and the
// window procedure: the scripted window back end, a fake clock, and a
// recording fake for every service those parts call in other subsystems and
// for every step of the start-up list.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/pump.h"
#include "app/service_hooks.h"
#include "app/startup.h"
#include "core/system_state.h"
#include "platform/window.h"
#include "platform/window_fake.h"
#include "process_state.h"
#include "vexlo.h"

namespace wintest {

inline std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}
// Answers of the recording fakes by the name they record; 0 when not set.
inline std::map<std::string, int>& Results() {
  static std::map<std::string, int> results;
  return results;
}
inline int ResultOf(const std::string& name) {
  auto it = Results().find(name);
  return it == Results().end() ? 0 : it->second;
}

// ---- The services of the other subsystems -------------------------------------

template <int Id, typename F>
struct Recorder;
template <int Id, typename R, typename... A>
struct Recorder<Id, R (*)(A...)> {
  static const char*& Name() {
    static const char* name = "";
    return name;
  }
  static R Call(A...) {
    Calls().push_back(Name());
    return R(ResultOf(Name()));
  }
};

template <int Id, typename F>
void Hook(F& slot, const char* name) {
  Recorder<Id, F>::Name() = name;
  slot = &Recorder<Id, F>::Call;
}
// A recording fake in a service table, recording the service's name.
#define WINTEST_RECORD(table, service) Hook<__LINE__>(table.service, #service)

inline void InstallRecordingServiceHooks() {
  WINTEST_RECORD(DisplayServices, CheckAllSurface2DLost);
  WINTEST_RECORD(DisplayServices, RestoreAllSurface3D);
  WINTEST_RECORD(DisplayServices, RestoreAllGraphSurfaces);
  WINTEST_RECORD(DisplayServices, ReapplyGraphicsSettings);
  WINTEST_RECORD(DisplayServices, IsDisplayModeChanged);
  WINTEST_RECORD(DisplayServices, HasDirectDrawOutput);
  WINTEST_RECORD(DisplayServices, ReleaseDirectDraw);
  WINTEST_RECORD(DisplayServices, ReleaseDirect3D);
  WINTEST_RECORD(DisplayServices, UpdateScreenColorFormat);
  WINTEST_RECORD(DisplayServices, ChangeScreenMode);
  WINTEST_RECORD(DisplayServices, GetDrawTarget);
  WINTEST_RECORD(DisplayServices, SetDrawTargetRect);
  WINTEST_RECORD(DisplayServices, SetDrawClipRect);
  WINTEST_RECORD(DisplayServices, GetFlipWaitVBlank);
  WINTEST_RECORD(DisplayServices, SetFlipWaitVBlank);
  WINTEST_RECORD(DisplayServices, PresentSoftScreen);
  WINTEST_RECORD(InputServices, TermInput);
  WINTEST_RECORD(InputServices, InitInput);
  WINTEST_RECORD(InputServices, RequestImeRestoreOnActivate);
  WINTEST_RECORD(InputServices, RefreshInputAcquire);
  WINTEST_RECORD(InputServices, ApplyPadVibration);
  WINTEST_RECORD(InputServices, UpdatePadVibrationTimers);
  WINTEST_RECORD(InputServices, PushTypedChar);
  WINTEST_RECORD(InputServices, IsTypedCharBufferFull);
  WINTEST_RECORD(InputServices, HandleImeMessage);
  WINTEST_RECORD(InputServices, EditActiveTextInput);
  WINTEST_RECORD(InputServices, GetAnyInputDown);
  WINTEST_RECORD(FontServices, InitializeFontSystem);
  WINTEST_RECORD(FontServices, TerminateFontSystem);
  WINTEST_RECORD(FontServices, RecreateAllFonts);
  WINTEST_RECORD(SoundServices, ProcessAllStreamSounds);
  WINTEST_RECORD(SoundServices, PollDirectMusicState);
  WINTEST_RECORD(SoundServices, CheckSoundPlaying);
  WINTEST_RECORD(SoundServices, GetSoundTotalTime);
  WINTEST_RECORD(MovieServices, PauseAllMoviePlayback);
  WINTEST_RECORD(MovieServices, ResumeAllMoviePlayback);
  WINTEST_RECORD(MovieServices, ReleaseAllMovieStreams);
  WINTEST_RECORD(MovieServices, ReopenAllMovies);
  WINTEST_RECORD(MovieServices, DrawAllMoviesToScreen);
  WINTEST_RECORD(NetworkServices, PumpNetWorkMessages);
  WINTEST_RECORD(NetworkServices, StepAllHttpTransfers);
  WINTEST_RECORD(NetworkServices, GetHttpTransferCount);
  WINTEST_RECORD(NetworkServices, IsHttpTransferSlotLive);
  WINTEST_RECORD(NetworkServices, StepHttpTransfer);
}

// ---- The start-up list ----------------------------------------------------------

// The library's own list, as it was before the fakes went in.
inline std::vector<LibraryPart>& RealParts() {
  static std::vector<LibraryPart> parts;
  return parts;
}

// Whether the app layer's own steps run for real after being recorded.
inline bool& AppStepsRunForReal() {
  static bool real = true;
  return real;
}

// The steps that are the app layer's own (the window, COM, the library's
// flags) run for real on the fake window back end; the other subsystems'
// steps are only recorded.
inline bool RunsForReal(const std::string& name) {
  if (!AppStepsRunForReal()) return false;
  static const char* const kOwn[] = {"colour depth", "performance counter", "last window messages", "COM",
                                     "main window",  "initialised",         "window to front"};
  return std::find(std::begin(kOwn), std::end(kOwn), name) != std::end(kOwn);
}

// Records "<word> <name>", then answers what Results() says for it, or
// runs the real step, or answers 0.
inline int PlayPart(size_t index, const char* word, int (*LibraryPart::*member)()) {
  const LibraryPart& real = RealParts()[index];
  std::string name = std::string(word) + " " + real.Name;
  Calls().push_back(name);
  auto it = Results().find(name);
  if (it != Results().end()) return it->second;
  if (RunsForReal(real.Name)) return (real.*member)();
  return 0;
}
template <size_t I>
int StartPart() {
  return PlayPart(I, "start", &LibraryPart::Start);
}
template <size_t I>
int EndPart() {
  return PlayPart(I, "end", &LibraryPart::End);
}
template <size_t I>
int UndoPart() {
  return PlayPart(I, "undo", &LibraryPart::Undo);
}

constexpr size_t kMaxParts = 40;
using PartCall = int (*)();
template <size_t... I>
constexpr std::array<std::array<PartCall, 3>, sizeof...(I)> MakePartRecorders(std::index_sequence<I...>) {
  return {std::array<PartCall, 3>{&StartPart<I>, &EndPart<I>, &UndoPart<I>}...};
}

// Every start, end and undo of the list becomes a recording fake; the
// entries without one stay without.
inline void InstallRecordingParts() {
  static constexpr auto kRecorders = MakePartRecorders(std::make_index_sequence<kMaxParts>());
  ResetLibraryParts();
  RealParts() = LibraryParts;
  EXPECT_LE(LibraryParts.size(), kMaxParts);
  for (size_t i = 0; i < LibraryParts.size() && i < kMaxParts; ++i) {
    LibraryPart& part = LibraryParts[i];
    if (part.Start) part.Start = kRecorders[i][0];
    if (part.End) part.End = kRecorders[i][1];
    if (part.Undo) part.Undo = kRecorders[i][2];
  }
}

// The steps of the list in their order, each as "<word> <name>" for the
// entries that have that word's call.
inline std::vector<std::string> PartCalls(const char* word, int (*LibraryPart::*member)(), bool reversed) {
  std::vector<std::string> out;
  for (const LibraryPart& part : RealParts())
    if (part.*member) out.push_back(std::string(word) + " " + part.Name);
  if (reversed) std::reverse(out.begin(), out.end());
  return out;
}

// The calls the steps of the list made, in their order.
inline std::vector<std::string> StepCalls() {
  std::vector<std::string> out;
  for (const std::string& c : Calls())
    if (c.rfind("start ", 0) == 0 || c.rfind("end ", 0) == 0 || c.rfind("undo ", 0) == 0) out.push_back(c);
  return out;
}

// Every service and every step of the list becomes a recording fake.
inline void InstallRecordingServices() {
  InstallRecordingServiceHooks();
  InstallRecordingParts();
}

inline int Count(const std::string& name) { return int(std::count(Calls().begin(), Calls().end(), name)); }

// The calls among `names`, in the order they were made.
inline std::vector<std::string> CallsAmong(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& c : Calls())
    if (std::find(names.begin(), names.end(), c) != names.end()) out.push_back(c);
  return out;
}

// Each test starts from the state of a new process: the fake window back
// end, a fake clock starting near the given time, the log off, recording
// services; it leaves that state behind it again.
class FakeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    ASSERT_EQ(PlatUseFakeWindowBackend(), 0);
    PlatFakeClockInstall(StartClock());
    SetLogFileOutput(0);
    SetMainWindowTitle(WindowTitle());
    ChangeWindowMode(Windowed());
    AppStepsRunForReal() = true;
    InstallRecordingServices();
    Calls().clear();
  }
  void TearDown() override {
    ResetLibraryParts();
    ResetServiceHooks();
    Results().clear();
    teststate::ResetProcessState();
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
