// The LZ encoder of the archive format (the archive writer's half of
// DecodeArchiveLz).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Encodes size bytes into a whole LZ block (header included). The escape byte
// is the least frequent byte of the data.
std::vector<uint8_t> EncodeArchiveLz(const uint8_t* data, size_t size);
// The same with the escape byte given (tests use it to force escapes).
std::vector<uint8_t> EncodeArchiveLzWithEscape(const uint8_t* data, size_t size, uint8_t escape);
