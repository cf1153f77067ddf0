// Blending of glyph coverage into a row of target pixels under the drawing
// blend modes. The coverage acts as the source alpha of a colour source with
// the transparent flag: 0 leaves a pixel alone, 255 drops out of the weights.
#pragma once
#include <cstdint>

#include "graphics/text_target.h"

struct TextColor {
  int32_t C[3];  // channels as stored: 8888 blue, green, red; 565 blue, green, red fields
  uint32_t Raw;  // the colour value as given
};

// Blends n pixels: dst row start, coverage row start, colour, blend parameter.
using TextSpanFn = void (*)(uint8_t* dst, const uint8_t* coverage, int n, const TextColor& color, int param);

// The span loop for a format and blend mode; null when the mode draws nothing
// (modes 5 to 9 and above 11) or the parameter makes it draw nothing.
TextSpanFn SelectTextSpan(TextPixelFormat format, int mode, int param);
// Splits a colour value of the format into its channels.
TextColor MakeTextColor(TextPixelFormat format, uint32_t raw);
