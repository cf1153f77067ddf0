// The graphics device started without a window, at a chosen screen depth,
// for the graph, drawing-state and drawing-entry tests; and small readers of
// library images.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/system_state.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "process_state.h"
#include "softrender/memimg.h"

namespace graphtest {

// Starts software drawing at `bits` (16 or 32) from the state of a new
// process, with the window taken as active, so no entry waits for it.
inline void StartGraphics(int bits) {
  teststate::ResetProcessState();
  SystemState.Window.Active = 1;
  ASSERT_EQ(SetScreenModeSetting(640, 480, bits), 0);
  SelectRenderMode(0);
  ASSERT_EQ(InitGraphicsDevice(nullptr), 0);
  ASSERT_EQ(GraphicsManager.Initialised, 1);
}

// Ends the device and leaves the process as the test found it.
inline void EndGraphics() {
  ResetDrawSides();
  TermGraphicsDevice();
  teststate::ResetProcessState();
}

// The raw pixel of a library image.
inline uint32_t PixelAt(const MEMIMG* img, int x, int y) {
  const uint8_t* row = img->Pixels + size_t(y) * img->Base->Pitch;
  if (img->Base->Format->BytesPerPixel == 2) return reinterpret_cast<const uint16_t*>(row)[x];
  if (img->Base->Format->BytesPerPixel == 4) return reinterpret_cast<const uint32_t*>(row)[x];
  return row[x];
}

inline uint32_t BackPixel(int x, int y) { return PixelAt(&DirectDrawState.BackImage, x, y); }

inline MEMIMG* GraphImage(int graph) { return GetGraphPieceImage(GetGraphRecord(graph)); }

class GraphicsTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { StartGraphics(GetParam()); }
  void TearDown() override { EndGraphics(); }
};

class Graphics16Test : public ::testing::Test {
 protected:
  void SetUp() override { StartGraphics(16); }
  void TearDown() override { EndGraphics(); }
};

}  // namespace graphtest
