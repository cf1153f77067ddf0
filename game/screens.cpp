#include "screens.h"

#include "game_calls.h"
#include "game_globals.h"

namespace {

bool Pressed(const GameSession& s, int keyCode) { return s.menuCounters[keyCode] == 1; }

// Only Z (or pad 1 button 1 or 4) confirms: A, B and Space are never counted in the menus.
bool Confirmed(const GameSession& s) { return Pressed(s, KEYCODE_Z); }

void DrawPicture(int slot) { gCalls.DrawGraphPart(0, 0, 0, 0, 640, 480, gGame.imageHandles[slot], 1, 0); }

void DrawCursor(int x, int y) { gCalls.DrawGraphPart(x, y, 0, 40, 40, 40, gGame.imageHandles[kImageBlocks], 1, 0); }

GameColor Choice(bool chosen) {
    return chosen ? gCalls.MakeColor(255, 0, 0) : gCalls.MakeColor(255, 255, 255);
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
        if (gCalls.GetJoypadCount() >= 2) s.mode = 1;
        PlayGameSound(kSoundMenu);
    }
    if (s.mode == 1 && Pressed(s, KEYCODE_UP)) {
        s.mode = 0;
        PlayGameSound(kSoundMenu);
    }
    gCalls.SetDefaultFontSize(16);
    DrawCursor(450, s.mode == 0 ? 180 : 220);
    gCalls.DrawFormattedText(500, 192, gCalls.MakeColor(0, 0, 0), "%s", "１ＰvsＣＰ");
    const GameColor twoPlayers = gCalls.GetJoypadCount() < 2 ? gCalls.MakeColor(200, 200, 200) : gCalls.MakeColor(0, 0, 0);
    gCalls.DrawFormattedText(500, 232, twoPlayers, "%s", "１Ｐvs２Ｐ");
    if (!Confirmed(s)) return;
    PlayGameSound(kSoundMenu);
    s.screen = kScreenSettings;
    if (gCalls.IsMusicFilePlaying()) gCalls.StopMusicFile();
    gCalls.PlayMusicFile(kMusicPath, 3);
    s.menuRow = s.mode == 0 ? 0 : 1;
    gCalls.SetMusicVolume(20);
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
        if (gGame.offsetRule == 0 && right) {
            gGame.offsetRule = 1;
            PlayGameSound(kSoundMenu);
        }
        if (gGame.offsetRule == 1 && left) {
            gGame.offsetRule = 0;
            PlayGameSound(kSoundMenu);
        }
    } else if (s.menuRow == 2) {
        if (right && gGame.winsNeeded < 5) {
            ++gGame.winsNeeded;
            PlayGameSound(kSoundMenu);
        }
        if (left && gGame.winsNeeded > 1) {
            --gGame.winsNeeded;
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
        gCalls.DrawGraphPart(250, 160, (4 - s.level) * 140, 0, 140, 140, gGame.imageHandles[kImageFaces], 1, 0);
        for (int i = 0; i <= 4; ++i) {
            gCalls.DrawFormattedText(100 + 100 * i, 320, Choice(s.level == i), "LEVEL%d", i);
        }
    }
    gCalls.DrawFormattedText(200, 360, Choice(gGame.offsetRule == 0), "%s", "相殺無し");
    gCalls.DrawFormattedText(360, 360, Choice(gGame.offsetRule == 1), "%s", "相殺有り");
    for (int i = 1; i <= 5; ++i) {
        gCalls.DrawFormattedText(100 * i, 400, Choice(gGame.winsNeeded == i), "%d%s", i, "本先取");
    }
    gCalls.DrawFormattedText(250, 440, Choice(s.menuRow == 3), "%s", "試合開始 <START>");
    if (s.frameCounter % 4 != 1) {
        switch (s.menuRow) {
        case 0:
            if (s.mode == 0) DrawCursor(s.level * 100 + 62, 308);
            break;
        case 1: DrawCursor(gGame.offsetRule * 160 + 162, 348); break;
        case 2: DrawCursor((gGame.winsNeeded - 1) * 100 + 62, 388); break;
        case 3: DrawCursor(212, 428); break;
        default: break;
        }
    }
}
