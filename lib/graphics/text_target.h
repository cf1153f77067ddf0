// Where text is drawn: the pixels of the current draw target, as the graphics
// core hands them to the font renderer above it.
//
// The font renderer draws into a plain pixel buffer in one of the library's
// image formats, clipped to a rectangle, in the current blend mode. The
// graphics core answers with its current draw target (in software drawing the
// target's library image).
#pragma once
#include <cstdint>

// Pixel layouts the text renderer writes.
enum TextPixelFormat : int32_t {
  TEXT_PIXEL_RGB565 = 0,    // 16-bit: red bits 11-15, green 5-10, blue 0-4
  TEXT_PIXEL_XRGB8888 = 1,  // 32-bit: bytes blue, green, red, a fourth byte
};

struct TextDrawTarget {
  uint8_t* Pixels;        // top-left pixel of the target
  int32_t Pitch;          // bytes from one row to the next
  int32_t Width, Height;  // size of the target in pixels
  TextPixelFormat Format;
  int32_t ClipLeft, ClipTop, ClipRight, ClipBottom;  // right/bottom exclusive
  int32_t BlendMode;   // DrawBlendMode: 0 copy, 1 alpha, 2 add, 3 sub, 4 mul, 10, 11
  int32_t BlendParam;  // 0 to 255
};

// Fills `out` with the current draw target; 0, or -1 when there is none to
// draw on (text is then not drawn). Provided by the graphics core.
int GetTextDrawTarget(TextDrawTarget* out);
