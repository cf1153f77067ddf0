#include "screens.h"

#include "game_calls.h"
#include "game_globals.h"

namespace {

bool Pressed(const GameSession& s, int keyCode) { return s.menuCounters[keyCode] == 1; }

// Only Z (or pad 1 button 1 or 4) confirms: A, B and Space are never counted in the menus.
bool Confirmed(const GameSession& s) { return Pressed(s, KEYCODE_Z); }

void DrawPicture(int slot) { g_calls.DrawGraphPart(0, 0, 0, 0, 640, 480, g_game.imageHandles[slot], 1, 0); }

void DrawCursor(int x, int y) {
  g_calls.DrawGraphPart(x, y, 0, 40, 40, 40, g_game.imageHandles[kImageBlocks], 1, 0);
}

GameColor Choice(bool chosen) {
  return chosen ? g_calls.MakeColor(255, 0, 0) : g_calls.MakeColor(255, 255, 255);
}

}  // namespace

void StartRound(GameSession& s) {
  s.frameCounter = 0;
  s.roundOverCounter = 0;
  s.boards[0].Reset();
  s.boards[1].Reset();
  s.boards[0].SetOrigin(20, 60);
  s.boards[1].SetOrigin(420, 60);
  s.pieces[0].Init(s.boards[0]);
  s.pieces[1].Init(s.boards[1]);
}

void RunTitleScreen(GameSession& s) {
  DrawPicture(kImageTitle);
  if (s.mode == 0 && Pressed(s, KEYCODE_DOWN)) {
    if (g_calls.GetJoypadCount() >= 2) s.mode = 1;
    PlayGameSound(kSoundMenu);
  }
  if (s.mode == 1 && Pressed(s, KEYCODE_UP)) {
    s.mode = 0;
    PlayGameSound(kSoundMenu);
  }
  g_calls.SetDefaultFontSize(16);
  DrawCursor(450, s.mode == 0 ? 180 : 220);
  g_calls.DrawFormattedText(500, 192, g_calls.MakeColor(0, 0, 0), "%s", "１ＰvsＣＰ");
  const GameColor twoPlayers =
      g_calls.GetJoypadCount() < 2 ? g_calls.MakeColor(200, 200, 200) : g_calls.MakeColor(0, 0, 0);
  g_calls.DrawFormattedText(500, 232, twoPlayers, "%s", "１Ｐvs２Ｐ");
  if (!Confirmed(s)) return;
  PlayGameSound(kSoundMenu);
  s.screen = kScreenSettings;
  if (g_calls.IsMusicFilePlaying()) g_calls.StopMusicFile();
  g_calls.PlayMusicFile(kMusicPath, 3);
  s.menuRow = s.mode == 0 ? 0 : 1;
  g_calls.SetMusicVolume(20);
  // A new match.
  StartRound(s);
  s.boards[0].roundsWon = 0;
  s.boards[1].roundsWon = 0;
}

void RunSettingsScreen(GameSession& s) {
  ++s.frameCounter;
  const int lowestRow = s.mode == 1 ? 1 : 0;
  if (Pressed(s, KEYCODE_UP) && s.menuRow > lowestRow) {
    --s.menuRow;
    PlayGameSound(kSoundMenu);
  }
  if (Pressed(s, KEYCODE_DOWN) && s.menuRow < 3) {
    ++s.menuRow;
    PlayGameSound(kSoundMenu);
  }
  const bool right = Pressed(s, KEYCODE_RIGHT);
  const bool left = Pressed(s, KEYCODE_LEFT);
  if (s.menuRow == 0) {
    if (right && s.level < 4) {
      ++s.level;
      PlayGameSound(kSoundMenu);
    }
    if (left && s.level > 0) {
      --s.level;
      PlayGameSound(kSoundMenu);
    }
  } else if (s.menuRow == 1) {
    if (g_game.offsetRule == 0 && right) {
      g_game.offsetRule = 1;
      PlayGameSound(kSoundMenu);
    }
    if (g_game.offsetRule == 1 && left) {
      g_game.offsetRule = 0;
      PlayGameSound(kSoundMenu);
    }
  } else if (s.menuRow == 2) {
    if (right && g_game.winsNeeded < 5) {
      ++g_game.winsNeeded;
      PlayGameSound(kSoundMenu);
    }
    if (left && g_game.winsNeeded > 1) {
      --g_game.winsNeeded;
      PlayGameSound(kSoundMenu);
    }
  } else if (s.menuRow == 3 && Confirmed(s)) {
    PlayGameSound(kSoundRoundStart);
    s.screen = kScreenPlay;
    // The counter served as the settings screen's blink clock; the round's time starts now.
    s.frameCounter = 0;
    AiSetLevel(s.controllers[kPlayerComputer], s.level);
    const int factor = s.level == 4 ? 16 : s.level + 1;
    s.pieces[0].SetSpeedFactor(factor);
    s.pieces[1].SetSpeedFactor(factor);
  }

  DrawPicture(kImageSettings);
  if (s.mode == 0) {
    g_calls.DrawGraphPart(250, 160, (4 - s.level) * 140, 0, 140, 140, g_game.imageHandles[kImageFaces], 1, 0);
    for (int i = 0; i <= 4; ++i) {
      g_calls.DrawFormattedText(100 + 100 * i, 320, Choice(s.level == i), "LEVEL%d", i);
    }
  }
  g_calls.DrawFormattedText(200, 360, Choice(g_game.offsetRule == 0), "%s", "相殺無し");
  g_calls.DrawFormattedText(360, 360, Choice(g_game.offsetRule == 1), "%s", "相殺有り");
  for (int i = 1; i <= 5; ++i) {
    g_calls.DrawFormattedText(100 * i, 400, Choice(g_game.winsNeeded == i), "%d%s", i, "本先取");
  }
  g_calls.DrawFormattedText(250, 440, Choice(s.menuRow == 3), "%s", "試合開始 <START>");
  if (s.frameCounter % 4 != 1) {
    switch (s.menuRow) {
      case 0:
        if (s.mode == 0) DrawCursor(s.level * 100 + 62, 308);
        break;
      case 1:
        DrawCursor(g_game.offsetRule * 160 + 162, 348);
        break;
      case 2:
        DrawCursor((g_game.winsNeeded - 1) * 100 + 62, 388);
        break;
      case 3:
        DrawCursor(212, 428);
        break;
      default:
        break;
    }
  }
}
