// The graphics manager: the graph and surface-data tables and whether the
// three-dimensional layer was up when the manager started; and the start and
// end of the graphics device and manager.
#pragma once
#include <cstdint>

#include "graphics/graph.h"
#include "graphics/surfacedata.h"

struct GraphicsManagerBlock {
  int32_t Initialised;
  HandleTable<GraphRecord, GRAPH_TABLE_SIZE, GRAPH_HANDLE_TAG> Graphs;
  HandleTable<SurfaceDataRecord, SURFACE_DATA_TABLE_SIZE, SURFACE_DATA_HANDLE_TAG> SurfaceData;
  int32_t Direct3DUsable;
};

extern GraphicsManagerBlock GraphicsManager;
extern void* GraphicsWindow;  // the main window, kept for the graphics layer

int InitGraphicsDevice(void* mainWindow);
int TermGraphicsDevice();
int InitGraphicsManager();
int TermGraphicsManager();
