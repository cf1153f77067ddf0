// The table from SDL scancodes to DirectInput key codes.
#include <gtest/gtest.h>

#include "platform/input.h"

namespace {

// SDL scancode numbers (USB usage ids), written out because tests see no SDL
// header.
enum : int {
  kScA = 4, kScB = 5, kScX = 27, kScZ = 29, kSc1 = 30, kSc0 = 39, kScReturn = 40, kScEscape = 41,
  kScBackspace = 42, kScTab = 43, kScSpace = 44, kScF1 = 58, kScF10 = 67, kScF12 = 69,
  kScRight = 79, kScLeft = 80, kScDown = 81, kScUp = 82, kScKp1 = 89, kScKp2 = 90, kScKp0 = 98,
  kScKpEnter = 88, kScLCtrl = 224, kScLShift = 225, kScLAlt = 226, kScRCtrl = 228, kScRShift = 229,
  kScDelete = 76, kScHome = 74,
};

TEST(KeyCodeTable, KeysTheGameUsesMapToTheirCodes) {
  EXPECT_EQ(PlatKeyCodeFromScancode(kScEscape), 1);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScZ), 44);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScX), 45);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScSpace), 57);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScUp), 200);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScLeft), 203);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScRight), 205);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScDown), 208);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScA), 30);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScB), 48);
}

TEST(KeyCodeTable, OtherKeyGroupsMap) {
  EXPECT_EQ(PlatKeyCodeFromScancode(kSc1), 0x02);
  EXPECT_EQ(PlatKeyCodeFromScancode(kSc0), 0x0B);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScReturn), 0x1C);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScBackspace), 0x0E);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScTab), 0x0F);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScF1), 0x3B);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScF10), 0x44);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScF12), 0x58);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScKp1), 0x4F);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScKp2), 0x50);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScKp0), 0x52);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScKpEnter), 0x9C);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScLCtrl), 0x1D);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScRCtrl), 0x9D);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScLShift), 0x2A);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScRShift), 0x36);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScLAlt), 0x38);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScDelete), 0xD3);
  EXPECT_EQ(PlatKeyCodeFromScancode(kScHome), 0xC7);
  // All 26 letters and 10 digits have a code, all different.
  bool seen[256] = {};
  for (int sc = kScA; sc <= kSc0; ++sc) {
    int code = PlatKeyCodeFromScancode(sc);
    ASSERT_NE(code, 0) << sc;
    EXPECT_FALSE(seen[code]) << sc;
    seen[code] = true;
  }
}

TEST(KeyCodeTable, UnknownKeysMapToNone) {
  EXPECT_EQ(PlatKeyCodeFromScancode(0), 0);
  EXPECT_EQ(PlatKeyCodeFromScancode(-1), 0);
  EXPECT_EQ(PlatKeyCodeFromScancode(1), 0);
  EXPECT_EQ(PlatKeyCodeFromScancode(511), 0);
  EXPECT_EQ(PlatKeyCodeFromScancode(512), 0);
  EXPECT_EQ(PlatKeyCodeFromScancode(1 << 30), 0);
  EXPECT_EQ(PlatScancodeFromKeyCode(0), 0);
  EXPECT_EQ(PlatScancodeFromKeyCode(256), 0);
  EXPECT_EQ(PlatScancodeFromKeyCode(-5), 0);
  EXPECT_EQ(PlatScancodeFromKeyCode(0x55), 0);  // no key has this code
}

TEST(KeyCodeTable, EveryCodeWithAScancodeMapsBack) {
  int mapped = 0;
  for (int code = 1; code < 256; ++code) {
    int sc = PlatScancodeFromKeyCode(code);
    if (sc == 0) continue;
    ++mapped;
    EXPECT_EQ(PlatKeyCodeFromScancode(sc), code) << code;
  }
  EXPECT_GT(mapped, 100);
}

}  // namespace
