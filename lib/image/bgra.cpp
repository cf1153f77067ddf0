// The library's raw image format: "BGRA", a channel-bits word, width and
// height, then rows of blue, green, red, alpha with 8 or 16 bits a channel.
#include "image/imagedecode.h"

#include <cstring>

#include "core/alloc.h"
#include "image/decoder_io.h"

namespace {
constexpr uint32_t kBgraBits8 = 0x08080808u;
constexpr uint32_t kBgraBits16 = 0x10101010u;
}  // namespace

int LoadBgraImage(StreamData* stream, PixelImage* out) {
  uint8_t header[16];
  if (!DecoderReadExact(stream, header, sizeof header)) return -1;
  if (std::memcmp(header, "BGRA", 4) != 0) return -1;
  uint32_t bits = LoadLe32(header + 4);
  if (bits != kBgraBits8 && bits != kBgraBits16) return -1;
  uint64_t width = LoadLe32(header + 8);
  uint64_t height = LoadLe32(header + 12);
  if (width == 0 || height == 0) return -1;  // an empty image is no image
  uint64_t pixelBytes = width * height * 4;  // both below 2^32: no wrap in 64 bits
  uint64_t sampleBytes = bits == kBgraBits8 ? 4 : 8;
  // Every row must be in the file, and the image within the limits.
  int64_t left = DecoderBytesLeft(stream);
  if (left < 0 || width * height * sampleBytes > uint64_t(left)) return -1;
  if (!ImageWithinLimits(width, height, width * 4)) return -1;

  uint8_t* pixels = static_cast<uint8_t*>(TrackedAlloc(size_t(pixelBytes), "", 0));
  if (!pixels) return -1;
  if (bits == kBgraBits8) {
    if (!DecoderReadExact(stream, pixels, size_t(pixelBytes))) {
      TrackedFree(pixels);
      return -1;
    }
  } else {
    uint8_t* row = static_cast<uint8_t*>(TrackedAlloc(size_t(width * 8), "", 0));
    if (!row) {
      TrackedFree(pixels);
      return -1;
    }
    for (uint64_t y = 0; y < height; ++y) {
      if (!DecoderReadExact(stream, row, size_t(width * 8))) {
        TrackedFree(row);
        TrackedFree(pixels);
        return -1;
      }
      uint8_t* dest = pixels + y * width * 4;
      for (uint64_t x = 0; x < width; ++x) {
        // Keep the high byte of each little-endian 16-bit channel.
        for (int c = 0; c < 4; ++c) dest[x * 4 + c] = row[x * 8 + c * 2 + 1];
      }
    }
    TrackedFree(row);
  }
  DecoderSetARGB8Image(out, int(width), int(height), pixels);
  return 0;
}
