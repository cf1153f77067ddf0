// Stand-ins for the movie handles until they are built: no movie ever plays,
// so there is nothing to pause, resume, release or draw.
#include "movie/movie.h"

int PauseAllMoviePlayback() { return 0; }
int ResumeAllMoviePlayback() { return 0; }
int ReleaseAllMovieStreams() { return 0; }
int DrawAllMoviesToScreen() { return 0; }
