// The one key table: SDL scancodes to virtual keys and DirectInput key codes.
#include <gtest/gtest.h>

#include "platform/input.h"
#include "platform/keymap.h"
#include "platform/window.h"

namespace {

// SDL scancode numbers (USB usage ids), written out because tests see no SDL
// header.
enum : int {
  kScA = 4,
  kScB = 5,
  kScX = 27,
  kScZ = 29,
  kSc1 = 30,
  kSc0 = 39,
  kScReturn = 40,
  kScEscape = 41,
  kScBackspace = 42,
  kScTab = 43,
  kScSpace = 44,
  kScF1 = 58,
  kScF10 = 67,
  kScF12 = 69,
  kScRight = 79,
  kScLeft = 80,
  kScDown = 81,
  kScUp = 82,
  kScKp1 = 89,
  kScKp2 = 90,
  kScKp0 = 98,
  kScKpEnter = 88,
  kScLCtrl = 224,
  kScLShift = 225,
  kScLAlt = 226,
  kScRCtrl = 228,
  kScRShift = 229,
  kScDelete = 76,
  kScHome = 74,
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

TEST(KeyTable, EveryKnownScancodeGivesAVirtualKeyAndAKeyCode) {
  constexpr int kScPower = 102;  // the one key with no virtual key
  int known = 0;
  for (int sc = -2; sc < PLAT_SCANCODE_COUNT + 2; ++sc) {
    PlatKeyInfo key{-1, -1};
    int r = PlatKeyFromScancode(sc, &key);
    if (r != 0) {
      EXPECT_EQ(key.VirtualKey, 0) << sc;
      EXPECT_EQ(key.KeyCode, 0) << sc;
      continue;
    }
    ++known;
    EXPECT_GT(key.KeyCode, 0) << sc;
    EXPECT_LT(key.KeyCode, PLAT_KEY_COUNT) << sc;
    EXPECT_EQ(key.KeyCode, PlatKeyCodeFromScancode(sc)) << sc;
    if (sc != kScPower) {
      EXPECT_GT(key.VirtualKey, 0) << sc;
      EXPECT_LT(key.VirtualKey, 0xFF) << sc;
    }
  }
  EXPECT_GT(known, 100);
  EXPECT_EQ(PlatKeyFromScancode(kScZ, nullptr), 0);
}

TEST(KeyTable, NoTwoKeysCollideButTheSharedOnes) {
  // Keys that share a key code: the backslash key and the key at its place
  // on European keyboards (#). Keys that share a virtual key: left and right
  // modifiers, the two Enter keys, and keys of other layouts at the same
  // place.
  constexpr int kScBackslash = 49, kScNonUsHash = 50;
  int byCode[PLAT_KEY_COUNT] = {};
  int byPair[256][PLAT_KEY_COUNT] = {};
  for (int sc = 1; sc < PLAT_SCANCODE_COUNT; ++sc) {
    PlatKeyInfo key;
    if (PlatKeyFromScancode(sc, &key) != 0) continue;
    if (byCode[key.KeyCode] != 0) {
      EXPECT_TRUE(byCode[key.KeyCode] == kScBackslash && sc == kScNonUsHash)
          << "scancodes " << byCode[key.KeyCode] << " and " << sc << " share key code " << key.KeyCode;
    } else {
      byCode[key.KeyCode] = sc;
    }
    int& pair = byPair[key.VirtualKey][key.KeyCode];
    if (sc != kScNonUsHash) {
      EXPECT_EQ(pair, 0) << "scancodes " << pair << " and " << sc << " are one key";
    }
    pair = sc;
  }
  // The modifiers and Enter keys: two scancodes each, one virtual key, two codes.
  const struct {
    int Left, Right, VirtualKey;
  } kPairs[] = {{kScLCtrl, kScRCtrl, VK_CONTROL},
                {kScLShift, kScRShift, VK_SHIFT},
                {kScLAlt, 230, VK_MENU},
                {kScReturn, kScKpEnter, VK_RETURN}};
  for (const auto& p : kPairs) {
    PlatKeyInfo a, b;
    ASSERT_EQ(PlatKeyFromScancode(p.Left, &a), 0);
    ASSERT_EQ(PlatKeyFromScancode(p.Right, &b), 0);
    EXPECT_EQ(a.VirtualKey, p.VirtualKey);
    EXPECT_EQ(b.VirtualKey, p.VirtualKey);
    EXPECT_NE(a.KeyCode, b.KeyCode);
  }
  // Letters, digits and the keys the window procedure handles have the
  // virtual keys of the message model.
  PlatKeyInfo key;
  PlatKeyFromScancode(kScZ, &key);
  EXPECT_EQ(key.VirtualKey, 'Z');
  PlatKeyFromScancode(kSc0, &key);
  EXPECT_EQ(key.VirtualKey, '0');
  PlatKeyFromScancode(kScF12, &key);
  EXPECT_EQ(key.VirtualKey, VK_F1 + 11);
  PlatKeyFromScancode(kScKp0, &key);
  EXPECT_EQ(key.VirtualKey, VK_NUMPAD0);
  PlatKeyFromScancode(kScDelete, &key);
  EXPECT_EQ(key.VirtualKey, VK_DELETE);
  PlatKeyFromScancode(kScUp, &key);
  EXPECT_EQ(key.VirtualKey, VK_UP);
}

}  // namespace
