// Starts input with the window counted as active (or as the test says), over
// the scripted window back end: keys, pads and the mouse arrive as native
// events it delivers.
#pragma once
#include <gtest/gtest.h>

#include "input/input.h"
#include "input/input_state.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/window_backend.h"
#include "platform/window_fake.h"
#include "process_state.h"

namespace inputtest {

inline int g_active = 1;
inline uint32_t g_now = 1000;
inline int ActiveQuery() { return g_active; }
inline uint32_t Now() { return g_now; }

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    ASSERT_EQ(PlatUseFakeWindowBackend(), 0);
    g_active = 1;
    g_now = 1000;
    PlatSetMillisecondHook(Now);
    SetInputActiveQuery(ActiveQuery);
    ASSERT_EQ(InitInput(), 0);
    InitCharCodeBuffer();
  }
  void TearDown() override { teststate::ResetProcessState(); }
  // Activation or deactivation as the window procedure reports it.
  static void SetActive(int active) {
    g_active = active;
    RefreshInputAcquire();
    ApplyPadVibration();
  }
};

// Scancodes (SDL's numbering) and pad buttons (DirectInput order) the tests use.
enum : int {
  kScZ = 29,
  kScX = 27,
  kScSpace = 44,
  kScDelete = 76,
  kScRight = 79,
  kScLeft = 80,
  kScDown = 81,
  kScUp = 82,
  kScReturn = 40,
  kScEscape = 41,
  kScBackspace = 42,
  kBtnA = 0,
  kBtnB = 1,
  kBtnX = 2,
  kBtnY = 3,
  kBtnStart = 7,
  kBtnLeftStick = 8,
  kHatDown = 1,
  kHatLeft = 2,
  kHatRight = 4,
  kHatUp = 8,
  kMouseLeft = 0,
  kMouseRight = 1,
};

// Each queues native events in the fake back end and has it deliver them.
inline void Deliver() { PlatFakeDeliverDueEvents(); }
inline void FakeKey(int scancode, int down, int repeat = 0) {
  ASSERT_EQ(PlatFakeQueueKey(scancode, down, repeat), 0);
  Deliver();
}
inline void FakeFocusLost() {
  PlatFakeQueueEvent(PlatNativeEventKind::FocusLost);
  Deliver();
}
inline void FakeMouse(int button, int down) {
  PlatFakeQueueMouseButton(button, down);
  Deliver();
}
inline int OccupiedPadSlots() {
  int n = 0;
  PlatPadState s;
  for (int i = 0; i < PLAT_MAX_PADS; ++i) n += PlatReadPad(i, &s) == 0;
  return n;
}
// Plugs in a pad; its id, or -1 when it found no free slot.
inline int FakePlugPad() {
  static int nextId = 500;
  const int id = ++nextId, before = OccupiedPadSlots();
  if (PlatFakePlugPad(id) != 0) return -1;
  Deliver();
  return OccupiedPadSlots() > before ? id : -1;
}
inline void FakeUnplugPad(int id) {
  PlatFakeUnplugPad(id);
  Deliver();
}
inline void FakePadButton(int id, int button, int down) {
  PlatFakeQueuePadButton(id, button, down);
  Deliver();
}
inline void FakePadAxis(int id, int axis, int value) {
  PlatFakeQueuePadAxis(id, axis, value);
  Deliver();
}
inline void FakePadHat(int id, int bits) {
  PlatFakeQueuePadHat(id, bits);
  Deliver();
}

}  // namespace inputtest
