// The library's public entry points: each leads on to the body in the
// subsystem that owns it. Only InitLibrary, EndLibrary and
// PumpWindowMessages take the library lock.
#include "vexlo.h"

#include <cstdarg>

#include "app/main_window.h"
#include "app/mouse.h"
#include "app/pump.h"
#include "app/startup.h"
#include "app/wait.h"
#include "core/clock.h"
#include "core/lock.h"
#include "core/log.h"
#include "core/random.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "font/font.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/soft/display.h"
#include "graphics/surfacedata.h"
#include "image/colorformat.h"
#include "image/pixelimage.h"
#include "input/input.h"
#include "movie/movie.h"
#include "sound/sound.h"

namespace {
// Room of DrawFormattedText's text, terminator included.
constexpr int kFormattedTextSize = 1024;

// The body of LoadImageFile: an image file as a graph, or else, for a file
// that is there but is no image, the file as a movie graph.
int LoadImageFileImpl(const char* path, int twoDimensionalOnly) {
  const int textureAllowed = twoDimensionalOnly ? 0 : 1;
  const int graph = LoadFileAsGraph(path, textureAllowed, 0);
  return graph == GRAPH_FILE_NOT_IMAGE ? LoadMovieAsGraph(path, textureAllowed, 0) : graph;
}
}  // namespace

int InitLibrary() {
  if (SystemState.Initialised) return 0;
  LockLibrary();
  int result = InitLibraryImpl();
  UnlockLibrary();
  return result;
}

int EndLibrary() {
  if (!SystemState.Initialised) return 0;
  LockLibrary();
  int result = EndLibraryImpl();
  UnlockLibrary();
  TerminateLibraryLock();
  return result;
}

int PumpWindowMessages() {
  LockLibrary();
  int result = PumpWindowMessagesImpl();
  UnlockLibrary();
  return result;
}

int ChangeWindowMode(int windowed) { return ChangeWindowModeImpl(windowed); }
int SetMainWindowTitle(const char* text) { return SetMainWindowTitleImpl(text); }
int SetLogFileOutput(int on) { return SetLogFileOutputImpl(on); }
int SetWindowIconResource(int iconId) { return SetWindowIconResourceImpl(iconId); }
int SetMouseCursorVisible(int visible) { return SetMouseCursorVisibleImpl(visible); }
int GetMousePosition(int* x, int* y) { return GetMousePositionImpl(x, y); }

int WaitMilliseconds(int milliseconds) { return WaitMillisecondsImpl(milliseconds); }
int WaitAnyKeyPress() { return WaitAnyKeyPressImpl(); }
int GetRandomInt(int max) { return GetRandomIntImpl(max); }

int IsKeyDown(int keyCode) { return IsKeyDownImpl(keyCode); }
int GetAnyInputDown(int flags) { return GetAnyInputDownImpl(flags); }
int GetAllKeyStates(char* states256) { return GetAllKeyStatesImpl(states256); }
int GetJoypadCount() { return GetJoypadCountImpl(); }
int GetJoypadBits(int pad) { return GetJoypadBitsImpl(pad); }

const PixelFormatRecord* GetScreenPixelFormat() { return GetScreenPixelFormatImpl(); }
int MakeColor(int red, int green, int blue) { return MakeColorImpl(red, green, blue); }

int MakeColorFormat(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask,
                    uint32_t blueMask, uint32_t alphaMask) {
  if (!format) return -1;
  return MakeColorFormatImpl(format, bitDepth, redMask, greenMask, blueMask, alphaMask);
}

int MakeRgbPixelFormat(PixelFormatRecord* format, int bitCount, uint32_t redMask, uint32_t greenMask,
                       uint32_t blueMask, uint32_t alphaMask) {
  if (!format) return -1;
  return MakeRgbPixelFormatImpl(format, bitCount, redMask, greenMask, blueMask, alphaMask);
}

int FlipScreen() { return FlipScreenImpl(); }

int LoadImageFile(const char* path, int twoDimensionalOnly) {
  if (!path) return -1;
  return LoadImageFileImpl(path, twoDimensionalOnly);
}

int ClearDrawTarget() { return ClearDrawTargetImpl(); }

int DrawGraphPart(int x, int y, int srcX, int srcY, int width, int height, int graph, int transparent,
                  int mirror) {
  return DrawGraphPartImpl(x, y, srcX, srcY, width, height, graph, transparent, mirror);
}

int DrawLineSegment(int x1, int y1, int x2, int y2, int color, int thickness) {
  return DrawLineSegmentImpl(x1, y1, x2, y2, color, thickness);
}

int DrawRectangle(int x1, int y1, int x2, int y2, int color, int filled) {
  return DrawRectangleImpl(x1, y1, x2, y2, color, filled);
}

int DrawFormattedText(int x, int y, int color, const char* format, ...) {
  if (!format) return -1;
  char text[kFormattedTextSize];
  text[0] = '\0';
  va_list args;
  va_start(args, format);
  int length = FormatStringVN(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return -1;
  // A text longer than the buffer is cut, never in the middle of a character.
  CutAtCharacterBoundary(text);
  return DrawDefaultFontString(x, y, text, uint32_t(color), 0);
}

int SetDrawTarget(int target) { return SetDrawTargetImpl(target); }
int SetDefaultFontSize(int size) { return SetDefaultFontSizeImpl(size); }

int MakeXRGB8PixelImage(int width, int height, PixelImage* out) {
  if (!out) return -1;
  return MakeXRGB8PixelImageImpl(width, height, out);
}

int ReleasePixelImage(PixelImage* image) {
  if (!image) return -1;
  return ReleasePixelImageImpl(image);
}

int LoadSoundFile(const char* path, int bufferCount, int reserved) {
  if (!path) return -1;
  return LoadSoundFileImpl(path, bufferCount, reserved);
}

int PlaySoundHandle(int handle, int playType, int fromStart) {
  const int result = PlaySoundHandleImpl(handle, playType, fromStart);
  if (result == 0 && playType == SOUND_PLAY_WAIT) WaitWhileSoundPlays(handle);
  return result;
}

int PlayMusicFile(const char* path, int playType) {
  if (!path) return -1;
  return PlayMusicFileImpl(path, playType);
}

int SetMusicVolume(int volume) { return SetMusicVolumeImpl(volume); }
int StopMusicFile() { return StopMusicFileImpl(); }
int IsMusicFilePlaying() { return IsMusicFilePlayingImpl(); }
