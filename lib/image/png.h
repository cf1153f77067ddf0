// PNG decoding through libpng over the library's streams (internal pieces
// exposed for tests; the decoder itself is LoadPngImage in imagedecode.h).
#pragma once
#include <cstdint>

struct StreamData;

// The decoder's view of its stream for one decode.
struct PngStreamState {
  StreamData* Stream;
  int64_t Size;  // length from the position at which decoding started to the end
};
