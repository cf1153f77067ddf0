#include "softrender/memimg.h"

#include <cstring>

#include "core/alloc.h"

namespace {

constexpr size_t kPaletteBlockSize = 2048;

// Ten cached formats: types 0 and 1 by (alpha, palette), then types 2 and 3.
struct FormatCache {
  ColorFormat Color[10];
  MemImgPixelFormat Pixel[10];
  bool ColorBuilt[10];
  bool PixelBuilt[10];
};
FormatCache g_Cache;

int CacheSlot(MemImgColorType type, int alphaFlag, int paletteFlag) {
  if (type == MEMIMG_TYPE_GRAY8) return 8;
  if (type == MEMIMG_TYPE_DEPTH16) return 9;
  return static_cast<int>(type) * 4 + (alphaFlag ? 2 : 0) + (paletteFlag ? 1 : 0);
}

struct Masks {
  int Bits;
  uint32_t Red, Green, Blue, Alpha;
};

Masks SlotMasks(int slot) {
  switch (slot) {
    case 0:
      return {16, 0xF800, 0x07E0, 0x001F, 0};
    case 1:
      return {8, 0xF800, 0x07E0, 0x001F, 0};
    case 2:
      return {32, 0xF800, 0x07E0, 0x001F, 0x00FF0000};
    case 3:
      return {8, 0xF800, 0x07E0, 0x001F, 0x00FF0000};
    case 4:
      return {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    case 5:
      return {8, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    case 6:
      return {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    case 7:
      return {8, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    case 8:
      return {8, 0xFF, 0xFF, 0xFF, 0xFF};
    default:
      return {16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  }
}

void FillSingleChannelFormat(ColorFormat* f, int bits) {
  std::memset(f, 0, sizeof(*f));
  const uint32_t mask = bits == 8 ? 0xFFu : 0xFFFFu;
  const uint8_t width = static_cast<uint8_t>(bits);
  f->BitDepth = static_cast<uint16_t>(bits);
  f->BytesPerPixel = static_cast<uint16_t>(bits / 8);
  f->RedWidth = f->GreenWidth = f->BlueWidth = f->AlphaWidth = width;
  f->RedMask = f->GreenMask = f->BlueMask = f->AlphaMask = mask;
}

void FreeBase(MemImgBase* base) {
  if (!base->CallerOwnedPixels) TrackedFree(base->Pixels);
  base->Pixels = nullptr;
  TrackedFree(base->Premul);
  base->Premul = nullptr;
  TrackedFree(base->RunTable);
  base->RunTable = nullptr;
  base->RunMask = nullptr;
  base->RunDrawnBits = nullptr;
  TrackedFree(base->Palette);
  base->Palette = nullptr;
  base->PaletteCopy = nullptr;
  TrackedFree(base);
}

}  // namespace

const ColorFormat* GetMemImgColorFormat(MemImgColorType type, int alphaFlag, int paletteFlag) {
  if (type > MEMIMG_TYPE_DEPTH16) return nullptr;
  const int slot = CacheSlot(type, alphaFlag, paletteFlag);
  ColorFormat* f = &g_Cache.Color[slot];
  if (!g_Cache.ColorBuilt[slot]) {
    if (slot >= 8) {
      FillSingleChannelFormat(f, slot == 8 ? 8 : 16);
    } else {
      const Masks m = SlotMasks(slot);
      MakeColorFormatImpl(f, m.Bits, m.Red, m.Green, m.Blue, m.Alpha);
    }
    g_Cache.ColorBuilt[slot] = true;
  }
  return f;
}

const MemImgPixelFormat* GetMemImgPixelFormat(MemImgColorType type, int alphaFlag, int paletteFlag) {
  if (type > MEMIMG_TYPE_DEPTH16) return nullptr;
  const int slot = CacheSlot(type, alphaFlag, paletteFlag);
  MemImgPixelFormat* f = &g_Cache.Pixel[slot];
  if (!g_Cache.PixelBuilt[slot]) {
    const Masks m = SlotMasks(slot);
    std::memset(f, 0, sizeof(*f));
    // The single-channel types carry only the bit count and masks.
    if (slot < 8) {
      f->Size = sizeof(MemImgPixelFormat);
      f->Flags = MEMIMG_PIXEL_FORMAT_RGB;
    }
    f->RgbBitCount = static_cast<uint32_t>(m.Bits);
    f->RedMask = m.Red;
    f->GreenMask = m.Green;
    f->BlueMask = m.Blue;
    f->AlphaMask = m.Alpha;
    g_Cache.PixelBuilt[slot] = true;
  }
  return f;
}

int InitializeMemImg(MEMIMG* img, int width, int height, int pitch, uint32_t transColor, MemImgColorType type,
                     int paletteFlag, int alphaFlag, int extrasFlag, void* pixels) {
  if (!img || img->Marker == MEMIMG_MARKER) return -1;
  if (type > MEMIMG_TYPE_DEPTH16 || width <= 0 || height <= 0 || pitch < -1) return -1;

  const bool single = type == MEMIMG_TYPE_GRAY8 || type == MEMIMG_TYPE_DEPTH16;
  const uint32_t palette = single ? 0 : (paletteFlag ? 1 : 0);
  const uint32_t alpha = (single || palette) ? 0 : (alphaFlag ? 1 : 0);

  static const int kTypeBytes[4] = {2, 4, 1, 2};
  const int bpp = (alpha && type == MEMIMG_TYPE_RGB565) ? 4 : palette ? 1 : kTypeBytes[type];
  const int64_t rowBytes = static_cast<int64_t>(bpp) * width;
  if (pitch != -1 && pitch < rowBytes) return -1;  // a given pitch must hold a row
  const int64_t realPitch = pitch != -1 ? pitch : ((rowBytes + 15) & ~int64_t{15});
  const int64_t pixelBytes = realPitch * height;
  // The run table, then its kind masks on an 8-byte boundary (and, after
  // byte masks, the drawn bits).
  const int64_t runTableBytes = ((static_cast<int64_t>(width) + 5) * height + 7) & ~int64_t{7};
  const bool maskBytes = RunMaskIsBytes(type, alpha);
  const int64_t bitWords = (static_cast<int64_t>(width) + 63) / 64;
  const int64_t runMaskWords = maskBytes ? (static_cast<int64_t>(width) + 7) / 8 : bitWords;
  const int64_t maskBlockWords = runMaskWords * (maskBytes ? 1 : 2) * height;
  const int64_t runBytes = runTableBytes + (maskBlockWords + (maskBytes ? bitWords * height : 0)) * 8;
  if (realPitch > INT32_MAX || pixelBytes > static_cast<int64_t>(TRACKED_ALLOC_MAX_SIZE) ||
      runBytes > static_cast<int64_t>(TRACKED_ALLOC_MAX_SIZE))
    return -1;

  // The smallest power of two not below the row length; the log2 pitch is
  // known only when the pitch is exactly that power.
  const int64_t r = pitch != -1 ? pitch : rowBytes;
  int n = 0;
  while ((int64_t{1} << n) < r) ++n;
  const int log2Pitch = realPitch == (int64_t{1} << n) ? n : -1;

  auto* base = static_cast<MemImgBase*>(TrackedAllocZeroed(sizeof(MemImgBase), "", 0));
  if (!base) return -1;
  base->RefCount = 1;
  base->Width = static_cast<uint32_t>(width);
  base->Height = static_cast<uint32_t>(height);
  base->TransColor = transColor;
  base->Type = type;
  base->PaletteFlag = palette;
  base->AlphaFlag = alpha;
  base->Pitch = static_cast<uint32_t>(realPitch);
  base->Log2Pitch = log2Pitch;
  base->Format = GetMemImgColorFormat(type, static_cast<int>(alpha), static_cast<int>(palette));

  bool ok = true;
  if (palette) {
    base->Palette = static_cast<uint8_t*>(TrackedAllocZeroed(kPaletteBlockSize, "", 0));
    base->PaletteCopy = base->Palette ? base->Palette + kPaletteBlockSize / 2 : nullptr;
    ok = base->Palette != nullptr;
  }
  if (ok) {
    if (pixels) {
      base->Pixels = static_cast<uint8_t*>(pixels);
      base->CallerOwnedPixels = 1;
    } else {
      base->Pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pixelBytes), "", 0));
      ok = base->Pixels != nullptr;
    }
  }
  if (ok && extrasFlag) {
    if (alpha) {
      base->Premul = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pixelBytes), "", 0));
      ok = base->Premul != nullptr;
    }
    if (ok && type != MEMIMG_TYPE_GRAY8) {
      base->RunTable = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(runBytes), "", 0));
      ok = base->RunTable != nullptr;
      if (ok) {
        base->RunMask = reinterpret_cast<uint64_t*>(base->RunTable + runTableBytes);
        base->RunMaskWords = static_cast<uint32_t>(runMaskWords);
        base->RunDrawnBits = maskBytes ? base->RunMask + maskBlockWords : base->RunMask;
        base->RunDrawnBitsStride = static_cast<uint32_t>(maskBytes ? bitWords : 2 * runMaskWords);
      }
    }
  }
  if (!ok) {
    FreeBase(base);
    img->Base = nullptr;
    return -1;
  }

  img->Base = base;
  img->Marker = MEMIMG_MARKER;
  img->Width = width;
  img->Height = height;
  img->Pixels = base->Pixels;
  img->Premul = base->Premul;
  return 0;
}

int InitializeMemImgForScreen(MEMIMG* img, int width, int height, int type) {
  if (!img) return -1;
  std::memset(img, 0, sizeof(*img));
  if (type < 0) return -1;
  return InitializeMemImg(img, width, height, -1, 0, static_cast<MemImgColorType>(type), 0, 0, 0, nullptr);
}

int InitializeZBufferMemImg(MEMIMG* img, int width, int height) {
  if (!img) return -1;
  std::memset(img, 0, sizeof(*img));
  return InitializeMemImg(img, width, height, -1, 0, MEMIMG_TYPE_DEPTH16, 0, 0, 0, nullptr);
}

void DeriveMemImg(MEMIMG* out, const MEMIMG* src, int x, int y, int w, int h) {
  if (!out || !IsValidMemImg(src)) return;
  // Empty views and views reaching outside the source are refused; the sums
  // are done wide so huge arguments cannot wrap into range.
  if (w <= 0 || h <= 0 || x < 0 || y < 0) return;
  if (static_cast<int64_t>(x) + w > src->Width || static_cast<int64_t>(y) + h > src->Height) return;
  MemImgBase* base = src->Base;
  const size_t offset =
      static_cast<size_t>(y) * base->Pitch + static_cast<size_t>(x) * base->Format->BytesPerPixel;
  out->Marker = MEMIMG_MARKER;
  out->Width = w;
  out->Height = h;
  out->Pixels = src->Pixels + offset;
  out->Premul = base->Premul ? src->Premul + offset : nullptr;
  out->Base = base;
  base->RefCount += 1;
}

int IsValidMemImg(const MEMIMG* img) {
  return img && img->Marker == MEMIMG_MARKER && img->Base != nullptr ? 1 : 0;
}

void TerminateMemImg(MEMIMG* img) {
  if (!img) return;
  if (img->Marker == MEMIMG_MARKER && img->Base) {
    MemImgBase* base = img->Base;
    base->RefCount -= 1;
    if (base->RefCount == 0) FreeBase(base);
  }
  img->Base = nullptr;
  img->Marker = 0;
}
