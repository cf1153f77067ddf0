// The library's own in-memory image: a small caller-owned view (MEMIMG) over a
// shared, reference-counted MemImgBase, so sub-rectangle views share one set
// of buffers. Every software drawing routine reads and writes these.
#pragma once
#include <cstdint>

#include "image/colorformat.h"
#include "image/pixelimage.h"
#include "image/rect.h"

// Pixel layouts of a library image (a palette image has one-byte indices
// whatever its type).
using MemImgColorType = uint32_t;
constexpr MemImgColorType MEMIMG_TYPE_RGB565 = 0;   // 16-bit 5-6-5; 4 bytes with alpha
constexpr MemImgColorType MEMIMG_TYPE_XRGB32 = 1;   // bytes B, G, R, fourth (alpha)
constexpr MemImgColorType MEMIMG_TYPE_GRAY8 = 2;    // one channel (blend graphs)
constexpr MemImgColorType MEMIMG_TYPE_DEPTH16 = 3;  // one 16-bit channel (depth images)

constexpr uint32_t MEMIMG_MARKER = 0x12345678u;
// The byte that ends each row of a run table, and the run kinds.
constexpr uint8_t MEMIMG_RUN_ROW_END = 0xC0;
constexpr int MEMIMG_RUN_TRANSPARENT = 0;
constexpr int MEMIMG_RUN_OPAQUE = 1;
constexpr int MEMIMG_RUN_TRANSLUCENT = 2;

struct MemImgBase {
  uint32_t RefCount;  // views that hold this base
  uint32_t Width;     // of the whole image
  uint32_t Height;
  uint32_t Pitch;             // bytes from one row to the next
  int32_t Log2Pitch;          // n when Pitch == 2^n (see InitializeMemImg), else -1
  const ColorFormat* Format;  // cached format; its BytesPerPixel is the pixel step
  uint32_t TransColor;        // raw pixel value (or palette index) that is transparent
  MemImgColorType Type;
  uint32_t PaletteFlag;        // 1: one-byte indices into Palette
  uint32_t PaletteCount;       // palette entries in use
  uint32_t AlphaFlag;          // 1: pixels carry alpha
  uint32_t PremulValid;        // 1: Premul matches the pixels
  uint32_t RunTableValid;      // 1: RunTable matches the pixels
  uint32_t CallerOwnedPixels;  // 1: Pixels belongs to the caller
  uint8_t* Palette;            // 2,048-byte block: working palette (1,024 bytes) ...
  uint8_t* PaletteCopy;        // ... and its copy in the second half; null without palette
  uint8_t* Pixels;             // Pitch x Height bytes
  uint8_t* Premul;             // premultiplied copy of the pixels, or null
  uint8_t* RunTable;           // (Width + 5) x Height bytes, or null
  // Set with the run table: pixels per drawn span (a row's opaque and
  // translucent pixels between transparent runs), which tells whether the
  // span-by-span loops or the kind-mask loops draw a plain copy faster.
  uint32_t RunTableSpanLength;
  // Also set with the run table, in its block after it: each row's kinds, so
  // that short runs are drawn by vector loops without decoding the table. A
  // 16-bit image without alpha has one byte a pixel, 0xFF where drawn and 0
  // where not, in RunMaskWords words a row (see RunMaskIsBytes); any other
  // two bit masks of RunMaskWords words a row (bit i of the row is pixel i),
  // the drawn pixels (kinds 1 and 2) and then the translucent ones (kind 2).
  uint64_t* RunMask;
  uint32_t RunMaskWords;
  // Each row's drawn pixels one bit each, RunDrawnBitsStride words from one
  // row to the next, for the loops that copy span by span: the first
  // bit mask of the rows above, or after a 16-bit image's bytes a block of
  // (Width + 63) / 64 words a row.
  uint64_t* RunDrawnBits;
  uint32_t RunDrawnBitsStride;
};

// Whether a run table's kind masks are bytes (see MemImgBase): they widen to
// 16-bit lanes in one step, where bit masks would go through a lookup; on a
// 32-bit image they would weigh four times the bit masks' memory traffic.
constexpr bool RunMaskIsBytes(uint32_t type, uint32_t alpha) { return !alpha && type == MEMIMG_TYPE_RGB565; }

// A view: must be zero before its first initialisation.
struct MEMIMG {
  uint32_t Marker;  // MEMIMG_MARKER while initialised
  int32_t Width;
  int32_t Height;
  uint8_t* Pixels;  // the view's top-left pixel inside the base's buffer
  uint8_t* Premul;  // same position in the premultiplied buffer, or null
  MemImgBase* Base;
};

// A DirectDraw-style 32-byte pixel format description.
struct MemImgPixelFormat {
  uint32_t Size;
  uint32_t Flags;
  uint32_t FourCC;
  uint32_t RgbBitCount;
  uint32_t RedMask;
  uint32_t GreenMask;
  uint32_t BlueMask;
  uint32_t AlphaMask;
};
constexpr uint32_t MEMIMG_PIXEL_FORMAT_RGB = 0x40;

// Creates a base for the view. pitch -1 computes it (row bytes rounded to 16);
// a given pitch must hold a whole row. extras adds a premultiplied buffer
// (alpha images) and a run table (all but type 2). pixels may be a caller
// buffer of pitch x height bytes. 0, or -1 (view already initialised, bad
// size, out of memory: the view then stays uninitialised).
int InitializeMemImg(MEMIMG* img, int width, int height, int pitch, uint32_t transColor, MemImgColorType type,
                     int paletteFlag, int alphaFlag, int extrasFlag, void* pixels);
// Zeroes the view and makes a plain image of the screen's type, which the
// display side gives (0 on a 16-bit screen, else 1); -1 for a negative type.
int InitializeMemImgForScreen(MEMIMG* img, int width, int height, int type);
// Zeroes the view and makes a 16-bit depth image.
int InitializeZBufferMemImg(MEMIMG* img, int width, int height);
// A view of the rectangle (x, y, w, h) of src, sharing its base. An empty
// rectangle or one not wholly inside src leaves `out` unchanged.
void DeriveMemImg(MEMIMG* out, const MEMIMG* src, int x, int y, int w, int h);
// 1 when the view is initialised and has a base.
int IsValidMemImg(const MEMIMG* img);
// Drops the view's reference; the last one frees the buffers.
void TerminateMemImg(MEMIMG* img);

// Cached formats of the image types; null for a type above 3.
const ColorFormat* GetMemImgColorFormat(MemImgColorType type, int alphaFlag, int paletteFlag);
const MemImgPixelFormat* GetMemImgPixelFormat(MemImgColorType type, int alphaFlag, int paletteFlag);

// Writes a rectangle of a decoded image (and optional alpha image) into the
// image; a whole-image write rebuilds the premultiplied copy and run table.
// A rectangle not inside the source, alpha image or view writes nothing.
void TransferPixelImageToMemImg(const PixelImage* src, const PixelImage* alpha, MEMIMG* dest, int srcX,
                                int srcY, int w, int h, int destX, int destY, int option);
// Converts a rectangle of a plain 16- or 32-bit image into a decoded image;
// the converter's result, or -1 when refused.
int TransferMemImgToPixelImage(PixelImage* dest, const MEMIMG* src, int x, int y, int w, int h, int destX,
                               int destY, int valueA, int valueB);
// Copies (and converts) a rectangle of src to (x, y) of dest, clipped to
// both views; the converter's result, or -1 when nothing remains.
int CopyMemImgRect(MEMIMG* dest, const MEMIMG* src, const Rect* srcRect, int x, int y);
// Sets every pixel of the rectangle (clipped to the view; null = whole view)
// to the raw value.
void ClearMemImgRect(MEMIMG* img, const Rect* rect, uint32_t value);

// Rebuilds the run table of an image whose view covers its whole base;
// returns 0, or -1 when the image has no run table or is not whole.
int BuildMemImgRunTable(MEMIMG* img);
// Marks the derived data (run table, premultiplied copy) of the image as stale;
// every drawing routine calls it on its destination.
inline void InvalidateMemImgDerived(MEMIMG* img) {
  img->Base->RunTableValid = 0;
  img->Base->PremulValid = 0;
}
