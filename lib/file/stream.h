// Streams: the six operations every image, sound and movie decoder reads
// through, and the read-only memory stream over a caller's block.
#pragma once
#include <cstddef>
#include <cstdint>

// The data handle of a stream: a FileHandle or a MemoryStream address.
using StreamHandle = uintptr_t;

// Six operation slots, in this order.
struct StreamFunctions {
  // Position in bytes; -1 for a handle that names no open stream.
  int64_t (*Tell)(StreamHandle handle);
  // origin 0 from the start, 1 from the position, 2 from the end. 0 or -1.
  int (*Seek)(StreamHandle handle, int64_t offset, int origin);
  // Reads whole elements (see the operations for the last partial element);
  // returns the number of elements.
  size_t (*Read)(void* buffer, size_t elementSize, size_t count, StreamHandle handle);
  // Non-zero at the end (file streams give -1, memory streams 1).
  int (*Eof)(StreamHandle handle);
  // 1 when no read is pending, else 0.
  int (*IsIdle)(StreamHandle handle);
  // 0.
  int (*Close)(StreamHandle handle);
};

// A plain value pairing the operations with their data handle; its owner
// closes the stream through its own Close slot.
struct StreamData {
  StreamFunctions Functions;
  StreamHandle DataHandle;
};

// Read-only view of a caller's block; the block must outlive the stream.
struct MemoryStream {
  const uint8_t* Data;  // not owned, never copied
  size_t Size;          // bytes in the block
  size_t Position;      // next byte to read, 0..Size
  uint32_t EofFlag;     // 1 after a read found nothing left
};

// The two stream tables: over file handles (the file-access table) and over
// memory streams. Both are filled statically and again at start-up.
StreamFunctions* GetFileStreamFunctions();
StreamFunctions* GetMemoryStreamFunctions();
// Fills both tables (library start-up); returns 0.
int InitStreamFunctionTables();

// Allocates a stream over (data, size) from the tracked allocator; null on
// failure (or when data is null and size is not 0).
MemoryStream* OpenMemoryStream(const void* data, size_t size);
// Frees the record only, never the data. 0.
int CloseMemoryStream(StreamHandle stream);
int64_t MemoryStreamTell(StreamHandle stream);
// Clamps the target to 0..size and clears the eof flag; 0 (-1 for null).
int MemoryStreamSeek(StreamHandle stream, int64_t offset, int origin);
// Whole elements; when less than one element but more than nothing is left,
// the remaining bytes are copied and 1 is returned.
size_t MemoryStreamRead(void* buffer, size_t elementSize, size_t count, StreamHandle stream);
// The eof flag itself: 1 at the end, else 0.
int MemoryStreamEof(StreamHandle stream);
// Always 1: a memory stream never has a pending read.
int MemoryStreamIsIdle(StreamHandle stream);

// Convenience for callers: a StreamData over a file handle / a memory stream.
StreamData MakeFileStreamData(uint32_t fileHandle);
StreamData MakeMemoryStreamData(MemoryStream* stream);
