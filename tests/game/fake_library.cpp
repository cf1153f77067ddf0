#include "fake_library.h"

#include <cstdarg>
#include <cstdio>

#include "game_globals.h"

FakeLibrary gFake;

namespace {

int FakePump() { return gFake.pumpResult; }
int FakeEnd() { ++gFake.endLibraryCalls; return 0; }
int FakeIsKeyDown(int code) { return code >= 0 && code < 256 && gFake.keys[code] == 1 ? 1 : 0; }
int FakeAllKeys(char* states) {
    for (int i = 0; i < 256; ++i) states[i] = gFake.keys[i];
    return 0;
}
int FakePadCount() { return gFake.padCount; }
int FakePadBits(int pad) { return pad >= 0 && pad < 3 ? gFake.padBits[pad] : 0; }
int FakeRandom(int max) {
    ++gFake.randomDraws;
    if (gFake.randomValues.empty()) {
        if (gFake.randomSeed == 0 || max < 0) return 0;
        uint32_t& x = gFake.randomSeed;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return static_cast<int>(x % (static_cast<uint32_t>(max) + 1));
    }
    const int v = gFake.randomValues.front();
    gFake.randomValues.pop_front();
    return v <= max ? v : max;
}
uint32_t FakeClock() { return gFake.clock; }
int FakeWait(int ms) {
    gFake.waits.push_back(ms);
    return 0;
}
GameColor FakeMakeColor(int r, int g, int b) { return FakeColor(r, g, b); }
int FakeLoadImage(const char*, int) { return -1; }
int FakeDrawPart(int x, int y, int sx, int sy, int w, int h, int graph, int, int) {
    gFake.parts.push_back({x, y, sx, sy, w, h, graph});
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
    gFake.texts.push_back({x, y, color, buffer});
    return 0;
}
int FakeFontSize(int size) {
    gFake.fontSize = size;
    return 0;
}
int FakeOk() { return 0; }
int FakeTarget(int) { return 0; }
int FakeLoadSound(const char*, int, int) { return -1; }
int FakePlaySound(int, int, int) { return 0; }
int FakePlayMusic(const char* path, int) {
    gFake.musicPlayed.push_back(path);
    gFake.musicPlaying = 1;
    return 0;
}
int FakeStopMusic() {
    gFake.musicPlaying = 0;
    return 0;
}
int FakeMusicPlaying() { return gFake.musicPlaying; }
int FakeVolume(int) { return 0; }

void RecordSound(int number) { gFake.sounds.push_back(number); }

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
    gFake = FakeLibrary{};
    gCalls = GameCalls{
        FakePump,     FakeEnd,        FakeIsKeyDown, FakeAllKeys,   FakePadCount,  FakePadBits, FakeRandom,
        FakeClock,    FakeWait,       FakeMakeColor, FakeLoadImage, FakeDrawPart,  FakeLine,    FakeRect,
        FakeText,     FakeFontSize,   FakeOk,        FakeTarget,    FakeOk,        FakeLoadSound,
        FakePlaySound, FakePlayMusic, FakeStopMusic, FakeMusicPlaying, FakeVolume,
    };
    gGame = GameGlobals{};
    gGame.offsetRule = 1;
    gGame.winsNeeded = 3;
    gGameSoundObserver = RecordSound;
}

void UninstallFakeLibrary() {
    gCalls = LibraryGameCalls();
    gGameSoundObserver = nullptr;
}

void FillRow(Board& board, int row, int value, std::initializer_list<int> holes) {
    for (int k = 0; k < board.width; ++k) {
        bool hole = false;
        for (int h : holes) hole = hole || h == k;
        board.rows[row][k] = hole ? 0 : value;
    }
}
