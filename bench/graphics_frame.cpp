// One whole play-screen frame as the game draws it (background, both wells,
// panels, pieces, previews, texts) plus the flip's upload to the window, at
// 16 and 32 bits, against the 16 ms frame; the two red lines above the wells
// alone; and the drawing entry's cost on
// one 20 x 20 cell beside the software renderer's blit of the same cell.
// Run from the directory holding "graphic" (the build's bin directory), with
// SDL_VIDEODRIVER=dummy when there is no display.
#include <benchmark/benchmark.h>

#include "game_globals.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"
#include "screens.h"
#include "softrender/memimg_draw.h"
#include "softrender/memimg_tables.h"
#include "vexlo.h"

namespace {

bool StartLibrary(int bits, benchmark::State& state) {
  SetLogFileOutput(0);
  SetMainWindowTitle("VexloGraphicsBench");
  ChangeWindowMode(1);
  SetScreenModeSetting(640, 480, bits);
  if (InitLibrary() != 0) {
    state.SkipWithError("the library did not start");
    return false;
  }
  SetFlipWaitVBlank(0);  // measure the work, not the display's refresh
  LoadGameImages();
  if (g_game.imageHandles[kImageBlocks] < 0) {
    state.SkipWithError("run from the directory holding graphic/");
    EndLibrary();
    return false;
  }
  SetDrawTarget(DRAW_TARGET_BACK);
  return true;
}

void PlayFrame(benchmark::State& state) {
  const int bits = int(state.range(0));
  if (!StartLibrary(bits, state)) return;
  static GameSession session;
  StartSession(session);
  StartRound(session);
  session.screen = kScreenPlay;
  int frames = 0;
  for (auto _ : state) {
    RunPlayScreen(session);
    FlipScreen();
    ClearDrawTarget();
    // Keep the round going: a fresh round every few hundred frames.
    if (++frames % 600 == 0 || session.screen != kScreenPlay) {
      StartRound(session);
      session.screen = kScreenPlay;
    }
  }
  EndLibrary();
}
BENCHMARK(PlayFrame)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

// The red line above each well as the game draws it (200 by 2 pixels each),
// through the public entry: its share of the play frame above.
void TwoWellLines(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const int red = MakeColor(255, 0, 0);
  for (auto _ : state) {
    DrawLineSegment(20, 60, 220, 60, red, 2);
    DrawLineSegment(420, 60, 620, 60, red, 2);
  }
  EndLibrary();
}
BENCHMARK(TwoWellLines)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

// One line of 120 by 2 pixels through the public entry.
void ThickLine(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const int red = MakeColor(255, 0, 0);
  for (auto _ : state) DrawLineSegment(100, 200, 220, 200, red, 2);
  EndLibrary();
}
BENCHMARK(ThickLine)->Arg(16)->Arg(32);

// The public part-draw of one cell, through every check and the clip narrowing.
void DrawGraphPartCell(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const int blocks = g_game.imageHandles[kImageBlocks];
  int i = 0;
  for (auto _ : state) {
    DrawGraphPart(20 + (i & 15) * 20, 60 + ((i >> 4) & 15) * 20, 20, 20, 20, 20, blocks, 1, 0);
    ++i;
  }
  EndLibrary();
}
BENCHMARK(DrawGraphPartCell)->Arg(16)->Arg(32);

// The same cell as a 20 x 20 view blitted straight by the software renderer.
void DrawMemImgCell(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const MEMIMG* sheet = GetGraphPieceImage(GetGraphRecord(g_game.imageHandles[kImageBlocks]));
  MEMIMG cell{};
  DeriveMemImg(&cell, sheet, 20, 20, 20, 20);
  MEMIMG* target = GetDrawTargetImage();
  int i = 0;
  for (auto _ : state) {
    DrawMemImg(target, &cell, 20 + (i & 15) * 20, 60 + ((i >> 4) & 15) * 20, 1, nullptr);
    ++i;
  }
  TerminateMemImg(&cell);
  EndLibrary();
}
BENCHMARK(DrawMemImgCell)->Arg(16)->Arg(32);

// The whole sheet drawn through a 20 x 20 clip: what the entry asks of the
// renderer, without the entry.
void DrawMemImgSheetClipped(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const MEMIMG* sheet = GetGraphPieceImage(GetGraphRecord(g_game.imageHandles[kImageBlocks]));
  MEMIMG* target = GetDrawTargetImage();
  const Rect saved = GraphicsState.ClipRect;
  int i = 0;
  for (auto _ : state) {
    const int x = 20 + (i & 15) * 20, y = 60 + ((i >> 4) & 15) * 20;
    GraphicsState.ClipRect = Rect{x, y, x + 20, y + 20};
    DrawMemImg(target, sheet, x - 20, y - 20, 1, nullptr);
    ++i;
  }
  GraphicsState.ClipRect = saved;
  EndLibrary();
}
BENCHMARK(DrawMemImgSheetClipped)->Arg(16)->Arg(32);

}  // namespace

BENCHMARK_MAIN();
