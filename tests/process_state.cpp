#include "process_state.h"

#include <cstring>

#include "app/service_hooks.h"
#include "app/startup.h"
#include "core/hooks.h"
#include "core/random.h"
#include "core/sysreport.h"
#include "core/system_state.h"
#include "file/archive.h"
#include "file/fileaccess.h"
#include "file/openfile.h"
#include "font/font.h"
#include "font/font_state.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/lights.h"
#include "graphics/soft/display.h"
#include "graphics/surfacedata.h"
#include "input/input.h"
#include "input/input_state.h"
#include "movie/movie.h"
#include "network/network.h"
#include "platform/audio.h"
#include "platform/cpu.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/input.h"
#include "platform/input_internal.h"
#include "platform/sysinfo.h"
#include "platform/window.h"
#include "platform/window_backend.h"
#include "platform/window_fake.h"
#include "softrender/memimg_tables.h"
#include "sound/sound.h"
#include "sound/sound_state.h"
#include "vexlo.h"

namespace teststate {

namespace {

// The renderer's drawing state as the library starts it (its clip points at a
// rectangle of the renderer's own); read before any test runs.
const SoftDrawStateBlock g_freshSoftDrawState = SoftDrawState;

// Puts a plain global block back to all zero bytes, as a new process has it.
template <typename T>
void Zero(T& block) {
  std::memset(static_cast<void*>(&block), 0, sizeof block);
}

}  // namespace

void EndLibraryIfStarted() {
  if (!SystemState.Initialised) return;
  // The library's own steps and services; the upward hooks are the ones its
  // start registered.
  ResetLibraryParts();
  ResetServiceHooks();
  EndLibrary();
}

void ResetHooks() {
  ResetLibraryParts();
  ResetServiceHooks();
  ResetUpwardHooks();
}

void ResetSystemState() {
  // The allocator's list heads every tracked block still live, and the lock
  // may be set up: both stay where they are.
  SystemStateKept& kept = SystemState.Kept;
  const AllocState alloc = kept.Alloc;
  const LibraryLockState lock = kept.Lock;
  Zero(SystemState);
  std::memcpy(static_cast<void*>(&kept.Alloc), &alloc, sizeof alloc);
  std::memcpy(static_cast<void*>(&kept.Lock), &lock, sizeof lock);
  PlatSetDebugSink(nullptr);
  PlatHeapFailAfter(-1);
  PlatFileFailWritesAfter(PLAT_INVALID_FILE, 0);
  PlatSetCpuidHook(nullptr, 1);
  SetOsVersionSource(nullptr);
  RandomState = RandomStateBlock{{}, {}, RANDOM_STATE_WORDS, 0, 0};
}

void ResetWindowSystem() {
  // A window procedure's quit or a message posted to the thread itself
  // outlives the windows; take them off the queue.
  PlatMsg message;
  for (int i = 0; i < 100000 && PlatPeekMessage(&message, PLAT_THREAD_MESSAGES, 1); ++i) {}
  PlatSetPeekHook(nullptr);
  PlatInputClearScript();
  PlatFakeReset();
  // Selecting the back end fails while a class or window keeps the window
  // system up: some test left one behind.
  EXPECT_EQ(PlatSelectWindowBackend(PlatSdlWindowBackend()), 0) << "a window or class was left behind";
  EXPECT_EQ(PlatFakeNativeWindowCount(), 0) << "a window was left behind";
}

void ResetGraphics() {
  if (DirectDrawState.Started || GraphicsManager.Initialised) TermGraphicsDevice();
  EXPECT_EQ(GraphicsManager.Graphs.Count, 0) << "graphs left behind";
  EXPECT_EQ(GraphicsManager.SurfaceData.Count, 0) << "surface data left behind";
  EXPECT_EQ(DirectDrawState.Surfaces.Count, 0) << "2-D surfaces left behind";
  // Whatever was left goes all the same, so the next test starts clean.
  FreeAllGraphHandles(0);
  FreeAllLightHandles();
  DeleteAllSurface2DChecked();
  DeleteAllSurfaceData();
  ResetDrawSides();
  SoftDrawState = g_freshSoftDrawState;
  Zero(GraphicsManager);
  Zero(GraphicsState);
  Zero(DirectDrawState);
  GraphicsWindow = nullptr;
}

void ResetInput() {
  TermInput();
  SetInputActiveQuery(nullptr);
  Zero(InputState);
}

void ResetFonts() {
  TerminateFontSystem();
  Zero(FontState);
}

void ResetSound() {
  TerminateSound();
  EXPECT_EQ(SoundState.Handles.Count, 0) << "sounds left behind";
  PlatAudioClose();
  PlatAudioSelectBackend(PLAT_AUDIO_DEVICE);
  PlatAudioSetDriver(nullptr);
  Zero(SoundState);
  SoundState.MusicHandle = -1;
  SoundState.MusicVolume = 255;
}

void ResetMovies() {
  CloseAllMovies();
  EXPECT_EQ(MovieTable.Count, 0) << "movies left behind";
  MovieTable = MovieTableType{};
}

void ResetNetwork() {
  DeleteAllHttpTransfers();
  EXPECT_EQ(GetHttpTransferCount(), 0) << "HTTP transfers left behind";
  ClearHttpTransferTable();
  EndNetWorkSystem();
  Zero(NetWork);
}

void ResetFiles() {
  EndFileAccess();
  EXPECT_EQ(FileAccess.FileCount, 0) << "files left open";
  EXPECT_EQ(ArchiveTable.Count, 0) << "archives left open";
  Zero(FileAccess);
  Zero(ArchiveTable);
  SelectFileAccessBackend(nullptr);
}

void ResetProcessState() {
  EndLibraryIfStarted();
  ResetHooks();
  ResetMovies();
  ResetNetwork();
  ResetSound();
  ResetFonts();
  ResetInput();
  ResetGraphics();
  ResetFiles();
  ResetWindowSystem();
  ResetSystemState();
}

}  // namespace teststate
