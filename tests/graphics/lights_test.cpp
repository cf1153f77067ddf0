// Light handles: defaults, directions, a full table, bad handles.
#include "graph_fixture.h"

using namespace graphtest;

namespace {

TEST_F(Graphics16Test, TheDefaultLightShinesDiagonallyDown) {
  const LightRecord* l = GetLightRecord(GraphicsState.Lights.DefaultLight);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->Light.Type, LIGHT_TYPE_DIRECTIONAL);
  EXPECT_NEAR(l->Light.Direction.X, 0.57735f, 1e-5);
  EXPECT_NEAR(l->Light.Direction.Y, -0.57735f, 1e-5);
  EXPECT_NEAR(l->Light.Direction.Z, 0.57735f, 1e-5);
}

TEST_F(Graphics16Test, ANewLightHasDefaultColoursAndIsEnabled) {
  GraphicsState.Lights.LightsChanged = 0;
  const int h = AllocLightHandle();
  const LightRecord* l = GetLightRecord(h);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(h & 0x78000000, LIGHT_HANDLE_TAG);
  EXPECT_FLOAT_EQ(l->Light.Diffuse.R, 1.0f);
  EXPECT_FLOAT_EQ(l->Light.Specular.A, 1.0f);
  EXPECT_FLOAT_EQ(l->Light.Ambient.G, 0.33f);
  EXPECT_EQ(l->Enabled, 1);
  EXPECT_EQ(l->Changed, 1);
  EXPECT_EQ(l->DeviceIndex, -1);
  EXPECT_EQ(GraphicsState.Lights.LightsChanged, 1);
}

TEST_F(Graphics16Test, DirectionsAreNormalisedAndAZeroOneIsRefused) {
  const LightRecord* l = GetLightRecord(AddDirectionalLight(0.0f, 0.0f, 2.0f));
  ASSERT_NE(l, nullptr);
  EXPECT_FLOAT_EQ(l->Light.Direction.Z, 1.0f);
  const int count = GraphicsState.Lights.Handles.Count;
  EXPECT_EQ(AddDirectionalLight(0.0f, 0.0f, 0.0f), -1);
  EXPECT_EQ(GraphicsState.Lights.Handles.Count, count);
}

TEST_F(Graphics16Test, BadHandlesAreRefusedWithoutSideEffects) {
  const int h = AllocLightHandle();
  ASSERT_EQ(FreeLightHandle(h), 0);
  GraphicsState.Lights.LightsChanged = 0;
  EXPECT_EQ(FreeLightHandle(h), -1);
  EXPECT_EQ(FreeLightHandle(-1), -1);
  EXPECT_EQ(FreeLightHandle(0x08000000), -1);
  EXPECT_EQ(GraphicsState.Lights.LightsChanged, 0);
}

TEST_F(Graphics16Test, AFullLightTableGivesMinusOne) {
  while (GraphicsState.Lights.Handles.Count < LIGHT_TABLE_SIZE) ASSERT_GE(AllocLightHandle(), 0);
  EXPECT_EQ(AllocLightHandle(), -1);
  EXPECT_EQ(AddDirectionalLight(1.0f, 0.0f, 0.0f), -1);
  FreeAllLightHandles();
  EXPECT_EQ(GraphicsState.Lights.Handles.Count, 0);
  EXPECT_EQ(GraphicsState.Lights.Handles.EndMark, 0);
}

}  // namespace
