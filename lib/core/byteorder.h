// Little-endian numbers in byte buffers (file headers, chunk sizes, archive
// blocks): read byte by byte, so they work at any alignment.
#pragma once
#include <cstdint>

inline uint16_t LoadLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
