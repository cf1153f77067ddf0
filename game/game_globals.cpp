#include "game_globals.h"

#include "game_calls.h"

GameGlobals g_game;
GameSoundObserver g_gameSoundObserver = nullptr;

namespace {

constexpr const char* kImagePaths[kImageSlots] = {
    "graphic\\dot.bmp",      "graphic\\bomb_title.png", "graphic\\BG.bmp",     "graphic\\BG2.bmp", nullptr,
    "graphic\\katimake.png", "graphic\\chara2.bmp",     "graphic\\select.png",
};

constexpr const char* kSoundPaths[kSoundSlots - 1] = {
    "sound\\kasi.wav",     "sound\\guwaan.wav", "sound\\cha.wav", "sound\\gaw.wav",  "sound\\dageki_1.wav",
    "sound\\dageki_2.wav", "sound\\guuu.wav",   "sound\\pa.wav",  "sound\\lose.wav", "sound\\win.wav",
};

// The sound table is cleared before the entry point runs.
struct SoundTableInitializer {
  SoundTableInitializer() { InitSoundHandleTable(); }
} g_soundTableInitializer;

}  // namespace

void InitSoundHandleTable() {
  for (int32_t& handle : g_game.soundHandles) handle = 0;
}

void LoadGameImages() {
  for (int slot = 0; slot < kImageSlots; ++slot) {
    if (kImagePaths[slot] != nullptr) g_game.imageHandles[slot] = g_calls.LoadImageFile(kImagePaths[slot], 0);
  }
}

void LoadGameSounds() {
  for (int number = 0; number < kSoundSlots - 1; ++number) {
    g_game.soundHandles[number] = g_calls.LoadSoundFile(kSoundPaths[number], 3, -1);
  }
}

void PlayGameSound(int number) {
  if (number < 0 || number >= kSoundSlots) return;
  if (g_gameSoundObserver != nullptr) g_gameSoundObserver(number);
  g_calls.PlaySoundHandle(g_game.soundHandles[number], 1, 1);
}

// Holds the frame loop near 16 ms a frame: the time since the last one, two and three pacings is
// compared with one, two and three frame periods, so long frames shorten the next wait and short
// ones lengthen it.
void PaceFrame() {
  constexpr int32_t kFrame = 16;
  const uint32_t now = g_calls.GetMillisecondClock();
  for (int i = 0; i < 3; ++i) {
    if (!g_game.pacerSeeded[i]) {
      g_game.pacerTimes[i] = now - static_cast<uint32_t>(kFrame * (i + 1));
      g_game.pacerSeeded[i] = 1;
    }
  }
  // Unsigned differences survive the clock's wrap; the frame error itself is signed.
  const int32_t a = kFrame - static_cast<int32_t>(now - g_game.pacerTimes[0]);
  const int32_t b = 2 * kFrame - static_cast<int32_t>(now - g_game.pacerTimes[1]);
  const int32_t c = 3 * kFrame - static_cast<int32_t>(now - g_game.pacerTimes[2]);
  const int wait = static_cast<int>(kFrame + 0.6 * a + 0.45 * b + 0.3 * c);
  g_game.pacerTimes[2] = g_game.pacerTimes[1];
  g_game.pacerTimes[1] = g_game.pacerTimes[0];
  g_game.pacerTimes[0] = now;
  g_calls.WaitMilliseconds(wait);
}
