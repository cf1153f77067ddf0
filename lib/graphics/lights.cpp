// Light handles over the light block of the drawing state.
#include "graphics/lights.h"

#include <cmath>

#include "core/alloc.h"
#include "core/fatal.h"
#include "graphics/drawstate.h"

int AllocLightHandle() {
  LightBlock& b = GraphicsState.Lights;
  const int slot = b.Handles.FreeSlot();
  if (slot < 0) return -1;  // every slot holds a light
  auto* l = static_cast<LightRecord*>(TrackedAllocZeroed(sizeof(LightRecord), "", 0));
  if (!l) FatalErrorExit("ライト用のメモリの確保に失敗しました");
  l->Light.Ambient = LightColor{0.33f, 0.33f, 0.33f, 0.33f};
  l->Light.Diffuse = LightColor{1.0f, 1.0f, 1.0f, 1.0f};
  l->Light.Specular = LightColor{1.0f, 1.0f, 1.0f, 1.0f};
  l->DeviceIndex = -1;
  l->Handle = b.Handles.Add(slot, l);
  l->Enabled = 1;
  l->Changed = 1;
  b.LightsChanged = 1;
  return l->Handle;
}

LightRecord* GetLightRecord(int handle) { return GraphicsState.Lights.Handles.Get(handle); }

int AddDirectionalLight(float x, float y, float z) {
  const Vector3 d{x, y, z};
  const double lengthSquared = VectorDot(&d, &d);
  // A zero (or non-finite) direction has no normalised form.
  if (!(lengthSquared > 0.0) || !std::isfinite(lengthSquared)) return -1;
  const int handle = AllocLightHandle();
  LightRecord* l = GetLightRecord(handle);
  if (!l) return -1;
  const float k = float(1.0 / std::sqrt(lengthSquared));
  l->Light.Type = LIGHT_TYPE_DIRECTIONAL;
  l->Light.Direction = Vector3{x * k, y * k, z * k};
  return handle;
}

int FreeLightHandle(int handle) {
  LightRecord* l = GetLightRecord(handle);
  if (!l) return -1;
  LightBlock& b = GraphicsState.Lights;
  if (l->DeviceIndex != -1) b.LightsChanged = 1;
  b.Handles.Remove(b.Handles.SlotOf(handle));
  TrackedFree(l);
  b.LightsChanged = 1;
  return 0;
}

int FreeAllLightHandles() {
  LightBlock& b = GraphicsState.Lights;
  for (int slot = b.Handles.EndMark - 1; slot >= 0; --slot)
    if (b.Handles.Records[slot]) FreeLightHandle(b.Handles.Records[slot]->Handle);
  return 0;
}
