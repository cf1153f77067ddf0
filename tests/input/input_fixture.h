// Starts input with the window counted as active (or as the test says).
#pragma once
#include <gtest/gtest.h>

#include "input/input.h"
#include "input/input_state.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/input_testing.h"

namespace inputtest {

inline int gActive = 1;
inline uint32_t gNow = 1000;
inline int ActiveQuery() { return gActive; }
inline uint32_t Now() { return gNow; }

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gActive = 1;
    gNow = 1000;
    PlatSetMillisecondHook(Now);
    SetInputActiveQuery(ActiveQuery);
    ASSERT_EQ(InitInput(), 0);
    InitCharCodeBuffer();
  }
  void TearDown() override {
    TermInput();
    SetInputActiveQuery(nullptr);
    PlatSetMillisecondHook(nullptr);
  }
  // Activation or deactivation as the window procedure reports it.
  static void SetActive(int active) {
    gActive = active;
    RefreshInputAcquire();
    ApplyPadVibration();
  }
};

// SDL numbers the tests use.
enum : int {
  kScZ = 29, kScX = 27, kScSpace = 44, kScDelete = 76, kScRight = 79, kScLeft = 80, kScDown = 81, kScUp = 82,
  kScReturn = 40, kScEscape = 41, kScBackspace = 42,
  kBtnA = 0, kBtnB = 1, kBtnX = 2, kBtnY = 3, kBtnBack = 4, kBtnStart = 6, kBtnLeftStick = 7,
  kBtnLeftShoulder = 9, kBtnDpadUp = 11, kBtnDpadDown = 12, kBtnDpadLeft = 13, kBtnDpadRight = 14,
  kAxisLeftX = 0, kAxisLeftY = 1, kAxisTriggerLeft = 4,
  kHatUp = 1, kHatRight = 2, kHatDown = 4, kHatLeft = 8,
};

}  // namespace inputtest
