// Fonts and text: the default font (a Japanese gothic face at a pixel size),
// its glyph cache, and Shift-JIS string drawing into the current draw target.
#pragma once
#include <cstdint>

// Clears the font block, sets the default font settings (16 pixels, no edge)
// and resets the fonts. 0, or -1 when the default face cannot be found.
int InitializeFontSystem();
// Deletes every font and the default font.
int TerminateFontSystem();
// Makes every font's glyph cache again (after the device surfaces were lost).
int RecreateAllFonts();
// Sets the default font size in pixels; -1 gives 16. 0, or -1 for a size
// outside 1 to 512.
int SetDefaultFontSizeImpl(int size);
// The current default font size in pixels.
int GetDefaultFontSize();

// Draws Shift-JIS text with the default font at (x, y), the top left of the
// first character cell, in `color` (a colour value of the draw target's
// format). A non-zero edgeColor draws a one-pixel edge in that colour around
// the glyphs. 0, or -1 when nothing can be drawn.
int DrawDefaultFontString(int x, int y, const char* text, uint32_t color, uint32_t edgeColor);
// Width in pixels that DrawDefaultFontString advances over the text.
int GetDefaultFontStringWidth(const char* text);
