// Start and end of the graphics device (the display back end) and of the
// graphics manager (graph and surface-data tables, drawing state, lights).
#include "graphics/graphics_manager.h"

#include <cstring>

#include "core/fatal.h"
#include "core/hooks.h"
#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"

GraphicsManagerBlock GraphicsManager;
void* GraphicsWindow = nullptr;

int InitGraphicsDevice(void* mainWindow) {
  GraphicsWindow = mainWindow;
  if (InitDirectDraw() < 0) {
    if (IsSoftwareDrawing()) FatalErrorExit("DirectDraw の初期化に失敗しました");
    LogWrite("ソフトウエアレンダリングモードに変更します\n");
    SelectRenderMode(0);
    if (InitDirectDraw() < 0) FatalErrorExit("DirectDraw の初期化に失敗しました");
  }
  GraphicsManager.Initialised = 1;
  return 0;
}

int TermGraphicsDevice() {
  TermDirectDraw();
  GraphicsManager.Initialised = 0;
  return 0;
}

int InitGraphicsManager() {
  GraphicsManagerBlock& m = GraphicsManager;
  if (m.Initialised) return 0;
  LogWrite("グラフィック管理系の初期化を行います\n");
  LogIndentIncrease();
  // Records a previous manager left behind are deleted before the tables are
  // cleared, so none is lost with its memory.
  DeleteAllSurface2DChecked();
  DeleteAllSurfaceData();
  std::memset(&m, 0, sizeof m);
  m.Initialised = 1;
  DeleteAllSurface2DChecked();
  m.Direct3DUsable = DeleteAllSurface3DChecked() != -1 ? 1 : 0;
  LogWrite(m.Direct3DUsable ? "３Ｄグラフィック描画機能を使用します\n"
                            : "３Ｄグラフィック描画機能は使用しません\n");
  InitGraphicsState();
  LogIndentDecrease();
  LogWrite("グラフィック管理系の初期化は正常に終了しました\n");
  return 0;
}

int TermGraphicsManager() {
  GraphicsManagerBlock& m = GraphicsManager;
  if (!m.Initialised) return 0;
  WaitWhileWindowInactive();
  FreeAllGraphHandles(0);
  FreeAllLightHandles();
  // Pieces and surface data that no graph owned (font pages, a caller's own
  // records) go too: the next start clears the tables.
  DeleteAllSurface2DChecked();
  DeleteAllSurfaceData();
  m.Initialised = 0;
  LogWrite("グラフィック管理系の終了処理は正常に終了しました\n");
  return 0;
}
