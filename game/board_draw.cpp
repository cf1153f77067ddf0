// Drawing of the well, its side panel, the clear message and the round's result banner.
#include "board.h"

#include "game_calls.h"
#include "game_globals.h"

void Board::Draw() {
  const int x = originX;
  const int y = originY;
  const int blocks = g_game.imageHandles[kImageBlocks];
  g_calls.DrawLineSegment(x, y, x + width * cell, y, g_calls.MakeColor(255, 0, 0), 2);
  for (int r = 0; r < height; ++r) {
    for (int k = 0; k < width; ++k) {
      const int v = rows[r][k];
      int srcX = 0;
      int srcY = 0;
      if (v != 0) {
        srcX = (toppedOut ? kGarbage : v) * cell;
        srcY = cell;
      }
      g_calls.DrawGraphPart(x + k * cell, y + r * cell, srcX, srcY, cell, cell, blocks, 1, 0);
    }
  }
  DrawClearMessage();
  DrawResult();
}

// Advances the message timer: after a clear it runs 1, 2 ... 50 and then rests at 0; the text
// blinks off on multiples of 3.
void Board::DrawClearMessage() {
  if (messageTimer > 0) {
    ++messageTimer;
    if (messageTimer > 50) messageTimer = 0;
  }
  if (messageTimer < 1) return;
  if (messageTimer % 3 == 0) return;
  const char* text = nullptr;
  int size = 0;
  switch (lastClearCount) {
    case 2:
      text = "二段消し！";
      size = 30;
      break;
    case 3:
      text = "三段消し！";
      size = 34;
      break;
    case 4:
      text = "四段消し！";
      size = 40;
      break;
    default:
      return;
  }
  const int tx = originX + (60 - size);
  const int ty = originY + 6 * cell;
  g_calls.SetDefaultFontSize(size);
  g_calls.DrawFormattedText(tx + 6, ty + 1, g_calls.MakeColor(0, 0, 0), "%s", text);
  g_calls.DrawFormattedText(tx + 5, ty, g_calls.MakeColor(100, 255, 255), "%s", text);
  g_calls.SetDefaultFontSize(16);
}

void Board::DrawPanel() {
  const int px = side == 0 ? originX + width * cell + 8 : originX - 92;
  const int py = originY + 6 * cell;
  const GameColor white = g_calls.MakeColor(255, 255, 255);
  g_calls.DrawFormattedText(px, py, white, " SCORE:%d", lines);
  g_calls.DrawFormattedText(px, py + 20, damage == 0 ? white : g_calls.MakeColor(255, 0, 0), "DAMAGE:%d",
                            damage);
  for (int i = 0; i < damage; ++i) {
    g_calls.DrawGraphPart(px + 12, py + 40 + 7 * i, 40, 70, 60, 6, g_game.imageHandles[kImageBlocks], 1, 0);
  }
}

// The banner stays where the well was: its height does not follow the sliding origin.
void Board::DrawResult() {
  if (!g_game.roundOver) return;
  const int x = side == 0 ? originX - 30 : originX - 90;
  const int y = 6 * cell + 80;
  if (result == 1) {
    g_calls.DrawGraphPart(x, y, 0, 0, 320, 180, g_game.imageHandles[kImageBanners], 1, 0);
  } else if (result == 2) {
    g_calls.DrawGraphPart(x, y, 320, 0, 320, 180, g_game.imageHandles[kImageBanners], 1, 0);
  }
}
