// PNG files through libpng: the file is read through the library's stream and
// decoded to 8-bit palette, 8-bit grey, 16-bit grey (second byte ignored),
// 24-bit BGR or 32-bit BGRA pixels.
#include "image/png.h"

#include <png.h>

#include <cstring>

#include "core/alloc.h"
#include "file/stream.h"
#include "image/decoder_io.h"
#include "image/imagedecode.h"

namespace {

// libpng is told the side limit of every image, and a limit of its own for
// one chunk, so a damaged header cannot ask for absurd memory.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

// libpng reports through these; the decoder says nothing itself, it returns -1.
[[noreturn]] void PngErrorExit(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarningIgnored(png_structp, png_const_charp) {}

// Reads `length` bytes; anything less is an error inside libpng.
void PngStreamRead(png_structp png, png_bytep buffer, png_size_t length) {
  auto* state = static_cast<PngStreamState*>(png_get_io_ptr(png));
  StreamData* stream = state->Stream;
  int64_t position = stream->Functions.Tell(stream->DataHandle);
  if (position < 0 || state->Size - position < static_cast<int64_t>(length)) png_error(png, "Read Error");
  if (StreamReadExact(stream, buffer, length) != 0) png_error(png, "Read Error");
}

int SetPngStreamRead(png_structp png, PngStreamState* state, StreamData* stream) {
  state->Stream = stream;
  int64_t start = stream->Functions.Tell(stream->DataHandle);
  stream->Functions.Seek(stream->DataHandle, 0, 2);
  int64_t end = stream->Functions.Tell(stream->DataHandle);
  stream->Functions.Seek(stream->DataHandle, start, 0);
  state->Size = start < 0 || end < start ? 0 : end;
  png_set_read_fn(png, state, PngStreamRead);
  return 0;
}

// Fills the format of the decoded image; -1 when the row size does not match
// the layout (a guard against libpng and this code disagreeing).
int FillFormat(png_structp png, png_infop info, int colorType, bool expanded, size_t rowBytes, uint32_t width,
               PixelImage* out) {
  ColorFormat& f = out->Format;
  const int channels = png_get_channels(png, info);
  const uint64_t w = width;
  if (colorType == PNG_COLOR_TYPE_PALETTE && !expanded) {
    if (rowBytes < w) return -1;
    SetPaletteColorFormat(&f);
    std::memset(f.Palette, 0, sizeof(f.Palette));
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0 && palette != nullptr) {
      for (int i = 0; i < count && i < 256; i++)
        f.Palette[i] = PaletteEntry{palette[i].blue, palette[i].green, palette[i].red, 0};
    }
    return 0;
  }
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (rowBytes / 2 >= w) {
      // The grey byte feeds all three colours; the second byte (alpha) is ignored.
      f.BitDepth = 16;
      f.BytesPerPixel = 2;
      f.RedWidth = f.GreenWidth = f.BlueWidth = 8;
      f.AlphaWidth = 0;
      f.RedShift = f.GreenShift = f.BlueShift = f.AlphaShift = 0;
      f.RedMask = f.GreenMask = f.BlueMask = 0xFF;
      f.AlphaMask = 0;
      f.UnusedMask = 0xFF00;
      f.FormatCode = 0;
      return 0;
    }
    if (rowBytes < w) return -1;
    SetGrayPaletteColorFormat(&f);
    return 0;
  }
  SetRGB24ColorFormat(&f);
  if (channels == 4) {
    if (rowBytes < 4 * w) return -1;
    SetARGB8ColorFormat(&f);
    return 0;
  }
  return rowBytes < 3 * w ? -1 : 0;
}

}  // namespace

int LoadPngImage(StreamData* stream, PixelImage* out) {
  if (stream == nullptr || out == nullptr) return -1;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorExit, PngWarningIgnored);
  if (png == nullptr) return -1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return -1;
  }
  // Written after the recovery point and freed when libpng unwinds to it.
  png_bytep* volatile rows = nullptr;
  uint8_t* volatile pixels = nullptr;
  PngStreamState state{};
  if (setjmp(png_jmpbuf(png))) {
    TrackedFree(rows);
    TrackedFree(pixels);
    png_destroy_read_struct(&png, &info, nullptr);
    return -1;
  }

  png_set_user_limits(png, png_uint_32{IMAGE_MAX_SIDE}, png_uint_32{IMAGE_MAX_SIDE});
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  SetPngStreamRead(png, &state, stream);
  png_set_sig_bytes(png, 0);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

  png_set_strip_16(png);
  png_set_packing(png);
  png_set_packswap(png);
  bool expanded = false;
  if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
    png_set_expand(png);
    expanded = true;
  }
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const size_t rowBytes = png_get_rowbytes(png, info);
  if (width == 0 || height == 0 || rowBytes == 0 || !ImageWithinLimits(width, height, rowBytes))
    png_error(png, "size");
  rows = static_cast<png_bytep*>(TrackedAlloc(sizeof(png_bytep) * height, "", 0));
  if (rows == nullptr) png_error(png, "memory");
  pixels = static_cast<uint8_t*>(TrackedAlloc(rowBytes * height, "", 0));
  if (pixels == nullptr) png_error(png, "memory");
  for (png_uint_32 y = 0; y < height; y++) rows[y] = pixels + size_t{y} * rowBytes;
  png_read_image(png, rows);
  png_read_end(png, nullptr);

  if (FillFormat(png, info, colorType, expanded, rowBytes, width, out) != 0) png_error(png, "layout");
  TrackedFree(rows);
  rows = nullptr;
  DecoderSetImage(out, static_cast<int>(width), static_cast<int>(height), static_cast<int>(rowBytes), pixels);
  png_destroy_read_struct(&png, &info, nullptr);
  return 0;
}
