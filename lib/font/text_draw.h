// Drawing text with a font record into a given target (the core of
// DrawDefaultFontString, reachable by tests and benchmarks without a
// graphics device).
#pragma once
#include <cstdint>

#include "font/font_state.h"
#include "graphics/text_target.h"

// Draws Shift-JIS text at (x, y), the top left of the first character cell;
// "\n" starts a new line under the first. 0, or -1 for a bad target or text.
int DrawTextToTarget(const TextDrawTarget* target, FontRecord* font, int x, int y, const char* text,
                     uint32_t color, uint32_t edgeColor);
// DrawDefaultFontString into the given target.
int DrawDefaultFontStringTo(const TextDrawTarget* target, int x, int y, const char* text, uint32_t color,
                            uint32_t edgeColor);
