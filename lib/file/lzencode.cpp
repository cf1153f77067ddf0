// The LZ encoder of the archive format: greedy matching over hash chains
// with a one-step lazy check, taking a match only where it saves bytes.
#include "file/lzencode.h"

#include <algorithm>
#include <cstring>

#include "file/vlkformat.h"

namespace {

constexpr size_t kMinMatch = 4;
constexpr size_t kMaxMatch = 8195;
constexpr size_t kShortMaxMatch = 35;        // length without the extra byte
constexpr uint32_t kMaxDistance = 0xFFFFFF;  // three distance bytes
constexpr int kHashBits = 16;
constexpr int kMaxChain = 48;
constexpr uint32_t kNone = 0xFFFFFFFFu;

uint32_t Hash4(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return (v * 2654435761u) >> (32 - kHashBits);
}

size_t DistanceBytes(uint32_t distance) { return distance <= 0xFF ? 1 : distance <= 0xFFFF ? 2 : 3; }

struct Encoder {
  const uint8_t* Data;
  size_t Size;
  uint8_t Escape;
  std::vector<uint32_t> Head;
  std::vector<uint32_t> Prev;
  std::vector<uint8_t>* Out;
  int64_t PreviousDistance = -1;

  void Insert(size_t pos) {
    if (pos + kMinMatch > Size) return;
    uint32_t h = Hash4(Data + pos);
    Prev[pos] = Head[h];
    Head[h] = static_cast<uint32_t>(pos);
  }

  // Bytes the match costs in the code stream.
  size_t MatchCost(size_t length, uint32_t distance) const {
    size_t cost = 2 + (length > kShortMaxMatch ? 1 : 0);
    if (PreviousDistance >= 0 && distance == PreviousDistance + 1 && !Needs255(length)) return cost;
    return cost + DistanceBytes(distance);
  }
  // The one value the code byte cannot carry: long form, low length bits 31,
  // distance code 3 would make 255, which the escape gap pushes to 256.
  static bool Needs255(size_t length) { return length > kShortMaxMatch && ((length - 4) & 31) == 31; }

  void Longest(size_t pos, size_t* bestLength, uint32_t* bestDistance) const {
    *bestLength = 0;
    *bestDistance = 0;
    if (pos + kMinMatch > Size) return;
    const size_t limit = std::min(kMaxMatch, Size - pos);
    uint32_t candidate = Head[Hash4(Data + pos)];
    for (int chain = 0; chain < kMaxChain && candidate != kNone; ++chain) {
      size_t back = pos - candidate;
      if (back - 1 > kMaxDistance) break;
      const uint8_t* a = Data + candidate;
      const uint8_t* b = Data + pos;
      if (a[*bestLength] == b[*bestLength] || *bestLength == 0) {
        size_t n = 0;
        while (n < limit && a[n] == b[n]) ++n;
        if (n >= kMinMatch && n > *bestLength) {
          *bestLength = n;
          *bestDistance = static_cast<uint32_t>(back - 1);
          if (n == limit) break;
        }
      }
      candidate = Prev[candidate];
    }
  }

  void EmitLiteral(uint8_t b) {
    Out->push_back(b);
    if (b == Escape) Out->push_back(Escape);
  }

  void EmitMatch(size_t length, uint32_t distance) {
    size_t lengthCode = length - 4;
    bool useRepeat = PreviousDistance >= 0 && distance == PreviousDistance + 1 && !Needs255(length);
    unsigned distanceCode = useRepeat ? 3 : static_cast<unsigned>(DistanceBytes(distance) - 1);
    unsigned value;
    bool extra = length > kShortMaxMatch;
    if (!extra) {
      value = static_cast<unsigned>(lengthCode << 3) | distanceCode;
    } else {
      value = static_cast<unsigned>((lengthCode & 31) << 3) | 4u | distanceCode;
    }
    // Values at or above the escape are stored one higher.
    unsigned code = value < Escape ? value : value + 1;
    Out->push_back(Escape);
    Out->push_back(static_cast<uint8_t>(code));
    if (extra) Out->push_back(static_cast<uint8_t>(lengthCode >> 5));
    if (!useRepeat) {
      for (unsigned i = 0; i <= distanceCode; ++i) Out->push_back(static_cast<uint8_t>(distance >> (8 * i)));
    }
    PreviousDistance = distance;
  }

  void Run() {
    Head.assign(size_t{1} << kHashBits, kNone);
    Prev.assign(Size, kNone);
    size_t pos = 0;
    while (pos < Size) {
      size_t length;
      uint32_t distance;
      Longest(pos, &length, &distance);
      if (length >= kMinMatch && MatchCost(length, distance) < length) {
        // One-step lazy check: a longer match one byte on wins.
        Insert(pos);
        size_t nextLength;
        uint32_t nextDistance;
        Longest(pos + 1, &nextLength, &nextDistance);
        if (nextLength > length + 1 && MatchCost(nextLength, nextDistance) < nextLength) {
          EmitLiteral(Data[pos]);
          ++pos;
          length = nextLength;
          distance = nextDistance;
        } else {
          // pos is already inserted.
          EmitMatch(length, distance);
          for (size_t i = 1; i < length; ++i) Insert(pos + i);
          pos += length;
          continue;
        }
        EmitMatch(length, distance);
        for (size_t i = 0; i < length; ++i) Insert(pos + i);
        pos += length;
        continue;
      }
      EmitLiteral(Data[pos]);
      Insert(pos);
      ++pos;
    }
  }
};

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeArchiveLzWithEscape(const uint8_t* data, size_t size, uint8_t escape) {
  std::vector<uint8_t> out(ARCHIVE_LZ_HEADER_SIZE);
  out.reserve(ARCHIVE_LZ_HEADER_SIZE + size + size / 64 + 16);
  Encoder encoder{data, size, escape, {}, {}, &out};
  if (size > 0) encoder.Run();
  PutU32(out.data(), static_cast<uint32_t>(size));
  PutU32(out.data() + 4, static_cast<uint32_t>(out.size()));
  out[8] = escape;
  return out;
}

std::vector<uint8_t> EncodeArchiveLz(const uint8_t* data, size_t size) {
  size_t counts[256] = {};
  for (size_t i = 0; i < size; ++i) ++counts[data[i]];
  uint8_t escape = 0;
  for (int b = 1; b < 256; ++b)
    if (counts[b] < counts[escape]) escape = static_cast<uint8_t>(b);
  return EncodeArchiveLzWithEscape(data, size, escape);
}
