#include "fake_library.h"

#include <cstdarg>
#include <cstdio>

#include "game_globals.h"

FakeLibrary g_fake;

namespace {

int FakePump() { return g_fake.pumpResult; }
int FakeEnd() {
  ++g_fake.endLibraryCalls;
  return 0;
}
int FakeIsKeyDown(int code) { return code >= 0 && code < 256 && g_fake.keys[code] == 1 ? 1 : 0; }
int FakeAllKeys(char* states) {
  for (int i = 0; i < 256; ++i) states[i] = g_fake.keys[i];
  return 0;
}
int FakePadCount() { return g_fake.padCount; }
int FakePadBits(int pad) { return pad >= 0 && pad < 3 ? g_fake.padBits[pad] : 0; }
int FakeRandom(int max) {
  ++g_fake.randomDraws;
  if (g_fake.randomValues.empty()) {
    if (g_fake.randomSeed == 0 || max < 0) return 0;
    uint32_t& x = g_fake.randomSeed;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return static_cast<int>(x % (static_cast<uint32_t>(max) + 1));
  }
  const int v = g_fake.randomValues.front();
  g_fake.randomValues.pop_front();
  return v <= max ? v : max;
}
uint32_t FakeClock() { return g_fake.clock; }
int FakeWait(int ms) {
  g_fake.waits.push_back(ms);
  return 0;
}
GameColor FakeMakeColor(int r, int g, int b) { return FakeColor(r, g, b); }
int FakeLoadImage(const char*, int) { return -1; }
int FakeDrawPart(int x, int y, int sx, int sy, int w, int h, int graph, int, int) {
  g_fake.parts.push_back({x, y, sx, sy, w, h, graph});
  return 0;
}
int FakeLine(int, int, int, int, GameColor, int) { return 0; }
int FakeRect(int, int, int, int, GameColor, int) { return 0; }
int FakeText(int x, int y, GameColor color, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  g_fake.texts.push_back({x, y, color, buffer});
  return 0;
}
int FakeFontSize(int size) {
  g_fake.fontSize = size;
  return 0;
}
int FakeOk() { return 0; }
int FakeTarget(int) { return 0; }
int FakeLoadSound(const char*, int, int) { return -1; }
int FakePlaySound(int, int, int) { return 0; }
int FakePlayMusic(const char* path, int) {
  g_fake.musicPlayed.push_back(path);
  g_fake.musicPlaying = 1;
  return 0;
}
int FakeStopMusic() {
  g_fake.musicPlaying = 0;
  return 0;
}
int FakeMusicPlaying() { return g_fake.musicPlaying; }
int FakeVolume(int) { return 0; }

void RecordSound(int number) { g_fake.sounds.push_back(number); }

}  // namespace

GameColor FakeColor(int r, int g, int b) { return (r << 16) | (g << 8) | b; }

bool FakeLibrary::TextDrawn(const std::string& text) const {
  for (const DrawnText& t : texts) {
    if (t.text == text) return true;
  }
  return false;
}

int FakeLibrary::SoundCount(int number) const {
  int n = 0;
  for (int s : sounds) n += s == number;
  return n;
}

void InstallFakeLibrary() {
  g_fake = FakeLibrary{};
  g_calls = GameCalls{
      FakePump,      FakeEnd,       FakeIsKeyDown, FakeAllKeys,      FakePadCount,
      FakePadBits,   FakeRandom,    FakeClock,     FakeWait,         FakeMakeColor,
      FakeLoadImage, FakeDrawPart,  FakeLine,      FakeRect,         FakeText,
      FakeFontSize,  FakeOk,        FakeTarget,    FakeOk,           FakeLoadSound,
      FakePlaySound, FakePlayMusic, FakeStopMusic, FakeMusicPlaying, FakeVolume,
  };
  g_game = GameGlobals{};
  g_game.offsetRule = 1;
  g_game.winsNeeded = 3;
  g_gameSoundObserver = RecordSound;
}

void UninstallFakeLibrary() {
  g_calls = LibraryGameCalls();
  g_gameSoundObserver = nullptr;
}

void FillRow(Board& board, int row, int value, std::initializer_list<int> holes) {
  for (int k = 0; k < board.width; ++k) {
    bool hole = false;
    for (int h : holes) hole = hole || h == k;
    board.rows[row][k] = hole ? 0 : value;
  }
}
