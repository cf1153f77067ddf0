#include <cstdio>
#include <cstdlib>

#include "screens.h"

namespace {

// With QUARRY_TRACE naming a file, the program writes each screen change and, once a second of
// play, the state of both wells there: scripted runs check with it how far the game got.
std::FILE* gTrace = nullptr;
int gLastScreen = -1;

int FilledCells(const Board& board) {
    int n = 0;
    for (int r = 0; r < board.height; ++r) n += board.CountRow(r);
    return n;
}

void TraceFrame(const GameSession& s) {
    if (s.screen != gLastScreen) {
        std::fprintf(gTrace, "screen %d\n", s.screen);
        gLastScreen = s.screen;
    }
    if (s.screen == kScreenPlay && s.frameCounter % 60 == 0) {
        std::fprintf(gTrace, "play frame %d mode %d level %d cells %d %d lines %d %d\n", s.frameCounter, s.mode,
                     s.level, FilledCells(s.boards[0]), FilledCells(s.boards[1]), s.boards[0].GetLines(),
                     s.boards[1].GetLines());
    }
    std::fflush(gTrace);
}

}  // namespace

int main() {
    const char* tracePath = std::getenv("QUARRY_TRACE");
    if (tracePath != nullptr && tracePath[0] != '\0') {
        gTrace = std::fopen(tracePath, "w");
        if (gTrace != nullptr) gFrameObserver = TraceFrame;
    }
    const int result = WinMain(nullptr, nullptr, nullptr, 0);
    if (gTrace != nullptr) {
        std::fprintf(gTrace, "exit %d\n", result);
        std::fclose(gTrace);
    }
    return result;
}
