// The committed pictures and sounds have the sizes and layout the game draws from.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "process_state.h"
#include "vexlo.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAsset(const std::string& relative) {
  std::ifstream in(fs::path(VX_SOURCE_DIR) / "assets" / relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return (static_cast<uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

struct Bmp {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;
  // Red, green, blue of pixel (x, y), y from the top.
  void Pixel(int x, int y, int& r, int& g, int& b) const {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    const size_t at = Le32(bytes, 10) + stride * (height - 1 - y) + 3 * static_cast<size_t>(x);
    b = bytes[at];
    g = bytes[at + 1];
    r = bytes[at + 2];
  }
};

Bmp LoadBmp(const std::string& name) {
  Bmp bmp;
  bmp.bytes = ReadAsset("graphic/" + name);
  if (bmp.bytes.size() < 54 || bmp.bytes[0] != 'B' || bmp.bytes[1] != 'M') return bmp;
  if (bmp.bytes[28] != 24) return bmp;
  bmp.width = static_cast<int>(Le32(bmp.bytes, 18));
  bmp.height = static_cast<int>(Le32(bmp.bytes, 22));
  const size_t stride = (static_cast<size_t>(bmp.width) * 3 + 3) / 4 * 4;
  if (Le32(bmp.bytes, 10) + stride * bmp.height > bmp.bytes.size()) bmp.width = bmp.height = 0;
  return bmp;
}

TEST(Assets, PicturesHaveTheSizesTheGameDrawsFrom) {
  struct Expected {
    const char* name;
    int width, height;
  };
  for (const Expected& e : {Expected{"dot.bmp", 160, 80}, Expected{"BG.bmp", 640, 480},
                            Expected{"BG2.bmp", 640, 480}, Expected{"chara2.bmp", 700, 560}}) {
    const Bmp bmp = LoadBmp(e.name);
    EXPECT_EQ(bmp.width, e.width) << e.name;
    EXPECT_EQ(bmp.height, e.height) << e.name;
  }
  for (const Expected& e : {Expected{"bomb_title.png", 640, 480}, Expected{"select.png", 640, 480},
                            Expected{"katimake.png", 640, 180}}) {
    const std::vector<uint8_t> png = ReadAsset(std::string("graphic/") + e.name);
    ASSERT_GE(png.size(), 33u) << e.name;
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(Be32(png, 16), static_cast<uint32_t>(e.width)) << e.name;
    EXPECT_EQ(Be32(png, 20), static_cast<uint32_t>(e.height)) << e.name;
  }
}

// Black is the colour key: any visible pixel must stay non-black on a 5-6-5 screen.
TEST(Assets, SpriteSheetsKeepVisibleDarkPixelsAwayFromTheColourKey) {
  for (const char* name : {"dot.bmp", "chara2.bmp"}) {
    const Bmp bmp = LoadBmp(name);
    ASSERT_GT(bmp.width, 0) << name;
    int nearBlack = 0;
    for (int y = 0; y < bmp.height; ++y) {
      for (int x = 0; x < bmp.width; ++x) {
        int r, g, b;
        bmp.Pixel(x, y, r, g, b);
        const bool key = r == 0 && g == 0 && b == 0;
        nearBlack += !key && (r >> 3) == 0 && (g >> 2) == 0 && (b >> 3) == 0;
      }
    }
    EXPECT_EQ(nearBlack, 0) << name;
  }
  // The cells the wells and pieces draw are opaque; the cursor's corner is transparent.
  const Bmp dot = LoadBmp("dot.bmp");
  int r, g, b;
  for (int v = 0; v <= 7; ++v) {
    for (int row = 0; row < 2; ++row) {
      dot.Pixel(v * 20 + 10, row * 20 + 10, r, g, b);
      EXPECT_GT(r + g + b, 0) << v << " " << row;
    }
  }
  dot.Pixel(0, 40, r, g, b);
  EXPECT_EQ(r + g + b, 0);
  dot.Pixel(55, 55, r, g, b);  // the win token's centre
  EXPECT_GT(r + g + b, 0);
  dot.Pixel(70, 72, r, g, b);  // the damage bar
  EXPECT_GT(r, 100);
}

TEST(Assets, SoundsArePcmWavAndTheMusicIsAnMp3) {
  for (const char* name : {"kasi.wav", "guwaan.wav", "cha.wav", "gaw.wav", "dageki_1.wav", "dageki_2.wav",
                           "guuu.wav", "pa.wav", "lose.wav", "win.wav"}) {
    const std::vector<uint8_t> wav = ReadAsset(std::string("sound/") + name);
    ASSERT_GE(wav.size(), 44u) << name;
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF") << name;
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE") << name;
    EXPECT_EQ(wav[20], 1) << name;  // PCM
    EXPECT_EQ(Le32(wav, 40) + 44, wav.size()) << name;
  }
  const std::vector<uint8_t> mp3 = ReadAsset("sound/violin.mp3");
  ASSERT_GE(mp3.size(), 100000u);
  EXPECT_LT(mp3.size(), 1000000u);
  EXPECT_EQ(mp3[0], 0xFF);  // a frame sync at the start
  EXPECT_EQ(mp3[1] & 0xE0, 0xE0);
}

}  // namespace

namespace {

class LibraryAssets : public teststate::FreshProcessTest {};

// The library itself reads every file the game loads (headless).
TEST_F(LibraryAssets, LibraryLoadsEveryPictureSoundAndTheMusic) {
  // Headless whatever the runner passes on: no window, no sound card.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  teststate::InDirectory inAssets(fs::path(VX_SOURCE_DIR) / "assets");
  SetLogFileOutput(0);
  ChangeWindowMode(1);
  ASSERT_EQ(InitLibrary(), 0);
  for (const char* path :
       {"graphic\\dot.bmp", "graphic\\bomb_title.png", "graphic\\BG.bmp", "graphic\\BG2.bmp",
        "graphic\\katimake.png", "graphic\\chara2.bmp", "graphic\\select.png"}) {
    EXPECT_NE(LoadImageFile(path, 0), -1) << path;
  }
  for (const char* path :
       {"sound\\kasi.wav", "sound\\guwaan.wav", "sound\\cha.wav", "sound\\gaw.wav", "sound\\dageki_1.wav",
        "sound\\dageki_2.wav", "sound\\guuu.wav", "sound\\pa.wav", "sound\\lose.wav", "sound\\win.wav"}) {
    EXPECT_NE(LoadSoundFile(path, 3, -1), -1) << path;
  }
  EXPECT_EQ(PlayMusicFile("sound\\violin.mp3", 3), 0);
  EXPECT_EQ(IsMusicFilePlaying(), 1);
  EXPECT_EQ(StopMusicFile(), 0);
  EndLibrary();
}

}  // namespace
