// The graph table: slots, handles and their validity, and deletion.
#include <cstring>

#include "core/alloc.h"
#include "core/fatal.h"
#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"

int AddGraphData(int width, int height, int textureAllowed, GraphRecord** out, int alpha, int palette) {
  return AddGraphDataWithSettings(width, height, textureAllowed, out, alpha, palette, GetNewGraphSettings());
}

int AddGraphDataWithSettings(int width, int height, int textureAllowed, GraphRecord** out, int alpha,
                             int palette, const NewGraphSettings& s) {
  GraphicsManagerBlock& m = GraphicsManager;
  if (m.Graphs.Full()) FatalErrorExit("グラフィックの数が許容量を越えました終了します");
  const int slot = m.Graphs.FreeSlot();
  if (slot < 0) FatalErrorExit("グラフィックの数が許容量を越えました終了します");
  auto* g = static_cast<GraphRecord*>(TrackedAllocZeroed(sizeof(GraphRecord), "", 0));
  if (!g) FatalErrorExit("メモリの確保に失敗しました");

  g->Handle = m.Graphs.Add(slot, g);
  g->Width = width;
  g->Height = height;

  SurfaceFormatRequest& f = g->Format;
  f.Texture = (textureAllowed && s.TextureGraph && m.Direct3DUsable && !IsSoftwareDrawing()) ? 1 : 0;
  f.NoTextureManage = uint8_t(s.NoTextureManage ? 1 : 0);
  f.Palette = 0;
  if (s.DrawValid == 1) {
    f.DrawValid = 1;
    f.AlphaTestFlag = 0;
    f.AlphaChFlag = 0;
  } else {
    f.AlphaChFlag = uint8_t(alpha ? 1 : 0);
    f.DrawValid = 0;
    f.AlphaTestFlag = uint8_t(s.AlphaTest ? 1 : 0);
  }
  int depth = s.ColorBitDepth;
  if (f.Texture) {
    if (depth == 0) depth = alpha == 1 ? 32 : GetScreenColorBits();
    f.SystemMemory = 0;
  } else {
    if (depth == 0 || !HasDirectDrawOutput()) depth = GetScreenColorBits();
    f.SystemMemory = uint8_t(s.SystemMemory ? 1 : 0);
    f.Palette = uint8_t(palette ? 1 : 0);
    f.NoTextureManage = 0;
  }
  f.ColorBitDepth = uint8_t(depth);
  if (out) *out = g;
  return g->Handle;
}

GraphRecord* GetGraphRecord(int handle) { return GraphicsManager.Graphs.Get(handle); }

int IsGraphHandleValid(int handle) { return GetGraphRecord(handle) ? 1 : 0; }

int GetGraphDimensions(int handle, int* width, int* height) {
  int w, h;
  if (handle == DRAW_TARGET_FRONT || handle == DRAW_TARGET_BACK) {
    GetScreenSize(&w, &h);
  } else {
    const GraphRecord* g = GetGraphRecord(handle);
    if (!g) return -1;
    w = g->Width;
    h = g->Height;
  }
  if (width) *width = w;
  if (height) *height = h;
  return 0;
}

int SetGraphLostFlagPtr(int handle, int* flag) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  g->LostFlag = flag;
  if (flag) *flag = 0;
  return 0;
}

int FreeGraphHandle(int handle, int logFlag) {
  GraphRecord* g = GetGraphRecord(handle);
  if (!g) return -1;
  // A deleted graph must not stay the draw target or the blend graph: the
  // back end would keep drawing into (or reading) freed pixels.
  if (GraphicsState.DrawTarget == handle) SetDrawTargetImpl(DRAW_TARGET_BACK);
  if (GraphicsState.BlendGraph == handle) SelectBlendGraph(-1, 0, 0);
  // The source goes first, so it never feeds freed surfaces.
  if (g->Source.Ops && g->Source.Owner) g->Source.Ops->Release(g->Source.Id);

  if (g->Format.Texture)
    DeleteGraphSurface3D(g);
  else
    DeleteGraphSurface2D(g);
  if (logFlag) LogPrintf("グラフィック %s の削除", g->FileName);

  GraphicsManager.Graphs.Remove(GraphicsManager.Graphs.SlotOf(handle));
  if (g->LostFlag) *g->LostFlag = 1;
  TrackedFree(g);
  return 0;
}

int FreeAllGraphHandles(int logFlag) {
  GraphicsManagerBlock& m = GraphicsManager;
  if (!m.Initialised) return 0;
  for (int slot = m.Graphs.EndMark - 1; slot >= 0; --slot)
    if (m.Graphs.Records[slot]) FreeGraphHandle(m.Graphs.Records[slot]->Handle, logFlag);
  return 0;
}
