// Shared helpers of the software renderer's tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/system_state.h"
#include "process_state.h"
#include "softrender/memimg.h"
#include "softrender/memimg_draw.h"
#include "softrender/memimg_tables.h"
#include "softrender/reference_model.h"

// An image that terminates itself.
struct TestImg {
  MEMIMG m{};
  TestImg() = default;
  TestImg(const TestImg&) = delete;
  TestImg& operator=(const TestImg&) = delete;
  ~TestImg() { TerminateMemImg(&m); }
  int Make(int w, int h, MemImgColorType type, int palette = 0, int alpha = 0, int extras = 0, int pitch = -1,
           uint32_t key = 0) {
    return InitializeMemImg(&m, w, h, pitch, key, type, palette, alpha, extras, nullptr);
  }
  size_t Bytes() const { return static_cast<size_t>(m.Base->Pitch) * m.Base->Height; }
  std::vector<uint8_t> Snapshot() const {
    return std::vector<uint8_t>(m.Base->Pixels, m.Base->Pixels + Bytes());
  }
  void Restore(const std::vector<uint8_t>& v) { std::memcpy(m.Base->Pixels, v.data(), v.size()); }
  uint8_t* At(int x, int y) {
    return m.Pixels + static_cast<size_t>(y) * m.Base->Pitch +
           static_cast<size_t>(x) * m.Base->Format->BytesPerPixel;
  }
  uint32_t Get32(int x, int y) {
    uint32_t v;
    std::memcpy(&v, At(x, y), 4);
    return v;
  }
  uint32_t Get16(int x, int y) {
    uint16_t v;
    std::memcpy(&v, At(x, y), 2);
    return v;
  }
  void Set32(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, 4); }
  void Set16(int x, int y, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(At(x, y), &w, 2);
  }
  void Fill32(uint32_t v) {
    for (int y = 0; y < m.Height; ++y)
      for (int x = 0; x < m.Width; ++x) Set32(x, y, v);
  }
  void Fill16(uint32_t v) {
    for (int y = 0; y < m.Height; ++y)
      for (int x = 0; x < m.Width; ++x) Set16(x, y, v);
  }
};

// Puts the drawing state (and the MMX flag) in place for both the library
// and the reference model.
inline void ApplyState(const RefBlendState& st) {
  static Rect clip;
  clip = st.Clip;
  SoftDrawState.Clip = &clip;
  SoftDrawState.BlendMode = st.Mode;
  SoftDrawState.BlendParam = st.Param;
  SoftDrawState.Tint = st.Tint;
  SystemState.Kept.CpuMmxFlag = st.Mmx ? 1 : 0;
}

// Points the renderer's clip at a copy of `r` kept here.
inline void SetSoftClip(const Rect& r) {
  static Rect clip;
  clip = r;
  SoftDrawState.Clip = &clip;
}

inline RefBlendState PlainState(int w, int h) { return RefBlendState{{0, 0, w, h}, 0, 0, 0xFFFFFF, false}; }

class SoftRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool built = false;
    if (!built) {
      InitMemImgTables();
      built = true;
    }
    BuildBlendGraphLevelTable(128, 255);
    teststate::ResetProcessState();
  }
  void TearDown() override { teststate::ResetProcessState(); }
};
