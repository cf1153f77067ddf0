// The graphics manager: the graph and surface-data tables and whether the
// three-dimensional layer was up when the manager started; and the start and
// end of the graphics device and manager.
#pragma once
#include <cstdint>

#include "graphics/graph.h"
#include "graphics/surfacedata.h"

struct GraphicsManagerBlock {
  int32_t Initialised;
  GraphRecord* Graphs[GRAPH_TABLE_SIZE];
  int32_t GraphCount;
  int32_t GraphEndMark;
  uint32_t GraphCheckCounter;
  SurfaceDataRecord* SurfaceData[SURFACE_DATA_TABLE_SIZE];
  int32_t SurfaceDataCount;
  int32_t SurfaceDataEndMark;
  uint32_t SurfaceDataCheckCounter;
  int32_t Direct3DUsable;
};

extern GraphicsManagerBlock GraphicsManager;
extern void* GraphicsWindow;   // the main window, kept for the graphics layer

int InitGraphicsDevice(void* mainWindow);
int TermGraphicsDevice();
int InitGraphicsManager();
int TermGraphicsManager();

// Slot bookkeeping shared by the handle tables: the slot a new record takes
// (the end mark, or the lowest free slot once the end mark reached the limit;
// -1 when none is free) and the end mark after the slot was emptied.
template <typename T>
int FindFreeHandleSlot(T* const* records, int limit, int endMark) {
  if (endMark < limit) return endMark;
  for (int i = 0; i < limit; ++i)
    if (!records[i]) return i;
  return -1;
}
template <typename T>
int EndMarkAfterFree(T* const* records, int slot, int endMark) {
  if (slot != endMark - 1) return endMark;
  int mark = slot;
  while (mark > 0 && !records[mark - 1]) --mark;
  return mark;
}
