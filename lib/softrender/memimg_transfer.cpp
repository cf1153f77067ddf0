// Moving pixels into and out of library images, and the derived data built
// from a whole image (premultiplied copy, run table).
#include <cstring>

#include "image/convert.h"
#include "softrender/memimg.h"

namespace {

bool RectInside(int64_t x, int64_t y, int64_t w, int64_t h, int64_t width, int64_t height) {
  return x >= 0 && y >= 0 && w >= 0 && h >= 0 && x + w <= width && y + h <= height;
}

bool CoversWholeBase(const MEMIMG* img) {
  return img->Pixels == img->Base->Pixels && static_cast<uint32_t>(img->Width) == img->Base->Width &&
         static_cast<uint32_t>(img->Height) == img->Base->Height;
}

// Run kind of one pixel.
int PixelKind(const MemImgBase* base, const uint8_t* p) {
  if (base->PaletteFlag) return *p == base->TransColor ? MEMIMG_RUN_TRANSPARENT : MEMIMG_RUN_OPAQUE;
  if (base->AlphaFlag) {
    const uint8_t a = base->Type == MEMIMG_TYPE_RGB565 ? p[2] : p[3];
    return a == 0 ? MEMIMG_RUN_TRANSPARENT : a == 255 ? MEMIMG_RUN_OPAQUE : MEMIMG_RUN_TRANSLUCENT;
  }
  uint32_t v;
  if (base->Type == MEMIMG_TYPE_RGB565) {
    uint16_t w;
    std::memcpy(&w, p, 2);
    // A 16-bit image's key is a 16-bit value, as the blit compares it.
    return w == (base->TransColor & 0xFFFF) ? MEMIMG_RUN_TRANSPARENT : MEMIMG_RUN_OPAQUE;
  }
  std::memcpy(&v, p, 4);
  return v == base->TransColor ? MEMIMG_RUN_TRANSPARENT : MEMIMG_RUN_OPAQUE;
}

void BuildPremultiplied(MEMIMG* img) {
  MemImgBase* base = img->Base;
  for (int y = 0; y < img->Height; ++y) {
    const uint8_t* s = img->Pixels + static_cast<size_t>(y) * base->Pitch;
    uint8_t* d = img->Premul + static_cast<size_t>(y) * base->Pitch;
    for (int x = 0; x < img->Width; ++x, s += 4, d += 4) {
      if (base->Type == MEMIMG_TYPE_RGB565) {
        const uint32_t a = s[2];
        const uint32_t c = static_cast<uint32_t>(s[0] | s[1] << 8);
        const uint32_t r = ((c >> 11) * a) >> 8, g = (((c >> 5) & 63) * a) >> 8, b = ((c & 31) * a) >> 8;
        const uint32_t out = r << 11 | g << 5 | b;
        d[0] = static_cast<uint8_t>(out);
        d[1] = static_cast<uint8_t>(out >> 8);
        d[2] = static_cast<uint8_t>(a);
        d[3] = 0;
      } else {
        const uint32_t a = s[3];
        d[0] = static_cast<uint8_t>((s[0] * a) >> 8);
        d[1] = static_cast<uint8_t>((s[1] * a) >> 8);
        d[2] = static_cast<uint8_t>((s[2] * a) >> 8);
        d[3] = static_cast<uint8_t>(a);
      }
    }
  }
}

}  // namespace

int BuildMemImgRunTable(MEMIMG* img) {
  if (!IsValidMemImg(img) || !img->Base->RunTable || !CoversWholeBase(img)) return -1;
  MemImgBase* base = img->Base;
  if (base->Type != MEMIMG_TYPE_RGB565 && base->Type != MEMIMG_TYPE_XRGB32) return -1;
  const int bpp = base->Format->BytesPerPixel;
  uint8_t* out = base->RunTable;
  uint64_t spans = 0;  // drawn spans: a row's opaque and translucent runs between transparent ones
  int prevKind = MEMIMG_RUN_TRANSPARENT;
  const size_t words = base->RunMaskWords;
  const bool maskBytes = RunMaskIsBytes(base->Type, base->AlphaFlag);
  const size_t rowWords = maskBytes ? words : 2 * words;
  for (int y = 0; y < img->Height; ++y) {
    const uint8_t* p = img->Pixels + static_cast<size_t>(y) * base->Pitch;
    uint64_t* drawn = base->RunMask + static_cast<size_t>(y) * rowWords;
    uint64_t* translucent = drawn + words;
    uint8_t* drawnBytes = reinterpret_cast<uint8_t*>(drawn);
    uint64_t* drawnBits = base->RunDrawnBits + static_cast<size_t>(y) * base->RunDrawnBitsStride;
    std::memset(drawn, 0, rowWords * sizeof(uint64_t));
    if (maskBytes) std::memset(drawnBits, 0, base->RunDrawnBitsStride * sizeof(uint64_t));
    int x = 0;
    while (x < img->Width) {
      const int kind = PixelKind(base, p);
      int len = 1;
      p += bpp;
      while (x + len < img->Width && len < 64 && PixelKind(base, p) == kind) {
        ++len;
        p += bpp;
      }
      *out++ = static_cast<uint8_t>(kind << 6 | (len - 1));
      if (maskBytes && kind != MEMIMG_RUN_TRANSPARENT)
        std::memset(drawnBytes + x, 0xFF, static_cast<size_t>(len));
      for (int i = x; i < x + len; ++i) {
        const uint64_t bit = uint64_t{1} << (i & 63);
        if (kind != MEMIMG_RUN_TRANSPARENT) drawnBits[i >> 6] |= bit;
        if (!maskBytes && kind == MEMIMG_RUN_TRANSLUCENT) translucent[i >> 6] |= bit;
      }
      if (kind != MEMIMG_RUN_TRANSPARENT && (x == 0 || prevKind == MEMIMG_RUN_TRANSPARENT)) ++spans;
      prevKind = kind;
      x += len;
    }
    *out++ = MEMIMG_RUN_ROW_END;
  }
  const uint64_t pixels = static_cast<uint64_t>(img->Width) * static_cast<uint64_t>(img->Height);
  const uint64_t perSpan = spans ? pixels / spans : pixels;
  base->RunTableSpanLength = perSpan > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(perSpan);
  base->RunTableValid = 1;
  return 0;
}

void TransferPixelImageToMemImg(const PixelImage* src, const PixelImage* alpha, MEMIMG* dest, int srcX,
                                int srcY, int w, int h, int destX, int destY, int option) {
  if (!src || !src->Pixels || !IsValidMemImg(dest)) return;
  // The converter does not clip: every rectangle must lie inside its image.
  if (!RectInside(srcX, srcY, w, h, src->Width, src->Height)) return;
  if (!RectInside(destX, destY, w, h, dest->Width, dest->Height)) return;
  if (alpha && (!alpha->Pixels || !RectInside(srcX, srcY, w, h, alpha->Width, alpha->Height))) return;
  MemImgBase* base = dest->Base;
  const Rect srcRect = {srcX, srcY, srcX + w, srcY + h};
  const int pitch = static_cast<int>(base->Pitch);

  if (base->Type == MEMIMG_TYPE_GRAY8 || base->Type == MEMIMG_TYPE_DEPTH16) {
    // Clear colour and alpha from red: the single channel receives the red value.
    ConvertPixelRect(dest->Pixels, pitch, base->Format, src->Pixels, src->Pitch, &src->Format, nullptr, 0,
                     nullptr, destX, destY, &srcRect, 0, 0, 0, 0, 1, 1, 0, 0);
    base->PremulValid = 0;
    base->RunTableValid = 0;
    return;
  }

  const int result = ConvertPixelRect(dest->Pixels, pitch, base->Format, src->Pixels, src->Pitch,
                                      &src->Format, alpha ? alpha->Pixels : nullptr, alpha ? alpha->Pitch : 0,
                                      alpha ? &alpha->Format : nullptr, destX, destY, &srcRect, 0, option,
                                      base->TransColor, 0, 0, 0, 0, 0);
  if (result < 0) return;
  if (!alpha && base->PaletteFlag) base->PaletteCount = static_cast<uint32_t>(result) + 1;

  if (base->PaletteFlag) {
    const PaletteEntry* pal = src->Format.Palette;
    if (base->Type == MEMIMG_TYPE_RGB565) {
      for (int i = 0; i < 256; ++i) {
        const uint16_t v = static_cast<uint16_t>(((pal[i].Red & 0xF8) << 8) | ((pal[i].Green & 0xFC) << 3) |
                                                 (pal[i].Blue >> 3));
        std::memcpy(base->Palette + i * 2, &v, 2);
      }
      std::memcpy(base->PaletteCopy, base->Palette, 512);
    } else {
      for (int i = 0; i < 256; ++i) {
        const uint32_t v =
            static_cast<uint32_t>(pal[i].Red) << 16 | static_cast<uint32_t>(pal[i].Green) << 8 | pal[i].Blue;
        std::memcpy(base->Palette + i * 4, &v, 4);
      }
      std::memcpy(base->PaletteCopy, base->Palette, 1024);
    }
  }

  base->PremulValid = 0;
  base->RunTableValid = 0;
  // Only a write of the whole image makes the derived data whole again.
  if (w == dest->Width && h == dest->Height && CoversWholeBase(dest) && base->RunTable) {
    if (base->AlphaFlag && base->Premul) {
      BuildPremultiplied(dest);
      base->PremulValid = 1;
    }
    BuildMemImgRunTable(dest);
  }
}

int TransferMemImgToPixelImage(PixelImage* dest, const MEMIMG* src, int x, int y, int w, int h, int destX,
                               int destY, int valueA, int valueB) {
  if (!dest || !dest->Pixels || !IsValidMemImg(src)) return -1;
  const MemImgBase* base = src->Base;
  if ((base->Type != MEMIMG_TYPE_RGB565 && base->Type != MEMIMG_TYPE_XRGB32) || base->PaletteFlag ||
      base->AlphaFlag)
    return -1;
  if (!RectInside(x, y, w, h, src->Width, src->Height)) return -1;
  if (!RectInside(destX, destY, w, h, dest->Width, dest->Height)) return -1;
  const Rect srcRect = {x, y, x + w, y + h};
  return ConvertPixelRect(dest->Pixels, dest->Pitch, &dest->Format, src->Pixels,
                          static_cast<int>(base->Pitch), base->Format, nullptr, 0, nullptr, destX, destY,
                          &srcRect, 0, 0, static_cast<uint32_t>(valueA), 0, 0, 0, valueB, 0);
}

int CopyMemImgRect(MEMIMG* dest, const MEMIMG* src, const Rect* srcRect, int x, int y) {
  if (!IsValidMemImg(dest) || !IsValidMemImg(src)) return -1;
  Rect r = srcRect ? *srcRect : Rect{0, 0, src->Width, src->Height};
  if (r.Right <= r.Left || r.Bottom <= r.Top) return -1;
  // Clip the source rectangle to the source view, moving the destination
  // point with its left and top edges, then to the destination view.
  int64_t left = r.Left, top = r.Top, right = r.Right, bottom = r.Bottom;
  int64_t dx = x, dy = y;
  if (left < 0) {
    dx -= left;
    left = 0;
  }
  if (top < 0) {
    dy -= top;
    top = 0;
  }
  if (right > src->Width) right = src->Width;
  if (bottom > src->Height) bottom = src->Height;
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  if (dx + (right - left) > dest->Width) right = left + (dest->Width - dx);
  if (dy + (bottom - top) > dest->Height) bottom = top + (dest->Height - dy);
  if (right <= left || bottom <= top) return -1;
  const Rect clipped = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                        static_cast<int32_t>(bottom)};
  InvalidateMemImgDerived(dest);
  return ConvertPixelRect(dest->Pixels, static_cast<int>(dest->Base->Pitch), dest->Base->Format, src->Pixels,
                          static_cast<int>(src->Base->Pitch), src->Base->Format, nullptr, 0, nullptr,
                          static_cast<int>(dx), static_cast<int>(dy), &clipped, 0, 0, 0, 0, 0, 0, 0, 0);
}

void ClearMemImgRect(MEMIMG* img, const Rect* rect, uint32_t value) {
  if (!IsValidMemImg(img)) return;
  Rect r = rect ? *rect : Rect{0, 0, img->Width, img->Height};
  const Rect bounds = {0, 0, img->Width, img->Height};
  ClipRect(&r, &bounds);
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  MemImgBase* base = img->Base;
  const int bpp = base->Format->BytesPerPixel;
  if (bpp != 1 && bpp != 2 && bpp != 4) return;
  InvalidateMemImgDerived(img);
  const int w = r.Right - r.Left;
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* p = img->Pixels + static_cast<size_t>(y) * base->Pitch + static_cast<size_t>(r.Left) * bpp;
    if (bpp == 1) {
      std::memset(p, static_cast<uint8_t>(value), static_cast<size_t>(w));
    } else if (bpp == 2) {
      const uint16_t v = static_cast<uint16_t>(value);
      for (int i = 0; i < w; ++i) std::memcpy(p + i * 2, &v, 2);
    } else {
      for (int i = 0; i < w; ++i) std::memcpy(p + i * 4, &value, 4);
    }
  }
}
