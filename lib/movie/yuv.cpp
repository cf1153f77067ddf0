// YUV to RGB: the lookup tables built at start-up, the fixed-point path for
// frames with chroma at half size in both directions, the floating-point path
// for every other layout, and the update of a player's frame image.
#include <algorithm>

#include "movie/theora.h"
#include "movie/yuv_vector.h"
#include "platform/thread.h"

uint8_t YuvClampTable[1280];
int32_t VToRedTable[256];
int32_t UToGreenTable[256];
int32_t VToGreenTable[256];
int32_t UToBlueTable[256];
int32_t YToLumaTable[256];

int InitYuvToRgbTables() {
  for (int i = -512; i < 768; ++i) YuvClampTable[i + 512] = uint8_t(i < 0 ? 0 : i > 255 ? 255 : i);
  // 14-bit fixed point: 1.596, 0.391, 0.813, 2.018 and 1.164 times 16384,
  // truncated. The green factors are stored negated so the converter only adds.
  for (int k = 0; k < 256; ++k) {
    VToRedTable[k] = (k - 128) * 26148;
    UToGreenTable[k] = (128 - k) * 6406;
    VToGreenTable[k] = (128 - k) * 13320;
    UToBlueTable[k] = (k - 128) * 33062;
    YToLumaTable[k] = (k - 16) * 19070;
  }
  return 0;
}

namespace {
inline uint32_t PackPixel(int r, int g, int b) {
  return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

inline uint32_t FixedPixel(const uint8_t* clamp, int32_t luma, int32_t cR, int32_t cG, int32_t cB) {
  return PackPixel(clamp[(luma + cR) / 16384], clamp[(luma + cG) / 16384], clamp[(luma + cB) / 16384]);
}

inline int ClampByte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
}  // namespace

YuvFixedLoop WidestYuvFixedLoop() {
#ifdef __SSE2__
  static const YuvFixedLoop widest = __builtin_cpu_supports("avx512bw") ? YUV_LOOP_AVX512
                                     : __builtin_cpu_supports("avx2")   ? YUV_LOOP_AVX2
                                                                        : YUV_LOOP_SSE2;
  return widest;
#else
  return YUV_LOOP_SCALAR;
#endif
}

void ConvertYuvFixedWith(YuvFixedLoop loop, const TheoraFrameSlot* slot, uint8_t* dest, int pitch, int width,
                         int height) {
  loop = std::min(loop, WidestYuvFixedLoop());
  const uint8_t* clamp = YuvClamp();
  const int blocksX = std::min(slot->YWidth, width) / 2;
  const int blocksY = std::min(slot->YHeight, height) / 2;
  for (int by = 0; by < blocksY; ++by) {
    const uint8_t* y0 = slot->PlaneY + ptrdiff_t(2 * by) * slot->YStride;
    const uint8_t* y1 = y0 + slot->YStride;
    const uint8_t* u = slot->PlaneU + ptrdiff_t(by) * slot->UVStride;
    const uint8_t* v = slot->PlaneV + ptrdiff_t(by) * slot->UVStride;
    uint32_t* d0 = reinterpret_cast<uint32_t*>(dest + ptrdiff_t(2 * by) * pitch);
    uint32_t* d1 = reinterpret_cast<uint32_t*>(dest + ptrdiff_t(2 * by + 1) * pitch);
    // The widest loop takes what it can, the next one the rest of its
    // steps, and the table-driven loop the last few blocks.
    int bx = 0;
    const auto from = [&](int b) {
      return YuvBlockRow{y0 + 2 * b, y1 + 2 * b, u + b, v + b, d0 + 2 * b, d1 + 2 * b};
    };
    if (loop >= YUV_LOOP_AVX512) bx += ConvertYuvBlocksAvx512(from(bx), blocksX - bx);
    if (loop >= YUV_LOOP_AVX2) bx += ConvertYuvBlocksAvx2(from(bx), blocksX - bx);
    if (loop >= YUV_LOOP_SSE2) bx += ConvertYuvBlocksSse2(from(bx), blocksX - bx);
    for (; bx < blocksX; ++bx) {
      const int32_t cR = VToRedTable[v[bx]];
      const int32_t cG = UToGreenTable[u[bx]] + VToGreenTable[v[bx]];
      const int32_t cB = UToBlueTable[u[bx]];
      d0[2 * bx] = FixedPixel(clamp, YToLumaTable[y0[2 * bx]], cR, cG, cB);
      d0[2 * bx + 1] = FixedPixel(clamp, YToLumaTable[y0[2 * bx + 1]], cR, cG, cB);
      d1[2 * bx] = FixedPixel(clamp, YToLumaTable[y1[2 * bx]], cR, cG, cB);
      d1[2 * bx + 1] = FixedPixel(clamp, YToLumaTable[y1[2 * bx + 1]], cR, cG, cB);
    }
  }
}

void ConvertYuvFixed(const TheoraFrameSlot* slot, uint8_t* dest, int pitch, int width, int height) {
  ConvertYuvFixedWith(WidestYuvFixedLoop(), slot, dest, pitch, width, height);
}

void ConvertYuvFloat(const TheoraFrameSlot* slot, uint8_t* dest, int pitch, int width, int height) {
  // Chroma is read at (c >> xshift, r >> yshift): half size in a direction
  // where the chroma plane is smaller than the luma plane, full size where not.
  const int xshift = slot->UVWidth < slot->YWidth ? 1 : 0;
  const int yshift = slot->UVHeight < slot->YHeight ? 1 : 0;
  const int w = std::min({slot->YWidth, width, slot->UVWidth << xshift});
  const int h = std::min({slot->YHeight, height, slot->UVHeight << yshift});
  for (int r = 0; r < h; ++r) {
    const uint8_t* yRow = slot->PlaneY + ptrdiff_t(r) * slot->YStride;
    const uint8_t* uRow = slot->PlaneU + ptrdiff_t(r >> yshift) * slot->UVStride;
    const uint8_t* vRow = slot->PlaneV + ptrdiff_t(r >> yshift) * slot->UVStride;
    uint32_t* d = reinterpret_cast<uint32_t*>(dest + ptrdiff_t(r) * pitch);
    for (int c = 0; c < w; ++c) {
      const float yf = float(yRow[c] - 16) * 1.164f;
      const int u = uRow[c >> xshift] - 128;
      const int v = vRow[c >> xshift] - 128;
      const float red = float(v) * 1.596f + yf;
      const float green = yf - float(u) * 0.391f - float(v) * 0.813f;
      const float blue = float(u) * 2.018f + yf;
      d[c] = PackPixel(ClampByte(int(red)), ClampByte(int(green)), ClampByte(int(blue)));
    }
  }
}

void CreateTheoraOverlaySurface(TheoraPlayer* player) {
  // Software drawing has no DirectDraw object, so no YUV surface is ever made;
  // the frame reaches the screen through Image alone.
  player->Overlay = nullptr;
  player->OverlayFourCC = 0;
}

int UpdateTheoraMovieImage(TheoraPlayer* player, int updateImage, int updateOverlay) {
  const bool wantOverlay = updateOverlay != 0 && player->OverlayCurrent == 0 && player->Overlay != nullptr;
  const bool wantImage = updateImage != 0 && player->ImageCurrent == 0;
  if (!wantOverlay && !wantImage) return 0;

  const int32_t current = player->CurrentFrame.load();
  const TheoraFrameSlot* found = nullptr;
  for (;;) {
    // While a seek is posted or under way the stock is about to be emptied:
    // no slot is read until the thread has cleared the request.
    const int32_t state = player->ThreadState.load();
    if (state == THEORA_THREAD_ENDED) return 0;
    if (player->SeekRequest.load() == 1 ||
        (state != THEORA_THREAD_IDLE && state != THEORA_THREAD_DECODING && state != THEORA_THREAD_PAUSED)) {
      PlatThreadSleep(1);
      continue;
    }
    for (int i = 0; i < player->StockSize; ++i) {
      const TheoraFrameSlot& slot = player->Stock[i];
      if (slot.Used.load(std::memory_order_acquire) == 1 &&
          slot.Frame.load(std::memory_order_acquire) == current) {
        found = &slot;
        break;
      }
    }
    if (found) break;
    if (player->EndOfStream.load() == 1) return 0;
    PlatThreadSleep(0);
  }

  // No YUV surface exists in software drawing, so only the image is filled.
  // A frame that repeats the picture the image was converted from (a still,
  // a title card, a pause in the action) costs no conversion.
  const bool imageHoldsIt = found->Picture != 0 && found->Picture == player->ImagePicture;
  if (wantImage && player->Image.Pixels != nullptr && !imageHoldsIt) {
    player->ImagePicture = found->Picture;
    if (found->YWidth == 2 * found->UVWidth && found->YHeight == 2 * found->UVHeight) {
      ConvertYuvFixed(found, player->Image.Pixels, player->Image.Pitch, player->Image.Width,
                      player->Image.Height);
    } else {
      ConvertYuvFloat(found, player->Image.Pixels, player->Image.Pitch, player->Image.Width,
                      player->Image.Height);
    }
  }
  if (wantImage) player->ImageCurrent = 1;
  return 1;
}
