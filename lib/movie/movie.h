// Movies: the handle table of open movies, the record behind each handle, and
// the operations the rest of the library calls: open and close (the graph
// loader), the frame due now (drawing a movie graph), pause and resume with
// the main window, and the release and rebuild of display-bound movies around
// a display change.
//
// Two players sit under a record. The Theora player (movie/theora.h) plays Ogg
// Theora files with a decode thread of its own. The other player would hand a
// file to the platform's media streaming; this platform has none, so it
// refuses every file and only Ogg Theora movies play. The record keeps only
// the few fields of that player which the code paths for it still name, and
// every branch that asks for its display surfaces finds a movie without
// them, which counts as released.
//
// A movie also feeds graphs: the library's image loader opens a file that is
// no image as a movie graph (movie_graph.cpp), whose frames are copied into
// the graph each time a draw brings them up to date.
//
// All of it runs on the main thread; the Theora decode thread never touches a
// record.
#pragma once
#include <cstdint>

#include "core/handle_table.h"
#include "image/pixelimage.h"
#include "image/rect.h"

struct TheoraPlayer;
struct MovieRecord;

// Run by a movie with its record and the data given with the callback after
// each frame it hands on; it must not close its own movie.
using MovieFrameCallback = void (*)(MovieRecord* movie, void* data);

constexpr int MOVIE_TABLE_SIZE = 100;
constexpr int32_t MOVIE_HANDLE_TAG = 0x18000000;
constexpr int MOVIE_PATH_SIZE = 260;
// The frame stock of a Theora movie's decode thread.
constexpr int MOVIE_THEORA_STOCK = 10;
// PlayType's loop bit (type 3 loops, type 1 plays once).
constexpr int32_t MOVIE_PLAY_LOOP_BIT = 2;

struct MovieRecord {
  int32_t Serial;    // the handle's check number, 0 to 2047
  int32_t PlayType;  // 1 plays once, 3 loops; 0 counts as 1
  int32_t IsTheora;
  TheoraPlayer* Theora;
  int64_t StartTime;   // microsecond counter at which frame 0 was due
  uint32_t MovieFile;  // the file the Theora player reads; 0 when none
  int32_t Sound;       // the sound track's sound handle; -1 when none
  int32_t Width;
  int32_t Height;
  int32_t Playing;           // playback wanted: kept by a pause of the system
  int32_t Paused;            // the movie stands still
  int32_t HasFrame;          // a frame has been handed on since the open
  int32_t SurfaceMode;       // 1: shown straight on the screen; always 0 for Theora
  PixelImage* CurrentImage;  // the image holding the current frame
  MovieFrameCallback FrameCallback;
  void* FrameCallbackData;

  // ---- The media-stream player's half ----
  // This platform has no media streaming: the player refuses every file, so
  // no record ever keeps these filled. Its stream objects and surfaces have
  // no fields at all; these are what the open, close, reopen and on-screen
  // placement still name.
  int32_t IsTempCopy;  // Path names a temporary copy to delete at the close
  char Path[MOVIE_PATH_SIZE];
  PixelImage FrameImage;  // the frame's copy in memory, owned by the record
  int32_t ScreenX;        // the last placement on the screen
  int32_t ScreenY;
  int32_t ScreenScale;
  int32_t OverlayShown;
  Rect OverlaySource;
  Rect OverlayDest;
};

using MovieTableType = HandleTable<MovieRecord, MOVIE_TABLE_SIZE, MOVIE_HANDLE_TAG, &MovieRecord::Serial>;
// The open movies. Opening always takes the lowest free slot.
extern MovieTableType MovieTable;

// ---- Records ---------------------------------------------------------------------
MovieRecord* GetMovieRecord(int handle);
int SetMovieFrameCallback(int handle, MovieFrameCallback callback, void* data);

// ---- Open and close --------------------------------------------------------------
// (path, out width, out height (either may be null), surface mode asked of the
// media-stream player) → movie handle, or -1. The movie opens stopped on its
// first frame.
int OpenMovie(const char* path, int* width, int* height, int surfaceMode);
// 0, or -1 for an invalid handle (-1 itself among them).
int CloseMovie(int handle);
// Restores lost display surfaces of a movie; 0 (also for an invalid handle).
int RestoreMovieSurfaces(int handle);
// Closes every open movie (the library's end); 0.
int CloseAllMovies();
// The media-stream player: fills the record's stream half, or logs and gives -1.
int OpenMovieDirectShow(void* directDraw, MovieRecord* record, const char* path, int* width, int* height,
                        int surfaceMode);

// ---- Playback ----------------------------------------------------------------------
// Starts a stopped movie: play type 1, or 3 to loop. Nothing in the library
// calls it: movies opened here stay on their first frame. 0, or -1.
int StartMoviePlayback(int handle, int playType);
// Pauses one movie; by system 1 keeps Playing so the next resume restarts it.
int PauseMoviePlayback(int handle, int bySystem);
int PauseAllMoviePlayback();
int ResumeAllMoviePlayback();
int ReleaseAllMovieStreams();
int ReopenAllMovies();
int DrawAllMoviesToScreen();

// ---- Frames ----------------------------------------------------------------------------
// Moves the movie to the frame due now and runs its frame callback; 0 always.
int UpdateMovieFrame(int handle, int flag);
// The frame of a Theora movie at `us` microseconds from its frame 0, at `fps`
// frames per second: truncated, neither clamped nor wrapped.
int TheoraFrameAtTime(int64_t us, double fps);
// Places a movie shown straight on the screen; -1 for an invalid handle, else 0.
int DrawMovieToScreen(int x, int y, int scale, int handle, int show);
// The image holding the movie's current frame, brought up to date; null when
// the movie has none. *fresh (when given) is 1 when a new frame went into it.
const PixelImage* GetMovieFrameImage(MovieRecord* record, int* fresh);
// 1 when the movie is shown straight on the screen, 0 when through its
// graph, -1 for an invalid handle.
int IsMovieShownOnScreen(int handle);

// ---- Movie graphs ---------------------------------------------------------------------
// The image loader's second chance for a file that is no image: a graph of
// the movie's size, fed by its frames, or -1 (logged). movieFlag is the
// surface mode asked of the media-stream player.
int LoadMovieAsGraph(const char* fileName, int textureAllowed, int movieFlag);
// The frame callbacks of a movie graph: copy the movie's new frame into the
// graph whose record is the data.
void UpdateMovieGraphSurface2D(MovieRecord* movie, void* graph);
void UpdateMovieGraphTexture(MovieRecord* movie, void* graph);

// ---- Start-up ----------------------------------------------------------------------------
// Builds the colour tables of the Theora player's conversion; 0.
int InitYuvToRgbTables();
