#include "app/startup.h"

#include <cstdarg>
#include <cstdlib>

#include "core/lock.h"
#include "core/log.h"
#include "app/main_window.h"
#include "app/pump.h"
#include "app/services.h"
#include "core/hooks.h"
#include "graphics/draw_target.h"
#include "graphics/soft/display.h"
#include "softrender/blend_mode.h"
#include "font/font.h"
#include "input/input.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "image/pixelimage.h"
#include "platform/clock.h"
#include "platform/window.h"

namespace {

// What a start-up has brought up so far, so that a failure ends exactly that.
struct StartupProgress {
  bool FileAccess, Com, MainWindow, Input, Sound;
};

// A failed start-up ends what it had started, last first, and leaves the
// library as before InitLibrary (Initialised 0, Initialising 0).
int FailStartup(const StartupProgress& p) {
  if (p.Sound) LibraryServices.TerminateSound();
  if (p.Input) LibraryServices.TermInput();
  if (p.MainWindow) EndMainWindow();
  if (p.Com && SystemState.ComInitialised) {
    LibraryServices.ComUninitialize();
    SystemState.ComInitialised = 0;
  }
  if (p.FileAccess) LibraryServices.EndFileAccess();
  SystemState.Kept.Initialising = 0;
  return -1;
}

}  // namespace

int ComInitializeDefault() { return 0; }
void ComUninitializeDefault() {}


int InitCom() {
  if (SystemState.ComInitialised) return -1;
  LogWrite("ＣＯＭの初期化... ");
  if (LibraryServices.ComInitialize() != 0) {
    LogWrite("ＣＯＭの初期化に失敗しました\n");
    return -1;
  }
  LogWrite("成功しました\n");
  SystemState.ComInitialised = 1;
  return 0;
}

int RunWarmUpDraws() {
  // The first draws through each path build the back end's lazily made
  // objects, so the game's first frame does not pay for them.
  SetNewGraphDrawValid(1);
  int graph = CreateBlankGraph(256, 256, 0);
  SetNewGraphDrawValid(0);
  LibraryServices.SetDrawTarget(graph);
  LibraryServices.SetDrawTarget(DRAW_TARGET_FRONT);
  FreeGraphHandle(graph, 0);
  LibraryServices.SetDrawTarget(DRAW_TARGET_BACK);

  PixelImage image{};
  if (MakeRGB24PixelImage(256, 256, &image) == 0) {
    FillPixelImage(&image, 0, 0, 0, 0);
    graph = CreateGraphFromImageDefault(&image);
    ReleasePixelImageImpl(&image);
    SetBlendModeParam(BLEND_SUB, 128);
    DrawGraphAt(0, 0, graph, 1);
    SetBlendModeParam(BLEND_COPY, 0);
    LibraryServices.SetDrawTarget(DRAW_TARGET_FRONT);
    DrawGraphAt(0, 0, graph, 1);
    FreeGraphHandle(graph, 0);
  } else {
    LibraryServices.SetDrawTarget(DRAW_TARGET_FRONT);
  }
  if (MakeRGB24PixelImage(256, 256, &image) == 0) {
    FillPixelImage(&image, 0, 0, 0, 0);
    graph = CreateGraphFromImageDefault(&image);
    DrawGraphStretched(0, 0, 640, 480, graph, 1);
    FreeGraphHandle(graph, 0);
    ReleasePixelImageImpl(&image);
  }
  return 0;
}

void RegisterLibraryHooks() {
  UpwardHooks.WaitWhileWindowInactive = PumpWhileWindowInactive;
  UpwardHooks.PumpWindowMessages = PumpWindowMessagesImpl;
  UpwardHooks.EndLibrary = EndLibraryImpl;
  UpwardHooks.TermInput = TermInput;
  UpwardHooks.InitInput = InitInput;
  UpwardHooks.InitializeFontSystem = InitializeFontSystem;
  UpwardHooks.TerminateFontSystem = TerminateFontSystem;
  UpwardHooks.RecreateAllFonts = RecreateAllFonts;
  UpwardHooks.GetScreenColorBits = GetScreenColorBits;
}

int InitLibraryImpl() {
  if (SystemState.Initialised) return 0;
  RegisterLibraryHooks();
  SystemState.Kept.Initialising = 1;
  StartupProgress progress{};

  if (LibraryServices.GetSoftwareRenderRequest()) LibraryServices.SelectRenderMode(0);
  LibraryServices.InitYuvToRgbTables();
  LibraryServices.InitFileAccess();
  LibraryServices.SelectFileAccessBackend(nullptr);
  progress.FileAccess = true;

  char directory[SYSTEM_PATH_SIZE] = {};
  if (LibraryServices.GetCurrentDir(directory) == 0)
    StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory, directory);
  LibraryServices.LogFileInit();

  int desktopBits = 0;
  GetDesktopMetrics(nullptr, nullptr, &desktopBits);
  if ((desktopBits == 24 && SystemState.Kept.WindowMode == 1) || LibraryServices.GetScreenColorBits() == 24) {
    LogWrite("Ｖｅｘｌｏライブラリは２４ビットカラーモードに対応していません\n");
    return FailStartup(progress);
  }

  SystemState.PerfCounterFrequency = PlatCounterFrequency();
  SystemState.PerfCounterUsable = SystemState.PerfCounterFrequency != 0;

  LibraryServices.LogSystemInfo();
  if (SystemState.Kept.OsVersionCode == 0x108) LibraryServices.SetSeparateBackLayout(1);
  LibraryServices.InitStreamFunctionTables();
  LibraryServices.SetGraphRestoreCallback(nullptr);

  if (InitCom() != 0) return FailStartup(progress);
  progress.Com = true;
  if (InitMainWindow() != 0) return FailStartup(progress);
  progress.MainWindow = true;

  LibraryServices.ClearHttpTransferTable();
  if (LibraryServices.InitInput() == -1) return FailStartup(progress);
  progress.Input = true;
  LibraryServices.InitializeSound();  // no sound device is no reason to stop
  progress.Sound = true;
  if (LibraryServices.InitGraphicsDevice(SystemState.Kept.MainWindow) < 0) return FailStartup(progress);
  LibraryServices.InitCharCodeBuffer();

  SystemState.Initialised = 1;
  LibraryServices.SetFlipWaitVBlank(1);
  if (SystemState.Kept.WindowMode == 0) BringWindowToFront(SystemState.Kept.MainWindow, 1);
  LibraryServices.SetDrawTarget(DRAW_TARGET_BACK);
  LibraryServices.SetDrawTarget(DRAW_TARGET_FRONT);
  LibraryServices.WarmUpDraws();

  SystemState.Kept.Initialising = 0;
  return 0;
}

int EndLibraryImpl() {
  if (!SystemState.Initialised) return 0;
  SystemState.Window.ClosingState = CLOSING_LIBRARY_END;

  LibraryServices.DeleteAllHttpTransfers();
  LibraryServices.EndNetWorkSystem();
  LibraryServices.StopMusicFile();
  LibraryServices.TermGraphicsDevice();
  LibraryServices.TermInput();
  LibraryServices.TerminateSound();
  EndMainWindow();
  if (SystemState.ComInitialised) {
    LibraryServices.ComUninitialize();
    LogWrite("ＣＯＭを終了... 完了\n");
    SystemState.ComInitialised = 0;
  }
  SystemState.Initialised = 0;

  // Take what is left of the window's messages off the queue. Without a
  // window and without a quit the pump has nothing to wait for.
  while (PumpWindowMessagesImpl() == 0 && !SystemState.Window.Quit) {
    if (!SystemState.Kept.MainWindow) break;
  }

  LibraryServices.SetCurrentDir(SystemState.Kept.StartupDirectory);
  LibraryServices.EndFileAccess();
  LibraryServices.DumpAllocations();
  return 0;
}

