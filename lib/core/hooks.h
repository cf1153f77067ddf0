// Calls that point up. A few services of the lower layers must reach a layer
// above them: drawing waits while the main window is inactive, a display
// change restarts input and fonts, a fatal error ends the whole library. The
// layer that owns each service puts it in this table when the library starts
// (the app layer, RegisterLibraryHooks); until then every entry is a harmless
// default, so the lower layers run and test on their own.
#pragma once

struct MovieRecord;  // the movie layer's record, opaque below it
struct PixelImage;

// Run by a movie with its record and the data given with the callback after
// each frame it hands on (the graph layer copies the frame into its graph).
using MovieFrameCallback = void (*)(MovieRecord* movie, void* data);

// Movies, for the graph layer: a file that is no image opens as a movie whose
// frames feed a graph; deleting, restoring and drawing a movie graph reach its
// movie; a display rebuild reopens the movies bound to the display. The
// defaults answer as a library without a movie player.
struct MovieGraphHookTable {
  int (*OpenMovie)(const char* path, int* width, int* height, int surfaceMode);
  int (*CloseMovie)(int movie);
  int (*RestoreMovieSurfaces)(int movie);
  int (*UpdateMovieFrame)(int movie, int flag);
  int (*DrawMovieToScreen)(int x, int y, int scale, int movie, int show);
  // 1 shown straight on the screen, 0 through its graph, -1 no such movie.
  int (*IsMovieShownOnScreen)(int movie);
  int (*SetMovieFrameCallback)(int movie, MovieFrameCallback callback, void* data);
  MovieRecord* (*GetMovieRecord)(int movie);
  // The image holding the movie's current frame, brought up to date, or null;
  // *fresh (when given) is 1 when this call put a new frame into it.
  const PixelImage* (*GetMovieFrameImage)(MovieRecord* movie, int* fresh);
  int (*ReopenAllMovies)();
};

struct UpwardHookTable {
  // App: pumps messages while the main window is inactive (not while it is
  // being painted), then has lost graphs restored.
  void (*WaitWhileWindowInactive)();
  // App: one pass of the message pump; 0, or -1 once the program is to end.
  int (*PumpWindowMessages)();
  // App: ends the library (the fatal-error exit calls it once).
  int (*EndLibrary)();
  // Input: ended and started again when the display mode changes.
  int (*TermInput)();
  int (*InitInput)();
  // Fonts: started and ended with the graphics device, rebuilt after the
  // display surfaces were lost.
  int (*InitializeFontSystem)();
  int (*TerminateFontSystem)();
  int (*RecreateAllFonts)();
  // Graphics: the screen's colour depth in bits (16 while none is recorded),
  // for images made in the screen's format by the software renderer below it.
  int (*GetScreenColorBits)();
  // Movies: filled by the movie layer's RegisterMovieGraphHooks.
  MovieGraphHookTable Movies;
};

extern UpwardHookTable UpwardHooks;

// Puts the defaults back (tests; the app layer's registration overwrites them).
void ResetUpwardHooks();

// The drawing and input entries' guard, through the hook.
inline void WaitWhileWindowInactive() { UpwardHooks.WaitWhileWindowInactive(); }
