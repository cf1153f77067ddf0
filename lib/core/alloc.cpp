// The tracked allocator. Besides the main thread the movie decoding thread
// allocates and frees, so the list is guarded by a lock. The lock is taken
// before the log's own lock whenever both are held.
#include "core/alloc.h"

#include <cstring>
#include <mutex>

#include "core/log.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "platform/heap.h"

namespace {
std::recursive_mutex g_allocMutex;

AllocState& State() { return SystemState.Kept.Alloc; }

void RefreshCheck(AllocHeader* header) {
  if (header != nullptr) std::memcpy(&header->Check, &header->Fields, sizeof header->Fields);
}

// The last 15 characters of the name (all of a shorter one); empty for null.
void StoreFileName(AllocHeader* header, const char* fileName) {
  char* dest = header->Fields.FileName;
  std::memset(dest, 0, sizeof header->Fields.FileName);
  if (fileName == nullptr) return;
  size_t length = std::strlen(fileName);
  size_t keep = sizeof header->Fields.FileName - 1;
  std::memcpy(dest, length > keep ? fileName + (length - keep) : fileName, length > keep ? keep : length);
}

void* BlockOf(AllocHeader* header) { return header + 1; }

// The record line of one block, written with LogWrite. At most `shownLimit`
// bytes of the block are shown (a damaged size must not lead past the block).
void FormatRecord(const AllocHeader* header, uint32_t shownLimit, char* out, size_t size) {
  const AllocHeaderFields& f = header->Fields;
  char name[sizeof f.FileName];
  std::memcpy(name, f.FileName, sizeof name);
  name[sizeof name - 1] = '\0';  // a damaged header may have lost its terminator
  int n = FormatStringN(out, size, "\tsize:%u(%.3fkb)  file:%s  line:%d  ID:%d  addr:%0*llx  data:<", f.Size,
                        f.Size / 1024.0, name, int(f.Line), int(f.Serial), int(sizeof(void*) * 2),
                        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(header + 1)));
  if (n < 0) n = 0;
  size_t pos = size_t(n);
  const unsigned char* data = reinterpret_cast<const unsigned char*>(header + 1);
  uint32_t shown = f.Size < 16 ? f.Size : 16;
  if (shown > shownLimit) shown = shownLimit;
  for (uint32_t i = 0; i < shown && pos + 1 < size; ++i) {
    out[pos++] = (data[i] >= 0x20 && data[i] <= 0x7F) ? char(data[i]) : '.';
  }
  out[pos < size ? pos : size - 1] = '\0';
  StrAppendN(out, size, "> [");
  for (uint32_t i = 0; i < shown; ++i) {
    char hex[4];
    FormatStringN(hex, sizeof hex, i == 0 ? "%02x" : " %02x", unsigned(data[i]));
    StrAppendN(out, size, hex);
  }
  StrAppendN(out, size, "]\n");
}

void LogZeroSize(const char* what, const AllocHeader* header) {
  LogWrite(what);
  LogAllocRecord(header);
}
}  // namespace

void LogAllocRecord(const AllocHeader* header) {
  if (header == nullptr) return;
  char line[256];
  FormatRecord(header, 16, line, sizeof line);
  LogWrite(line);
}

void LogAllocTotals() {
  std::lock_guard<std::recursive_mutex> hold(g_allocMutex);
  LogPrintf("\tTotal size:%lld(%.3fkb)  Alloc num:%d", static_cast<long long>(State().TotalBytes),
            double(State().TotalBytes) / 1024.0, State().BlockCount);
}

void* TrackedAlloc(size_t size, const char* fileName, int line) {
  std::lock_guard<std::recursive_mutex> hold(g_allocMutex);
  AllocHeader* header = nullptr;
  if (size <= TRACKED_ALLOC_MAX_SIZE)
    header = static_cast<AllocHeader*>(PlatHeapAlloc(size + sizeof(AllocHeader)));
  if (header == nullptr) {
    DumpAllocations();
    CheckAllocationHeaders();
    return nullptr;
  }
  AllocState& s = State();
  std::memset(header, 0, sizeof *header);
  header->Fields.Size = uint32_t(size);
  StoreFileName(header, fileName);
  header->Fields.Line = uint16_t(line);
  header->Fields.Serial = s.SerialCounter++;

  if (s.Newest == nullptr) s.Newest = &s.Sentinel;
  s.Newest->Fields.Newer = header;
  header->Fields.Older = s.Newest;
  header->Fields.Newer = nullptr;
  AllocHeader* older = s.Newest;
  s.Newest = header;
  RefreshCheck(header);
  RefreshCheck(older);

  s.TotalBytes += int64_t(size);
  s.BlockCount += 1;
  if (size == 0) LogZeroSize("mem alloc  ", header);
  return BlockOf(header);
}

void* TrackedAllocZeroed(size_t size, const char* fileName, int line) {
  void* block = TrackedAlloc(size, fileName, line);
  if (block != nullptr && size > 0) std::memset(block, 0, size);
  return block;
}

void TrackedFree(void* block) {
  if (block == nullptr) return;
  std::lock_guard<std::recursive_mutex> hold(g_allocMutex);
  AllocState& s = State();
  AllocHeader* header = GetAllocHeader(block);
  AllocHeader* older = header->Fields.Older;
  AllocHeader* newer = header->Fields.Newer;
  s.TotalBytes -= header->Fields.Size;
  s.BlockCount -= 1;
  if (older != nullptr) older->Fields.Newer = newer;
  if (newer != nullptr) newer->Fields.Older = older;
  if (s.Newest == header) s.Newest = older;
  RefreshCheck(newer);
  RefreshCheck(older);
  if (header->Fields.Size == 0) LogZeroSize("mem free  ", header);
  PlatHeapFree(header);
}

void* TrackedRealloc(void* block, size_t size, const char* fileName, int line) {
  if (block == nullptr) return TrackedAlloc(size, fileName, line);
  std::lock_guard<std::recursive_mutex> hold(g_allocMutex);
  AllocState& s = State();
  AllocHeader* old = GetAllocHeader(block);
  const uint32_t oldSize = old->Fields.Size;
  const bool wasNewest = s.Newest == old;
  AllocHeader* header = nullptr;
  if (size <= TRACKED_ALLOC_MAX_SIZE) {
    header = static_cast<AllocHeader*>(
        PlatHeapReallocZeroed(old, oldSize + sizeof(AllocHeader), size + sizeof(AllocHeader)));
  }
  if (header == nullptr) {
    DumpAllocations();
    return nullptr;
  }
  // The header may have moved: the neighbours learn its new place.
  StoreFileName(header, fileName);
  header->Fields.Line = uint16_t(line);
  header->Fields.Serial = s.SerialCounter++;
  AllocHeader* older = header->Fields.Older;
  AllocHeader* newer = header->Fields.Newer;
  if (older != nullptr) older->Fields.Newer = header;
  if (newer != nullptr) newer->Fields.Older = header;
  if (wasNewest) s.Newest = header;
  s.TotalBytes += int64_t(size) - int64_t(oldSize);
  header->Fields.Size = uint32_t(size);
  RefreshCheck(header);
  RefreshCheck(older);
  RefreshCheck(newer);
  if (size == 0) LogZeroSize("mem realloc  ", header);
  return BlockOf(header);
}

void DumpAllocations() {
  std::lock_guard<std::recursive_mutex> hold(g_allocMutex);
  LogWrite("\n");
  LogWrite("Alloc memory dump\n");
  const AllocState& s = State();
  for (const AllocHeader* h = s.Newest; h != nullptr && h != &s.Sentinel; h = h->Fields.Older) {
    LogAllocRecord(h);
  }
  LogAllocTotals();
  LogWrite("\n");
}

int CheckAllocationHeaders() {
  std::lock_guard<std::recursive_mutex> hold(g_allocMutex);
  const AllocState& s = State();
  for (const AllocHeader* h = s.Newest; h != nullptr && h != &s.Sentinel; h = h->Fields.Older) {
    if (std::memcmp(&h->Check, &h->Fields, sizeof h->Fields) != 0) {
      LogWrite("以下のメモリ確保情報が破損しました");
      char line[256];
      FormatRecord(h, h->Check.Size, line, sizeof line);
      LogWrite(line);
      return -1;
    }
  }
  return 0;
}
