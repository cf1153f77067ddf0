#include "game_globals.h"

#include "game_calls.h"

GameGlobals gGame;
GameSoundObserver gGameSoundObserver = nullptr;

namespace {

constexpr const char* kImagePaths[kImageSlots] = {
    "graphic\\dot.bmp", "graphic\\bomb_title.png", "graphic\\BG.bmp", "graphic\\BG2.bmp",
    nullptr,            "graphic\\katimake.png",   "graphic\\chara2.bmp", "graphic\\select.png",
};

constexpr const char* kSoundPaths[kSoundSlots - 1] = {
    "sound\\kasi.wav",     "sound\\guwaan.wav",    "sound\\cha.wav",  "sound\\gaw.wav",
    "sound\\dageki_1.wav", "sound\\dageki_2.wav",  "sound\\guuu.wav", "sound\\pa.wav",
    "sound\\lose.wav",     "sound\\win.wav",
};

// The sound table is cleared before the entry point runs.
struct SoundTableInitializer {
    SoundTableInitializer() { InitSoundHandleTable(); }
} gSoundTableInitializer;

}  // namespace

void InitSoundHandleTable() {
    for (int32_t& handle : gGame.soundHandles) handle = 0;
}

void LoadGameImages() {
    for (int slot = 0; slot < kImageSlots; ++slot) {
        if (kImagePaths[slot] != nullptr) gGame.imageHandles[slot] = gCalls.LoadImageFile(kImagePaths[slot], 0);
    }
}

void LoadGameSounds() {
    for (int number = 0; number < kSoundSlots - 1; ++number) {
        gGame.soundHandles[number] = gCalls.LoadSoundFile(kSoundPaths[number], 3, -1);
    }
}

void PlayGameSound(int number) {
    if (number < 0 || number >= kSoundSlots) return;
    if (gGameSoundObserver != nullptr) gGameSoundObserver(number);
    gCalls.PlaySoundHandle(gGame.soundHandles[number], 1, 1);
}

// Holds the frame loop near 16 ms a frame: the time since the last one, two and three pacings is
// compared with one, two and three frame periods, so long frames shorten the next wait and short
// ones lengthen it.
void PaceFrame() {
    constexpr int32_t kFrame = 16;
    const uint32_t now = gCalls.GetMillisecondClock();
    for (int i = 0; i < 3; ++i) {
        if (!gGame.pacerSeeded[i]) {
            gGame.pacerTimes[i] = now - static_cast<uint32_t>(kFrame * (i + 1));
            gGame.pacerSeeded[i] = 1;
        }
    }
    // Unsigned differences survive the clock's wrap; the frame error itself is signed.
    const int32_t a = kFrame - static_cast<int32_t>(now - gGame.pacerTimes[0]);
    const int32_t b = 2 * kFrame - static_cast<int32_t>(now - gGame.pacerTimes[1]);
    const int32_t c = 3 * kFrame - static_cast<int32_t>(now - gGame.pacerTimes[2]);
    const int wait = static_cast<int>(kFrame + 0.6 * a + 0.45 * b + 0.3 * c);
    gGame.pacerTimes[2] = gGame.pacerTimes[1];
    gGame.pacerTimes[1] = gGame.pacerTimes[0];
    gGame.pacerTimes[0] = now;
    gCalls.WaitMilliseconds(wait);
}
