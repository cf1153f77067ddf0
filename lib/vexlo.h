// Vexlo: the game and multimedia library's public entry points.
//
// Every entry returns 0 on success and -1 on failure unless its comment says
// otherwise; creators return a handle or -1. Only InitLibrary, EndLibrary and
// PumpWindowMessages take the library lock; every other entry is meant for the
// main thread. The options marked "before InitLibrary" only store settings when
// called before the library starts, and those settings survive its start-up.
#pragma once
#include <cstdint>

#include "graphics/draw_target.h"
#include "image/pixel_format_record.h"
#include "input/keycodes.h"

// Records owned by the graphics core; the library fills them, callers hold them.
struct ColorFormat;  // pixel layout: depth, channel masks and shifts, palette
struct PixelImage;   // a decoded image in memory: format, size, pitch, pixels

// Local calendar time as filled by GetLocalDateTime.
struct LocalDateTime {
  int32_t Year;
  int32_t Month;  // 1 to 12
  int32_t Day;
  int32_t Hour;
  int32_t Minute;
  int32_t Second;
};

// ---- Library lifetime and the window ---------------------------------------
int InitLibrary();                         // starts every subsystem; 0 when already started
int EndLibrary();                          // ends the library; 0 (also when not started)
int PumpWindowMessages();                  // 0, or -1 once the program is to end
int ChangeWindowMode(int windowed);        // 1 windowed, 0 full screen (before InitLibrary: stores it)
int SetMainWindowTitle(const char* text);  // window title, also the class name (before InitLibrary)
int SetLogFileOutput(int on);              // 0 switches the log file off (before InitLibrary)
int SetWindowIconResource(int iconId);     // icon resource identifier (before InitLibrary)
int SetMouseCursorVisible(int visible);    // 1 shows the mouse cursor over the window, 0 hides it
int GetMousePosition(int* x, int* y);      // cursor in picture coordinates; either may be null

// ---- Clocks and waits ---------------------------------------------------------
int WaitMilliseconds(int milliseconds);    // waits while pumping messages; 0
int WaitAnyKeyPress();                     // waits for all input released then pressed; the code, or 0
uint32_t GetMillisecondClock();            // wrapping millisecond clock
int GetLocalDateTime(LocalDateTime* out);  // the local calendar time; 0
int GetRandomInt(int max);                 // uniform 0..max inclusive

// ---- Input --------------------------------------------------------------------
int IsKeyDown(int keyCode);      // KEYCODE_...: 1 while the key is down, else 0
int GetAnyInputDown(int flags);  // flags 1 keyboard, 2 pads, 4 mouse; first key code, -1 pad/mouse, 0 none
int GetAllKeyStates(char* states256);  // one byte per key code, 1 down or 0; 0
int GetJoypadCount();                  // number of pads
int GetJoypadBits(int pad);            // pad bits; pad | 0x1000 adds the keyboard

// ---- Graphics -----------------------------------------------------------------
const PixelFormatRecord* GetScreenPixelFormat();  // the screen's pixel format
int MakeColor(int red, int green, int blue);      // colour value of the screen format
int MakeColorFormat(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask,
                    uint32_t blueMask, uint32_t alphaMask);
int MakeRgbPixelFormat(PixelFormatRecord* format, int bitCount, uint32_t redMask, uint32_t greenMask,
                       uint32_t blueMask, uint32_t alphaMask);
int FlipScreen();                                             // presents the frame
int LoadImageFile(const char* path, int twoDimensionalOnly);  // graph handle or -1
int ClearDrawTarget();  // fills the draw target with the background colour
int DrawGraphPart(int x, int y, int srcX, int srcY, int width, int height, int graph, int transparent,
                  int mirror);
int DrawLineSegment(int x1, int y1, int x2, int y2, int color, int thickness);
int DrawRectangle(int x1, int y1, int x2, int y2, int color, int filled);
int DrawFormattedText(int x, int y, int color, const char* format, ...) __attribute__((format(printf, 4, 5)));
int SetDrawTarget(int target);     // DRAW_TARGET_FRONT, DRAW_TARGET_BACK or a graph
int SetDefaultFontSize(int size);  // pixels; -1 gives 16
int MakeXRGB8PixelImage(int width, int height, PixelImage* out);
int ReleasePixelImage(PixelImage* image);

// ---- Sound and music ----------------------------------------------------------
int LoadSoundFile(const char* path, int bufferCount, int reserved);  // sound handle or -1
int PlaySoundHandle(int handle, int playType, int fromStart);        // 0 wait, 1 background, 3 loop
int PlayMusicFile(const char* path, int playType);
int SetMusicVolume(int volume);  // 0 to 255
int StopMusicFile();
int IsMusicFilePlaying();  // 1 while the music plays, else 0
