// The movie services that the window layer calls: colour tables at start-up,
// pausing and resuming with the window, releasing streams before a display
// change and drawing every playing movie once per frame.
#pragma once

int InitYuvToRgbTables();
int PauseAllMoviePlayback();
int ResumeAllMoviePlayback();
int ReleaseAllMovieStreams();
int DrawAllMoviesToScreen();

