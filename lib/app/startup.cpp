#include "app/startup.h"

#include <cstring>

#include "app/main_window.h"
#include "app/pump.h"
#include "core/alloc.h"
#include "core/hooks.h"
#include "core/log.h"
#include "core/strutil.h"
#include "core/sysreport.h"
#include "core/system_state.h"
#include "core/window_query.h"
#include "file/fileaccess.h"
#include "file/openfile.h"
#include "file/stream.h"
#include "font/font.h"
#include "graphics/draw.h"
#include "graphics/draw_target.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "image/pixelimage.h"
#include "input/input.h"
#include "movie/movie.h"
#include "network/network.h"
#include "platform/clock.h"
#include "softrender/blend_mode.h"
#include "sound/sound.h"

namespace {

// This platform has no COM: initialising it always succeeds.
int PlatformComInitialize() { return 0; }

// ---- The steps of the list that are more than one call ----------------------

int SelectRequestedRenderMode() {
  if (GetSoftwareRenderRequest()) SelectRenderMode(0);
  return 0;
}

int StartFileAccess() {
  InitFileAccess();
  SelectFileAccessBackend(nullptr);
  return 0;
}

// The current directory becomes the start-up directory, where the log goes.
int OpenLogInStartupDirectory() {
  char directory[SYSTEM_PATH_SIZE] = {};
  if (GetDirDispatch(directory) == 0)
    StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory, directory);
  LogFileInit();
  return 0;
}

int ReturnToStartupDirectory() { return ChangeDirDispatch(SystemState.Kept.StartupDirectory); }

// The library draws in 16 or 32 bits only.
int RefuseTwentyFourBitColour() {
  int desktopBits = 0;
  GetDesktopMetrics(nullptr, nullptr, &desktopBits);
  if ((desktopBits == 24 && SystemState.Kept.WindowMode == 1) || GetScreenColorBits() == 24) {
    LogWrite("Ｖｅｘｌｏライブラリは２４ビットカラーモードに対応していません\n");
    return -1;
  }
  return 0;
}

int ReadPerformanceCounter() {
  SystemState.PerfCounterFrequency = PlatCounterFrequency();
  SystemState.PerfCounterUsable = SystemState.PerfCounterFrequency != 0;
  return 0;
}

int WriteSystemReport() {
  LogSystemInfo();
  if (SystemState.Kept.OsVersionCode == 0x108) SetSeparateBackLayout(1);
  return 0;
}

int RegisterDefaultGraphRestore() { return SetGraphRestoreCallback(nullptr); }

// The library counts as ended from here; what is left of the window's
// messages is taken off the queue. Without a window and without a quit the
// pump has nothing to wait for.
int TakeLastWindowMessages() {
  SystemState.Initialised = 0;
  while (PumpWindowMessagesImpl() == 0 && !SystemState.Window.Quit) {
    if (!SystemState.Kept.MainWindow) break;
  }
  return 0;
}

int EndCom(bool logIt) {
  if (!SystemState.ComInitialised) return 0;
  if (logIt) LogWrite("ＣＯＭを終了... 完了\n");
  SystemState.ComInitialised = 0;
  return 0;
}
int EndComAtLibraryEnd() { return EndCom(true); }
int UndoCom() { return EndCom(false); }

int StartGraphicsDevice() { return InitGraphicsDevice(SystemState.Kept.MainWindow) < 0 ? -1 : 0; }

int EndNetwork() {
  DeleteAllHttpTransfers();
  EndNetWorkSystem();
  return 0;
}

int MarkInitialised() {
  SystemState.Initialised = 1;
  return 0;
}

int WaitForVerticalBlank() { return SetFlipWaitVBlank(1); }

int BringFullScreenWindowToFront() {
  if (SystemState.Kept.WindowMode == 0) BringWindowToFront(SystemState.Kept.MainWindow, 1);
  return 0;
}

// The back screen, then the front screen.
int SelectScreenDrawTargets() {
  SetDrawTargetImpl(DRAW_TARGET_BACK);
  SetDrawTargetImpl(DRAW_TARGET_FRONT);
  return 0;
}

int ReportLiveAllocations() {
  DumpAllocations();
  return 0;
}

constexpr bool kStops = true;    // a failed start stops start-up
constexpr bool kGoesOn = false;  // start-up goes on whatever the start answers

// The fixed order. Start-up reads it top down; the library's end reads it
// bottom up: network, music, graphics device, fonts, movies, input, sound,
// main window, COM, the last window messages, the start-up directory, file
// access and the allocation report. Where an end does not sit where its
// start mirrors it (fonts end after the graphics device, sound after input;
// the network, music, the last window messages and the allocation report end
// far from anything they start), the end has an entry of its own at the
// place that gives that order. A failed start undoes less than the library's
// end: no network, music, directory or report, and sound before input.
const LibraryPart kLibraryParts[] = {
    // name                      start                         end at the library's end  undo after a failed start
    {"allocation report", nullptr, ReportLiveAllocations, nullptr, kGoesOn},
    {"render mode", SelectRequestedRenderMode, nullptr, nullptr, kGoesOn},
    {"movie colour tables", InitYuvToRgbTables, nullptr, nullptr, kGoesOn},
    {"file access", StartFileAccess, EndFileAccess, EndFileAccess, kGoesOn},
    {"log", OpenLogInStartupDirectory, ReturnToStartupDirectory, nullptr, kGoesOn},
    {"colour depth", RefuseTwentyFourBitColour, nullptr, nullptr, kStops},
    {"performance counter", ReadPerformanceCounter, nullptr, nullptr, kGoesOn},
    {"system report", WriteSystemReport, nullptr, nullptr, kGoesOn},
    {"stream functions", InitStreamFunctionTables, nullptr, nullptr, kGoesOn},
    {"graph restore", RegisterDefaultGraphRestore, nullptr, nullptr, kGoesOn},
    {"last window messages", nullptr, TakeLastWindowMessages, nullptr, kGoesOn},
    {"COM", InitCom, EndComAtLibraryEnd, UndoCom, kStops},
    {"main window", InitMainWindow, EndMainWindow, EndMainWindow, kStops},
    {"HTTP transfer table", ClearHttpTransferTable, nullptr, nullptr, kGoesOn},
    {"sound, ended after input", nullptr, TerminateSound, nullptr, kGoesOn},
    {"input", InitInput, TermInput, TermInput, kStops},
    // No sound device is no reason to stop.
    {"sound", InitializeSound, nullptr, TerminateSound, kGoesOn},
    // Movies still open end after the graphs (which close their own movies)
    // and before sound and file access, which their tracks and files use.
    {"movies", nullptr, CloseAllMovies, nullptr, kGoesOn},
    // The fonts end once the graphics device has freed the graphs and
    // lights, and start once it stands; no default face only leaves text
    // undrawn.
    {"fonts, ended after the graphics device", nullptr, TerminateFontSystem, nullptr, kGoesOn},
    {"graphics device", StartGraphicsDevice, TermGraphicsDevice, TermGraphicsDevice, kStops},
    {"fonts", InitializeFontSystem, nullptr, TerminateFontSystem, kGoesOn},
    {"music", nullptr, StopMusicFileImpl, nullptr, kGoesOn},
    {"network", nullptr, EndNetwork, nullptr, kGoesOn},
    {"typed characters", InitCharCodeBuffer, nullptr, nullptr, kGoesOn},
    {"initialised", MarkInitialised, nullptr, nullptr, kGoesOn},
    {"vertical blank wait", WaitForVerticalBlank, nullptr, nullptr, kGoesOn},
    {"window to front", BringFullScreenWindowToFront, nullptr, nullptr, kGoesOn},
    {"screen draw targets", SelectScreenDrawTargets, nullptr, nullptr, kGoesOn},
    {"warm-up draws", RunWarmUpDraws, nullptr, nullptr, kGoesOn},
};

// Undoes parts [0, count), last first.
void UndoParts(size_t count) {
  while (count > 0) {
    const LibraryPart& part = LibraryParts[--count];
    if (part.Undo) part.Undo();
  }
}

}  // namespace

std::vector<LibraryPart> LibraryParts(std::begin(kLibraryParts), std::end(kLibraryParts));

void ResetLibraryParts() { LibraryParts.assign(std::begin(kLibraryParts), std::end(kLibraryParts)); }

LibraryPart* FindLibraryPart(const char* name) {
  for (LibraryPart& part : LibraryParts)
    if (std::strcmp(part.Name, name) == 0) return &part;
  return nullptr;
}

int InitCom() {
  if (SystemState.ComInitialised) return -1;
  LogWrite("ＣＯＭの初期化... ");
  if (PlatformComInitialize() != 0) {
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
  SetDrawTargetImpl(graph);
  SetDrawTargetImpl(DRAW_TARGET_FRONT);
  FreeGraphHandle(graph, 0);
  SetDrawTargetImpl(DRAW_TARGET_BACK);

  PixelImage image{};
  if (MakeRGB24PixelImage(256, 256, &image) == 0) {
    FillPixelImage(&image, 0, 0, 0, 0);
    graph = CreateGraphFromImageDefault(&image);
    ReleasePixelImageImpl(&image);
    SetBlendModeParam(BLEND_SUB, 128);
    DrawGraphAt(0, 0, graph, 1);
    SetBlendModeParam(BLEND_COPY, 0);
    SetDrawTargetImpl(DRAW_TARGET_FRONT);
    DrawGraphAt(0, 0, graph, 1);
    FreeGraphHandle(graph, 0);
  } else {
    SetDrawTargetImpl(DRAW_TARGET_FRONT);
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
  UpwardHooks.EndLibrary = EndLibraryImpl;
}

int InitLibraryImpl() {
  if (SystemState.Initialised) return 0;
  RegisterLibraryHooks();
  SystemState.Kept.Initialising = 1;
  for (size_t i = 0; i < LibraryParts.size(); ++i) {
    const LibraryPart& part = LibraryParts[i];
    if (part.Start && part.Start() != 0 && part.FailureStops) {
      // A failed start-up leaves the library as before InitLibrary.
      UndoParts(i);
      SystemState.Kept.Initialising = 0;
      return -1;
    }
  }
  SystemState.Kept.Initialising = 0;
  return 0;
}

int EndLibraryImpl() {
  if (!SystemState.Initialised) return 0;
  SystemState.Window.ClosingState = CLOSING_LIBRARY_END;
  for (size_t i = LibraryParts.size(); i > 0; --i) {
    const LibraryPart& part = LibraryParts[i - 1];
    if (part.End) part.End();
  }
  return 0;
}
