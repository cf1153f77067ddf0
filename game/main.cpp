#include <cstdio>
#include <cstdlib>

#include "screens.h"

namespace {

// With QUARRY_TRACE naming a file, the program writes each screen change and, once a second of
// play, the state of both wells there: scripted runs check with it how far the game got.
std::FILE* g_trace = nullptr;
int g_lastScreen = -1;

int FilledCells(const Board& board) {
  int n = 0;
  for (int r = 0; r < board.height; ++r) n += board.CountRow(r);
  return n;
}

void TraceFrame(const GameSession& s) {
  if (s.screen != g_lastScreen) {
    std::fprintf(g_trace, "screen %d\n", s.screen);
    g_lastScreen = s.screen;
  }
  if (s.screen == kScreenPlay && s.frameCounter % 60 == 0) {
    std::fprintf(g_trace, "play frame %d mode %d level %d cells %d %d lines %d %d\n", s.frameCounter, s.mode,
                 s.level, FilledCells(s.boards[0]), FilledCells(s.boards[1]), s.boards[0].GetLines(),
                 s.boards[1].GetLines());
  }
  std::fflush(g_trace);
}

}  // namespace

int main() {
  const char* tracePath = std::getenv("QUARRY_TRACE");
  if (tracePath != nullptr && tracePath[0] != '\0') {
    g_trace = std::fopen(tracePath, "w");
    if (g_trace != nullptr) g_frameObserver = TraceFrame;
  }
  const int result = WinMain(nullptr, nullptr, nullptr, 0);
  if (g_trace != nullptr) {
    std::fprintf(g_trace, "exit %d\n", result);
    std::fclose(g_trace);
  }
  return result;
}
