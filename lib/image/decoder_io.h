// Reading helpers shared by the image decoders: exact reads that report a
// short read as a failure, and the bytes left in a stream.
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

// The largest decoded image a decoder accepts, in bytes.
constexpr uint64_t DECODER_MAX_IMAGE_BYTES = 1ull << 30;
