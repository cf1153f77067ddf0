// Decoded images in memory: making, filling, single-pixel access, mirroring.
#include "image/pixelimage.h"

#include <cstring>

#include "core/alloc.h"
#include "image/decoder_io.h"

namespace {

// Fills size, pitch and a new buffer. The format is already written. Images
// beyond the byte limit of every image are refused, so that no later pitch x
// height product can overflow and no absurd request reaches the heap.
int AllocatePixels(int width, int height, PixelImage* out) {
  out->Width = width;
  out->Height = height;
  out->Pixels = nullptr;
  out->Pitch = 0;
  if (width < 0 || height < 0) return -1;
  int pitch = PixelImageAlignedPitch(out->Format.BytesPerPixel, width);
  if (pitch < 0) return -1;
  out->Pitch = pitch;
  if (!ImageBytesWithinLimit(uint64_t(pitch), uint64_t(height))) return -1;
  out->Pixels = static_cast<uint8_t*>(TrackedAlloc(size_t(pitch) * size_t(height), "", 0));
  return out->Pixels ? 0 : -1;
}

uint32_t ReadRaw(const uint8_t* p, unsigned bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return p[0];
    case 2:
      return uint32_t{p[0]} | uint32_t{p[1]} << 8;
    case 3:
      return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    case 4:
      return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    default:
      return 0;
  }
}

void WriteRaw(uint8_t* p, unsigned bytesPerPixel, uint32_t v) {
  if (bytesPerPixel == 0 || bytesPerPixel > 4) return;
  for (unsigned i = 0; i < bytesPerPixel; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Places a channel at the top of its byte of a 0xAARRGGBB word (top = 8, 16,
// 24, 32). A channel wider than 8 bits keeps its 8 highest bits.
uint32_t ChannelToByte(uint32_t pixel, uint32_t mask, unsigned shift, unsigned width, unsigned top) {
  if (width == 0) return 0;
  uint32_t c = (pixel & mask) >> (shift & 31);
  uint32_t byte = width > 8 ? (width >= 32 ? c >> 24 : c >> (width - 8)) : c << (8 - width);
  return (byte & 0xFFu) << (top - 8);
}

}  // namespace

int PixelImageAlignedPitch(int bytesPerPixel, int width) {
  if (bytesPerPixel < 0 || width < 0) return -1;
  int64_t pitch = (int64_t{bytesPerPixel} * width + 3) / 4 * 4;
  if (pitch > 0x7FFFFFFF) return -1;
  return static_cast<int>(pitch);
}

int MakeARGB8PixelImage(int width, int height, PixelImage* out) {
  SetARGB8ColorFormat(&out->Format);
  return AllocatePixels(width, height, out);
}

int MakeXRGB8PixelImageImpl(int width, int height, PixelImage* out) {
  SetXRGB8ColorFormat(&out->Format);
  return AllocatePixels(width, height, out);
}

int MakeRGB24PixelImage(int width, int height, PixelImage* out) {
  SetRGB24ColorFormat(&out->Format);
  return AllocatePixels(width, height, out);
}

int ReleasePixelImageImpl(PixelImage* image) {
  if (image == nullptr) return 0;
  if (image->Pixels) TrackedFree(image->Pixels);
  std::memset(image, 0, sizeof(*image));
  return 0;
}

int FillPixelImage(PixelImage* image, int r, int g, int b, int a) {
  if (image == nullptr || image->Pixels == nullptr || image->Width < 1 || image->Height < 1) return 0;
  unsigned bpp = image->Format.BytesPerPixel;
  if (bpp == 0 || bpp > 4) return 0;
  uint32_t v = PackColorForFormat(&image->Format, r, g, b, a);
  uint8_t* row = image->Pixels;
  for (int y = 0; y < image->Height; y++, row += image->Pitch) {
    uint8_t* p = row;
    for (int x = 0; x < image->Width; x++, p += bpp) WriteRaw(p, bpp, v);
  }
  return 0;
}

int WritePixelImagePixel(PixelImage* image, uint32_t x, uint32_t y, int r, int g, int b, int a) {
  if (image == nullptr || image->Pixels == nullptr) return -1;
  if (x >= static_cast<uint32_t>(image->Width) || y >= static_cast<uint32_t>(image->Height)) return -1;
  unsigned bpp = image->Format.BytesPerPixel;
  uint32_t v = PackColorForFormat(&image->Format, r, g, b, a);
  WriteRaw(image->Pixels + size_t{y} * static_cast<size_t>(image->Pitch) + size_t{x} * bpp, bpp, v);
  return 0;
}

int ReadPixelImageRGBA(const PixelImage* image, uint32_t x, uint32_t y, int* r, int* g, int* b, int* a) {
  if (image == nullptr || image->Pixels == nullptr) return -1;
  if (x >= static_cast<uint32_t>(image->Width) || y >= static_cast<uint32_t>(image->Height)) return -1;
  unsigned bpp = image->Format.BytesPerPixel;
  uint32_t v = ReadRaw(image->Pixels + size_t{y} * static_cast<size_t>(image->Pitch) + size_t{x} * bpp, bpp);
  if (bpp == 1) {
    const PaletteEntry& e = image->Format.Palette[v];
    if (r) *r = e.Red;
    if (g) *g = e.Green;
    if (b) *b = e.Blue;
    if (a) *a = e.Reserved;
    return 0;
  }
  return UnpackColorForFormat(&image->Format, v, r, g, b, a);
}

uint32_t ReadPixelImageARGB(const PixelImage* image, int x, int y) {
  if (image == nullptr || image->Pixels == nullptr) return 0;
  const ColorFormat& f = image->Format;
  unsigned bpp = f.BytesPerPixel;
  uint32_t v = ReadRaw(image->Pixels + int64_t{y} * image->Pitch + int64_t{x} * bpp, bpp);
  if (bpp == 1) {
    const PaletteEntry& e = f.Palette[v];
    return uint32_t{e.Red} << 16 | uint32_t{e.Green} << 8 | e.Blue;
  }
  uint32_t out = ChannelToByte(v, f.BlueMask, f.BlueShift, f.BlueWidth, 8) |
                 ChannelToByte(v, f.GreenMask, f.GreenShift, f.GreenWidth, 16) |
                 ChannelToByte(v, f.RedMask, f.RedShift, f.RedWidth, 24);
  if (f.AlphaWidth != 0) out |= ChannelToByte(v, f.AlphaMask, f.AlphaShift, f.AlphaWidth, 32);
  return out;
}

int MirrorPixelImage(PixelImage* image) {
  if (image == nullptr || image->Width == 0 || image->Height == 0) return -1;
  unsigned bpp = image->Format.BytesPerPixel;
  if (bpp == 0 || bpp > 4 || image->Pixels == nullptr || image->Width < 0 || image->Height < 0) return 0;
  uint8_t* row = image->Pixels;
  for (int y = 0; y < image->Height; y++, row += image->Pitch) {
    for (int i = 0; i < image->Width / 2; i++) {
      uint8_t* a = row + size_t(i) * bpp;
      uint8_t* b = row + size_t(image->Width - 1 - i) * bpp;
      for (unsigned k = 0; k < bpp; k++) {
        uint8_t t = a[k];
        a[k] = b[k];
        b[k] = t;
      }
    }
  }
  return 0;
}
