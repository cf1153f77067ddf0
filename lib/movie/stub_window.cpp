// Stand-ins for the movie player until it is built: no movie ever plays, so
// there is nothing to build, pause, resume, release or draw.
#include "movie/movie.h"

int InitYuvToRgbTables() { return 0; }
int PauseAllMoviePlayback() { return 0; }
int ResumeAllMoviePlayback() { return 0; }
int ReleaseAllMovieStreams() { return 0; }
int DrawAllMoviesToScreen() { return 0; }
