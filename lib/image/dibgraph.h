// DIB graphs: a device-independent bitmap in memory (header, colour table and
// separate bits) turned into a DIB section that the display back end can draw
// and read with ordinary bitmap calls.
#pragma once
#include "image/dib.h"

struct ColorFormat;
struct PixelImage;

// A new top-down section holding the bitmap: 8-bit bitmaps keep their colour
// table, every other depth becomes 24-bit. Compressed bitmaps are refused.
// The caller owns the section (DeleteDibSection). Null on failure, with
// the failure logged. `mirror` and `format` are accepted for the callers'
// sake; the system passes 0 and null.
DibSection* CreateDIBGraph(const BITMAPINFO* source, const void* bits, int mirror, const ColorFormat* format);

// The back end's conversion of an image to a DIB section: describes the image
// as DIB bits and makes the section from them. Null on failure (logged).
DibSection* CreateDIBGraphFromPixelImage(const PixelImage* image);
