// The LZ decoder of the archive format.
//
// Code stream: a byte other than the escape E is a literal; E E is the
// literal E; E c (c != E) is a match. Codes above E are one higher than their
// value, closing the gap E leaves. Value c: length (c >> 3) + 4, or with bit 2
// set ((c >> 3) | (x << 5)) + 4 with one more byte x; distance by the two low
// bits: 0 one byte, 1 two bytes, 2 three bytes, 3 the previous match's
// distance plus one. A match copies from distance + 1 bytes back.
#include <cstring>

#include "core/byteorder.h"
#include "file/vlkformat.h"

namespace {

// Copies a match of length bytes from back bytes behind out; the source may
// overlap what it produces, which repeats the pattern. Whole periods are
// copied in blocks, the period doubling each time.
inline void CopyMatch(uint8_t* out, size_t back, size_t length) {
  const uint8_t* from = out - back;
  if (back >= length) {
    std::memcpy(out, from, length);
    return;
  }
  if (back == 1) {
    std::memset(out, *from, length);
    return;
  }
  while (length > back) {
    std::memcpy(out, from, back);
    out += back;
    length -= back;
    back *= 2;
  }
  std::memcpy(out, from, length);
}

}  // namespace

uint64_t ArchiveLzMaxDecodedSize(uint64_t blockSize) {
  // The cheapest long match is three code bytes (E, c, x) for 8,195 bytes.
  if (blockSize <= ARCHIVE_LZ_HEADER_SIZE) return 0;
  return (blockSize - ARCHIVE_LZ_HEADER_SIZE) * 2732 + 8195;
}

int64_t DecodeArchiveLz(const uint8_t* block, size_t blockSize, uint8_t* output, size_t outputSize) {
  if (block == nullptr || blockSize < ARCHIVE_LZ_HEADER_SIZE) return -1;
  const uint32_t decodedSize = LoadLe32(block);
  const uint32_t encodedSize = LoadLe32(block + 4);
  const uint8_t escape = block[8];
  if (encodedSize != blockSize) return -1;
  if (decodedSize > ArchiveLzMaxDecodedSize(blockSize)) return -1;
  if (output == nullptr) return decodedSize;
  if (decodedSize > outputSize) return -1;

  const uint8_t* in = block + ARCHIVE_LZ_HEADER_SIZE;
  const uint8_t* const inEnd = block + blockSize;
  uint8_t* out = output;
  uint8_t* const outStart = output;
  uint8_t* const outEnd = output + decodedSize;
  int64_t previousDistance = -1;  // none before the first match

  while (in < inEnd) {
    if (*in != escape) {
      // A run of literals up to the next escape byte.
      size_t room = static_cast<size_t>(inEnd - in);
      const void* next = std::memchr(in, escape, room);
      size_t run = next == nullptr ? room : static_cast<size_t>(static_cast<const uint8_t*>(next) - in);
      if (run > static_cast<size_t>(outEnd - out)) return -1;
      std::memcpy(out, in, run);
      out += run;
      in += run;
      continue;
    }
    if (inEnd - in < 2) return -1;
    unsigned c = in[1];
    in += 2;
    if (c == escape) {
      if (out == outEnd) return -1;
      *out++ = escape;
      continue;
    }
    if (c > escape) --c;
    size_t length = (c >> 3) + 4;
    if (c & 4) {
      if (in == inEnd) return -1;
      length = ((c >> 3) | (static_cast<size_t>(*in++) << 5)) + 4;
    }
    int64_t distance;
    switch (c & 3) {
      case 0:
        if (inEnd - in < 1) return -1;
        distance = in[0];
        in += 1;
        break;
      case 1:
        if (inEnd - in < 2) return -1;
        distance = in[0] | in[1] << 8;
        in += 2;
        break;
      case 2:
        if (inEnd - in < 3) return -1;
        distance = in[0] | in[1] << 8 | in[2] << 16;
        in += 3;
        break;
      default:
        if (previousDistance < 0) return -1;
        distance = previousDistance + 1;
        break;
    }
    const size_t back = static_cast<size_t>(distance) + 1;
    if (back > static_cast<size_t>(out - outStart)) return -1;
    if (length > static_cast<size_t>(outEnd - out)) return -1;
    CopyMatch(out, back, length);
    out += length;
    previousDistance = distance;
  }
  if (out != outEnd) return -1;
  return decodedSize;
}
