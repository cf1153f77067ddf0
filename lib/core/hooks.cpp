#include "core/hooks.h"

namespace {

void NoWait() {}
int Nothing() { return 0; }
int SixteenBits() { return 16; }

int NoMovieOpened(const char*, int*, int*, int) { return -1; }
int NoSuchMovie(int) { return -1; }
int NothingForMovie(int) { return 0; }
int NoMovieFrame(int, int) { return 0; }
int NoMovieOnScreen(int, int, int, int, int) { return -1; }
int NoCallbackSet(int, MovieFrameCallback, void*) { return -1; }
MovieRecord* NoMovieRecord(int) { return nullptr; }
const PixelImage* NoFrameImage(MovieRecord*, int*) { return nullptr; }

constexpr UpwardHookTable kDefaults = {
    .WaitWhileWindowInactive = NoWait,
    .PumpWindowMessages = Nothing,
    .EndLibrary = Nothing,
    .TermInput = Nothing,
    .InitInput = Nothing,
    .InitializeFontSystem = Nothing,
    .TerminateFontSystem = Nothing,
    .RecreateAllFonts = Nothing,
    .GetScreenColorBits = SixteenBits,
    .Movies =
        {
            .OpenMovie = NoMovieOpened,
            .CloseMovie = NoSuchMovie,
            .RestoreMovieSurfaces = NothingForMovie,
            .UpdateMovieFrame = NoMovieFrame,
            .DrawMovieToScreen = NoMovieOnScreen,
            .IsMovieShownOnScreen = NoSuchMovie,
            .SetMovieFrameCallback = NoCallbackSet,
            .GetMovieRecord = NoMovieRecord,
            .GetMovieFrameImage = NoFrameImage,
            .ReopenAllMovies = Nothing,
        },
};

}  // namespace

UpwardHookTable UpwardHooks = kDefaults;

void ResetUpwardHooks() { UpwardHooks = kDefaults; }
