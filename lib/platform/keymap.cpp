// The one key table from SDL scancodes to virtual keys and DirectInput key
// codes, with its reverse for key codes.
#include "platform/keymap.h"

#include <SDL.h>

#include <array>
#include <cstdint>

#include "platform/input.h"
#include "platform/window.h"

namespace {

static_assert(SDL_NUM_SCANCODES == PLAT_SCANCODE_COUNT, "the scancode range is SDL's");

struct KeyRow {
  SDL_Scancode Scancode;
  uint8_t VirtualKey;
  uint8_t KeyCode;
};

// Virtual keys the window layer names nowhere else.
constexpr uint8_t kVkConvert = 0x1C, kVkNonConvert = 0x1D, kVkSnapshot = 0x2C, kVkLeftWin = 0x5B,
                  kVkRightWin = 0x5C, kVkApps = 0x5D, kVkSleep = 0x5F, kVkSeparator = 0x6C, kVkF13 = 0x7C,
                  kVkNecEqual = 0x92, kVkBrowserHome = 0xAC, kVkVolumeMute = 0xAD, kVkVolumeDown = 0xAE,
                  kVkVolumeUp = 0xAF, kVkMediaNext = 0xB0, kVkMediaPrev = 0xB1, kVkMediaStop = 0xB2,
                  kVkMediaPlay = 0xB3, kVkLaunchApp2 = 0xB7, kVkOem1 = 0xBA, kVkOemPlus = 0xBB,
                  kVkOemComma = 0xBC, kVkOemMinus = 0xBD, kVkOemPeriod = 0xBE, kVkOem2 = 0xBF, kVkOem3 = 0xC0,
                  kVkOem4 = 0xDB, kVkOem5 = 0xDC, kVkOem6 = 0xDD, kVkOem7 = 0xDE, kVkOem102 = 0xE2,
                  kVkOemCopy = 0xF2;

constexpr uint8_t Vk(int vk) { return static_cast<uint8_t>(vk); }

// DirectInput key codes are the PC/AT set-1 scan codes, with 0x80 added for
// the extended (E0-prefixed) keys. Left and right modifiers share one virtual
// key, as do the two Enter keys; the two keys at the backslash position of
// US and European keyboards are one key. The power key has no virtual key.
constexpr KeyRow kKeys[] = {
    {SDL_SCANCODE_ESCAPE, Vk(VK_ESCAPE), 0x01},
    {SDL_SCANCODE_1, '1', 0x02},
    {SDL_SCANCODE_2, '2', 0x03},
    {SDL_SCANCODE_3, '3', 0x04},
    {SDL_SCANCODE_4, '4', 0x05},
    {SDL_SCANCODE_5, '5', 0x06},
    {SDL_SCANCODE_6, '6', 0x07},
    {SDL_SCANCODE_7, '7', 0x08},
    {SDL_SCANCODE_8, '8', 0x09},
    {SDL_SCANCODE_9, '9', 0x0A},
    {SDL_SCANCODE_0, '0', 0x0B},
    {SDL_SCANCODE_MINUS, kVkOemMinus, 0x0C},
    {SDL_SCANCODE_EQUALS, kVkOemPlus, 0x0D},
    {SDL_SCANCODE_BACKSPACE, Vk(VK_BACK), 0x0E},
    {SDL_SCANCODE_TAB, Vk(VK_TAB), 0x0F},
    {SDL_SCANCODE_Q, 'Q', 0x10},
    {SDL_SCANCODE_W, 'W', 0x11},
    {SDL_SCANCODE_E, 'E', 0x12},
    {SDL_SCANCODE_R, 'R', 0x13},
    {SDL_SCANCODE_T, 'T', 0x14},
    {SDL_SCANCODE_Y, 'Y', 0x15},
    {SDL_SCANCODE_U, 'U', 0x16},
    {SDL_SCANCODE_I, 'I', 0x17},
    {SDL_SCANCODE_O, 'O', 0x18},
    {SDL_SCANCODE_P, 'P', 0x19},
    {SDL_SCANCODE_LEFTBRACKET, kVkOem4, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, kVkOem6, 0x1B},
    {SDL_SCANCODE_RETURN, Vk(VK_RETURN), 0x1C},
    {SDL_SCANCODE_LCTRL, Vk(VK_CONTROL), 0x1D},
    {SDL_SCANCODE_A, 'A', 0x1E},
    {SDL_SCANCODE_S, 'S', 0x1F},
    {SDL_SCANCODE_D, 'D', 0x20},
    {SDL_SCANCODE_F, 'F', 0x21},
    {SDL_SCANCODE_G, 'G', 0x22},
    {SDL_SCANCODE_H, 'H', 0x23},
    {SDL_SCANCODE_J, 'J', 0x24},
    {SDL_SCANCODE_K, 'K', 0x25},
    {SDL_SCANCODE_L, 'L', 0x26},
    {SDL_SCANCODE_SEMICOLON, kVkOem1, 0x27},
    {SDL_SCANCODE_APOSTROPHE, kVkOem7, 0x28},
    {SDL_SCANCODE_GRAVE, kVkOem3, 0x29},
    {SDL_SCANCODE_LSHIFT, Vk(VK_SHIFT), 0x2A},
    {SDL_SCANCODE_BACKSLASH, kVkOem5, 0x2B},
    {SDL_SCANCODE_NONUSHASH, kVkOem5, 0x2B},
    {SDL_SCANCODE_Z, 'Z', 0x2C},
    {SDL_SCANCODE_X, 'X', 0x2D},
    {SDL_SCANCODE_C, 'C', 0x2E},
    {SDL_SCANCODE_V, 'V', 0x2F},
    {SDL_SCANCODE_B, 'B', 0x30},
    {SDL_SCANCODE_N, 'N', 0x31},
    {SDL_SCANCODE_M, 'M', 0x32},
    {SDL_SCANCODE_COMMA, kVkOemComma, 0x33},
    {SDL_SCANCODE_PERIOD, kVkOemPeriod, 0x34},
    {SDL_SCANCODE_SLASH, kVkOem2, 0x35},
    {SDL_SCANCODE_RSHIFT, Vk(VK_SHIFT), 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, Vk(VK_MULTIPLY), 0x37},
    {SDL_SCANCODE_LALT, Vk(VK_MENU), 0x38},
    {SDL_SCANCODE_SPACE, Vk(VK_SPACE), 0x39},
    {SDL_SCANCODE_CAPSLOCK, Vk(VK_CAPITAL), 0x3A},
    {SDL_SCANCODE_F1, Vk(VK_F1), 0x3B},
    {SDL_SCANCODE_F2, Vk(VK_F1 + 1), 0x3C},
    {SDL_SCANCODE_F3, Vk(VK_F1 + 2), 0x3D},
    {SDL_SCANCODE_F4, Vk(VK_F1 + 3), 0x3E},
    {SDL_SCANCODE_F5, Vk(VK_F1 + 4), 0x3F},
    {SDL_SCANCODE_F6, Vk(VK_F1 + 5), 0x40},
    {SDL_SCANCODE_F7, Vk(VK_F1 + 6), 0x41},
    {SDL_SCANCODE_F8, Vk(VK_F1 + 7), 0x42},
    {SDL_SCANCODE_F9, Vk(VK_F1 + 8), 0x43},
    {SDL_SCANCODE_F10, Vk(VK_F1 + 9), 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, Vk(VK_NUMLOCK), 0x45},
    {SDL_SCANCODE_SCROLLLOCK, Vk(VK_SCROLL), 0x46},
    {SDL_SCANCODE_KP_7, Vk(VK_NUMPAD0 + 7), 0x47},
    {SDL_SCANCODE_KP_8, Vk(VK_NUMPAD0 + 8), 0x48},
    {SDL_SCANCODE_KP_9, Vk(VK_NUMPAD0 + 9), 0x49},
    {SDL_SCANCODE_KP_MINUS, Vk(VK_SUBTRACT), 0x4A},
    {SDL_SCANCODE_KP_4, Vk(VK_NUMPAD0 + 4), 0x4B},
    {SDL_SCANCODE_KP_5, Vk(VK_NUMPAD0 + 5), 0x4C},
    {SDL_SCANCODE_KP_6, Vk(VK_NUMPAD0 + 6), 0x4D},
    {SDL_SCANCODE_KP_PLUS, Vk(VK_ADD), 0x4E},
    {SDL_SCANCODE_KP_1, Vk(VK_NUMPAD0 + 1), 0x4F},
    {SDL_SCANCODE_KP_2, Vk(VK_NUMPAD0 + 2), 0x50},
    {SDL_SCANCODE_KP_3, Vk(VK_NUMPAD0 + 3), 0x51},
    {SDL_SCANCODE_KP_0, Vk(VK_NUMPAD0), 0x52},
    {SDL_SCANCODE_KP_PERIOD, Vk(VK_DECIMAL), 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, kVkOem102, 0x56},
    {SDL_SCANCODE_F11, Vk(VK_F1 + 10), 0x57},
    {SDL_SCANCODE_F12, Vk(VK_F1 + 11), 0x58},
    {SDL_SCANCODE_F13, kVkF13, 0x64},
    {SDL_SCANCODE_F14, kVkF13 + 1, 0x65},
    {SDL_SCANCODE_F15, kVkF13 + 2, 0x66},
    {SDL_SCANCODE_INTERNATIONAL2, kVkOemCopy, 0x70},     // katakana/hiragana
    {SDL_SCANCODE_INTERNATIONAL1, kVkOem102, 0x73},      // the "ro" key
    {SDL_SCANCODE_INTERNATIONAL4, kVkConvert, 0x79},     // henkan (convert)
    {SDL_SCANCODE_INTERNATIONAL5, kVkNonConvert, 0x7B},  // muhenkan (no convert)
    {SDL_SCANCODE_INTERNATIONAL3, kVkOem5, 0x7D},        // yen
    {SDL_SCANCODE_KP_EQUALS, kVkNecEqual, 0x8D},
    {SDL_SCANCODE_AUDIOPREV, kVkMediaPrev, 0x90},
    {SDL_SCANCODE_AUDIONEXT, kVkMediaNext, 0x99},
    {SDL_SCANCODE_KP_ENTER, Vk(VK_RETURN), 0x9C},
    {SDL_SCANCODE_RCTRL, Vk(VK_CONTROL), 0x9D},
    {SDL_SCANCODE_MUTE, kVkVolumeMute, 0xA0},
    {SDL_SCANCODE_CALCULATOR, kVkLaunchApp2, 0xA1},
    {SDL_SCANCODE_AUDIOPLAY, kVkMediaPlay, 0xA2},
    {SDL_SCANCODE_AUDIOSTOP, kVkMediaStop, 0xA4},
    {SDL_SCANCODE_VOLUMEDOWN, kVkVolumeDown, 0xAE},
    {SDL_SCANCODE_VOLUMEUP, kVkVolumeUp, 0xB0},
    {SDL_SCANCODE_AC_HOME, kVkBrowserHome, 0xB2},
    {SDL_SCANCODE_KP_COMMA, kVkSeparator, 0xB3},
    {SDL_SCANCODE_KP_DIVIDE, Vk(VK_DIVIDE), 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, kVkSnapshot, 0xB7},
    {SDL_SCANCODE_RALT, Vk(VK_MENU), 0xB8},
    {SDL_SCANCODE_PAUSE, Vk(VK_PAUSE), 0xC5},
    {SDL_SCANCODE_HOME, Vk(VK_HOME), 0xC7},
    {SDL_SCANCODE_UP, Vk(VK_UP), 0xC8},
    {SDL_SCANCODE_PAGEUP, Vk(VK_PRIOR), 0xC9},
    {SDL_SCANCODE_LEFT, Vk(VK_LEFT), 0xCB},
    {SDL_SCANCODE_RIGHT, Vk(VK_RIGHT), 0xCD},
    {SDL_SCANCODE_END, Vk(VK_END), 0xCF},
    {SDL_SCANCODE_DOWN, Vk(VK_DOWN), 0xD0},
    {SDL_SCANCODE_PAGEDOWN, Vk(VK_NEXT), 0xD1},
    {SDL_SCANCODE_INSERT, Vk(VK_INSERT), 0xD2},
    {SDL_SCANCODE_DELETE, Vk(VK_DELETE), 0xD3},
    {SDL_SCANCODE_LGUI, kVkLeftWin, 0xDB},
    {SDL_SCANCODE_RGUI, kVkRightWin, 0xDC},
    {SDL_SCANCODE_APPLICATION, kVkApps, 0xDD},
    {SDL_SCANCODE_POWER, 0, 0xDE},
    {SDL_SCANCODE_SLEEP, kVkSleep, 0xDF},
};

struct KeyTables {
  std::array<PlatKeyInfo, PLAT_SCANCODE_COUNT> ByScancode{};
  std::array<uint16_t, PLAT_KEY_COUNT> ToScancode{};
};

constexpr KeyTables BuildTables() {
  KeyTables t{};
  for (const KeyRow& k : kKeys) {
    t.ByScancode[k.Scancode] = PlatKeyInfo{k.VirtualKey, k.KeyCode};
    // The first scancode listed for a key code is the one a script presses.
    if (t.ToScancode[k.KeyCode] == 0) t.ToScancode[k.KeyCode] = static_cast<uint16_t>(k.Scancode);
  }
  return t;
}

constexpr KeyTables kTables = BuildTables();

}  // namespace

int PlatKeyFromScancode(int scancode, PlatKeyInfo* out) {
  PlatKeyInfo key{0, 0};
  if (scancode > 0 && scancode < PLAT_SCANCODE_COUNT) key = kTables.ByScancode[static_cast<size_t>(scancode)];
  if (out) *out = key;
  return key.KeyCode != 0 ? 0 : -1;
}

int PlatKeyCodeFromScancode(int scancode) {
  PlatKeyInfo key;
  PlatKeyFromScancode(scancode, &key);
  return key.KeyCode;
}

int PlatScancodeFromKeyCode(int keyCode) {
  if (keyCode <= 0 || keyCode >= PLAT_KEY_COUNT) return 0;
  return kTables.ToScancode[static_cast<size_t>(keyCode)];
}
