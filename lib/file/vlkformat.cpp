// Search names, the archive key and the descrambler of the archive format.
#include "file/vlkformat.h"

#include <cstring>

#include "file/fullpath.h"

namespace {

// Constants of the key transform; the writer and the reader share them.
constexpr uint8_t kKeyDefault = 0xA7;
constexpr uint8_t kKeyFallback = 0x5B;
constexpr uint8_t kKeyXor2 = 0x3C;
constexpr uint8_t kKeyXor5 = 0x96;
constexpr uint8_t kKeyXor9 = 0xE1;
constexpr uint8_t kKeyXor10 = 0x72;
constexpr uint8_t kKeyXor11 = 0x4D;

constexpr uint8_t RotL(uint8_t v, int n) { return static_cast<uint8_t>((v << n) | (v >> (8 - n))); }

// Bytes per pass of the descrambler: a multiple of the key length that the
// compiler can run in whole vector registers.
constexpr size_t kXorBlock = 96;

}  // namespace

int MakeArchiveSearchName(const char* text, ArchiveSearchName* out) {
  size_t length = 0;
  uint32_t sum = 0;
  const char* p = text;
  while (*p != '\0' && *p != '\\') {
    unsigned char c = static_cast<unsigned char>(*p);
    int take = IsShiftJisLead(c) && p[1] != '\0' ? 2 : 1;
    // U = (L + 4) / 4 units of 4 bytes must fit the name buffer.
    if (length + take + 4 > ARCHIVE_SEARCH_NAME_MAX + 3) return -1;
    for (int i = 0; i < take; ++i) {
      unsigned char b = static_cast<unsigned char>(p[i]);
      if (take == 1 && b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
      out->Name[length++] = b;
      sum += b;
    }
    p += take;
  }
  size_t units = (length + 4) / 4;
  if (units * 4 > ARCHIVE_SEARCH_NAME_MAX) return -1;
  std::memset(out->Name + length, 0, units * 4 - length);
  out->CheckSum = static_cast<uint16_t>(sum);
  out->UnitCount = static_cast<uint16_t>(units);
  return static_cast<int>(p - text);
}

void MakeArchiveKey(ArchiveKey* key) {
  const uint8_t d = kKeyDefault;
  uint8_t* k = key->Bytes;
  k[0] = static_cast<uint8_t>(~d);
  k[1] = RotL(d, 4);
  k[2] = d ^ kKeyXor2;
  k[3] = static_cast<uint8_t>(~RotL(d, 4));
  k[4] = static_cast<uint8_t>(~d);
  k[5] = d ^ kKeyXor5;
  k[6] = static_cast<uint8_t>(~d);
  k[7] = static_cast<uint8_t>(~RotL(d, 5));
  k[8] = RotL(d, 3);
  k[9] = d ^ kKeyXor9;
  k[10] = RotL(d, 4) ^ kKeyXor10;
  k[11] = d ^ kKeyXor11;
}

void MakeArchiveFallbackKey(ArchiveKey* key) { std::memset(key->Bytes, kKeyFallback, ARCHIVE_KEY_SIZE); }

void ArchiveKeyXor(size_t size, void* buffer, uint64_t filePosition, const ArchiveKey* key) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  size_t index = static_cast<size_t>(filePosition % ARCHIVE_KEY_SIZE);
  // Byte by byte until the key index wraps to 0.
  while (size > 0 && index != 0) {
    *p++ ^= key->Bytes[index];
    index = index + 1 == ARCHIVE_KEY_SIZE ? 0 : index + 1;
    --size;
  }
  if (size >= kXorBlock) {
    uint8_t pattern[kXorBlock];
    for (size_t i = 0; i < kXorBlock; ++i) pattern[i] = key->Bytes[i % ARCHIVE_KEY_SIZE];
    while (size >= kXorBlock) {
      for (size_t i = 0; i < kXorBlock; ++i) p[i] ^= pattern[i];
      p += kXorBlock;
      size -= kXorBlock;
    }
  }
  for (size_t i = 0; i < size; ++i) p[i] ^= key->Bytes[i % ARCHIVE_KEY_SIZE];
}
