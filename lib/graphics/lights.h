// Light handles: directional lights kept for three-dimensional drawing.
#pragma once
#include <cstdint>

#include "core/handle_table.h"
#include "graphics/geometry.h"

constexpr int LIGHT_TABLE_SIZE = 4096;
constexpr int32_t LIGHT_HANDLE_TAG = 0x60000000;
constexpr int LIGHT_TYPE_DIRECTIONAL = 3;

struct LightColor {
  float R, G, B, A;
};

// The light as the three-dimensional layer describes it.
struct LightDescription {
  int32_t Type;
  LightColor Diffuse, Specular, Ambient;
  Vector3 Position, Direction;
  float Range, Falloff, Attenuation0, Attenuation1, Attenuation2, Theta, Phi;
};

struct LightRecord {
  uint32_t Check;
  int32_t Handle;
  LightDescription Light;
  int32_t DeviceIndex;  // -1 while not set on a device
  int32_t Enabled;
  int32_t Changed;
};

struct LightBlock {
  HandleTable<LightRecord, LIGHT_TABLE_SIZE, LIGHT_HANDLE_TAG> Handles;
  int32_t LightsChanged;
  int32_t DefaultLight;
};

// A new enabled light with default colours; -1 when the table is full.
int AllocLightHandle();
// A directional light along the normalised (x, y, z); -1 for a zero vector
// or a full table.
int AddDirectionalLight(float x, float y, float z);
int FreeLightHandle(int handle);
int FreeAllLightHandles();
LightRecord* GetLightRecord(int handle);
