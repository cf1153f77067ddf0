// Decoded images in ordinary memory: a ColorFormat, a size, a row pitch and an
// owned pixel buffer (rows top to bottom, every routine honours the pitch).
#pragma once
#include <cstdint>
#include "image/colorformat.h"

struct PixelImage {
  ColorFormat Format;
  int Width;
  int Height;
  int Pitch;        // bytes from one row to the next
  uint8_t* Pixels;  // top row; owned (tracked allocator), null = owns nothing
};

// Makers: fixed format, size, pitch rounded up to 4 bytes, a new (not zeroed)
// buffer. -1 when the buffer cannot be had (or the size is negative or too
// large); the other fields are then written and Pixels is null.
int MakeARGB8PixelImage(int width, int height, PixelImage* out);
int MakeXRGB8PixelImageImpl(int width, int height, PixelImage* out);
int MakeRGB24PixelImage(int width, int height, PixelImage* out);

// Frees the pixel buffer (when any) and zeroes the whole record.
int ReleasePixelImageImpl(PixelImage* image);

// Every pixel set to the packed colour.
int FillPixelImage(PixelImage* image, int r, int g, int b, int a);
// One pixel set to the packed colour; -1 outside the image.
int WritePixelImagePixel(PixelImage* image, uint32_t x, uint32_t y, int r, int g, int b, int a);
// One pixel's components 0..255 (each output may be null); -1 outside the image.
int ReadPixelImageRGBA(const PixelImage* image, uint32_t x, uint32_t y, int* r, int* g, int* b, int* a);
// One pixel as 0xAARRGGBB with each channel at the top of its byte. No bounds
// check: callers pass coordinates inside the image. 0 for an image without pixels.
uint32_t ReadPixelImageARGB(const PixelImage* image, int x, int y);
// Flips the image left to right in place; -1 when width or height is 0.
int MirrorPixelImage(PixelImage* image);

// Row bytes rounded up to 4 (the makers' pitch), or -1 when it does not fit an int.
int PixelImageAlignedPitch(int bytesPerPixel, int width);
