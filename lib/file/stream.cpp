// The two stream tables and the memory stream.
#include "file/stream.h"

#include <cstring>

#include "core/alloc.h"
#include "file/fileaccess.h"

namespace {

// File handles are 32-bit; a wider value names no open file.
bool ToFileHandle(StreamHandle handle, FileHandle* out) {
  if (handle > 0xFFFFFFFFu) return false;
  *out = static_cast<FileHandle>(handle);
  return true;
}

int64_t FileStreamTell(StreamHandle h) {
  FileHandle f;
  return ToFileHandle(h, &f) ? FileTellDispatch(f) : -1;
}
int FileStreamSeek(StreamHandle h, int64_t offset, int origin) {
  FileHandle f;
  return ToFileHandle(h, &f) ? FileSeekDispatch(f, offset, origin) : -1;
}
size_t FileStreamRead(void* buffer, size_t elementSize, size_t count, StreamHandle h) {
  FileHandle f;
  return ToFileHandle(h, &f) ? FileReadDispatch(buffer, elementSize, count, f) : 0;
}
int FileStreamEof(StreamHandle h) {
  FileHandle f;
  return ToFileHandle(h, &f) ? FileEofDispatch(f) : -1;
}
int FileStreamIsIdle(StreamHandle h) {
  FileHandle f;
  return ToFileHandle(h, &f) ? FileIdleDispatch(f) : -1;
}
int FileStreamClose(StreamHandle h) {
  FileHandle f;
  return ToFileHandle(h, &f) ? FileCloseDispatch(f) : -1;
}

constexpr StreamFunctions kFileStream = {FileStreamTell, FileStreamSeek,   FileStreamRead,
                                         FileStreamEof,  FileStreamIsIdle, FileStreamClose};
constexpr StreamFunctions kMemoryStream = {MemoryStreamTell, MemoryStreamSeek,   MemoryStreamRead,
                                           MemoryStreamEof,  MemoryStreamIsIdle, CloseMemoryStream};

StreamFunctions FileStreamTable = kFileStream;
StreamFunctions MemoryStreamTable = kMemoryStream;

MemoryStream* AsMemoryStream(StreamHandle h) { return reinterpret_cast<MemoryStream*>(h); }

}  // namespace

StreamFunctions* GetFileStreamFunctions() { return &FileStreamTable; }
StreamFunctions* GetMemoryStreamFunctions() { return &MemoryStreamTable; }

int InitStreamFunctionTables() {
  FileStreamTable = kFileStream;
  MemoryStreamTable = kMemoryStream;
  return 0;
}

StreamData MakeFileStreamData(uint32_t fileHandle) { return StreamData{FileStreamTable, fileHandle}; }
StreamData MakeMemoryStreamData(MemoryStream* stream) {
  return StreamData{MemoryStreamTable, reinterpret_cast<StreamHandle>(stream)};
}

MemoryStream* OpenMemoryStream(const void* data, size_t size) {
  if (data == nullptr && size != 0) return nullptr;
  auto* stream = static_cast<MemoryStream*>(TrackedAlloc(sizeof(MemoryStream), "", 0));
  if (stream == nullptr) return nullptr;
  stream->Data = static_cast<const uint8_t*>(data);
  stream->Size = size;
  stream->Position = 0;
  stream->EofFlag = 0;
  return stream;
}

int CloseMemoryStream(StreamHandle handle) {
  TrackedFree(AsMemoryStream(handle));
  return 0;
}

int64_t MemoryStreamTell(StreamHandle handle) {
  MemoryStream* s = AsMemoryStream(handle);
  if (s == nullptr) return -1;
  return static_cast<int64_t>(s->Position);
}

int MemoryStreamSeek(StreamHandle handle, int64_t offset, int origin) {
  MemoryStream* s = AsMemoryStream(handle);
  if (s == nullptr) return -1;
  // Saturating 64-bit target; anything outside the block is clamped to it.
  int64_t base = origin == 1   ? static_cast<int64_t>(s->Position)
                 : origin == 2 ? static_cast<int64_t>(s->Size)
                               : 0;
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : INT64_MAX;
  if (target < 0) target = 0;
  if (static_cast<uint64_t>(target) > s->Size) target = static_cast<int64_t>(s->Size);
  s->Position = static_cast<size_t>(target);
  s->EofFlag = 0;
  return 0;
}

size_t MemoryStreamRead(void* buffer, size_t elementSize, size_t count, StreamHandle handle) {
  MemoryStream* s = AsMemoryStream(handle);
  if (s == nullptr) return 0;
  // At the end any read sets the flag, whatever its element size or count.
  if (s->Position >= s->Size) {
    s->EofFlag = 1;
    return 0;
  }
  if (buffer == nullptr || elementSize == 0 || count == 0) return 0;
  size_t left = s->Size - s->Position;
  size_t bytes;
  if (__builtin_mul_overflow(elementSize, count, &bytes) || bytes > left) {
    count = left / elementSize;
    bytes = count * elementSize;
  }
  if (count == 0) {
    // Less than one element left: hand over the tail as one element.
    std::memcpy(buffer, s->Data + s->Position, left);
    s->Position = s->Size;
    s->EofFlag = 0;
    return 1;
  }
  std::memcpy(buffer, s->Data + s->Position, bytes);
  s->Position += bytes;
  s->EofFlag = 0;
  return count;
}

int MemoryStreamEof(StreamHandle handle) {
  MemoryStream* s = AsMemoryStream(handle);
  return s == nullptr ? 1 : static_cast<int>(s->EofFlag);
}

int MemoryStreamIsIdle(StreamHandle) { return 1; }
