// Helpers shared by the image decoders: exact reads that report a short read
// as a failure, the bytes left in a stream, the size limits of every image,
// and handing the decoded pixels to the caller's record.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/byteorder.h"
#include "file/stream.h"

#include "image/imagedecode.h"

// Reads exactly `size` bytes; false on a short read.
inline bool DecoderReadExact(StreamData* stream, void* buffer, size_t size) {
  return StreamReadExact(stream, buffer, size) == 0;
}

// Bytes from the current position to the end (position restored); -1 when
// the stream cannot tell or seek.
inline int64_t DecoderBytesLeft(StreamData* stream) {
  int64_t here = stream->Functions.Tell(stream->DataHandle);
  if (here < 0) return -1;
  if (stream->Functions.Seek(stream->DataHandle, 0, 2) != 0) return -1;
  int64_t end = stream->Functions.Tell(stream->DataHandle);
  if (stream->Functions.Seek(stream->DataHandle, here, 0) != 0) return -1;
  if (end < here) return -1;
  return end - here;
}

// The size limits of images: the pixel bytes (rows with their padding) of
// every image the library decodes or makes in memory, and each side of a
// decoded one. Within them no width x 4 or pitch x height product overflows
// an int, and a damaged header cannot ask for absurd memory. (The library's
// own images, such as a movie's frame, may be wider than any decoded one.)
constexpr uint64_t IMAGE_MAX_SIDE = uint64_t{1} << 16;
constexpr uint64_t IMAGE_MAX_BYTES = uint64_t{1} << 30;

// Whether `height` rows of rowBytes each stay within the byte limit (a
// height below 2^32, as every caller's is, so the product cannot wrap).
constexpr bool ImageBytesWithinLimit(uint64_t rowBytes, uint64_t height) {
  return height == 0 || (rowBytes <= IMAGE_MAX_BYTES && rowBytes * height <= IMAGE_MAX_BYTES);
}

// Whether a decoded image of width x height pixels whose rows take rowBytes
// each is within the limits. Sides of 0 pass: a decoder refuses an empty
// image itself.
constexpr bool ImageWithinLimits(uint64_t width, uint64_t height, uint64_t rowBytes) {
  return width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE && ImageBytesWithinLimit(rowBytes, height);
}

// Hands the decoded pixels to `out`, which owns them from here on; the
// caller writes the format.
inline void DecoderSetImage(PixelImage* out, int width, int height, int pitch, uint8_t* pixels) {
  out->Width = width;
  out->Height = height;
  out->Pitch = pitch;
  out->Pixels = pixels;
}

// A 32-bit ARGB8 image with unpadded rows.
inline void DecoderSetARGB8Image(PixelImage* out, int width, int height, uint8_t* pixels) {
  SetARGB8ColorFormat(&out->Format);
  DecoderSetImage(out, width, height, width * 4, pixels);
}
