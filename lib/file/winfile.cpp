// Plain files, read directly or through a read-ahead thread of their own.
#include "file/winfile.h"

#include <cstring>
#include <new>
#include <string>

#include "core/alloc.h"
#include "core/exit_stop.h"
#include "core/log.h"
#include "file/fileaccess.h"
#include "file/fullpath.h"
#include "platform/codepage.h"

namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;  // sizes and positions are 32-bit in the format

WinFileRecord* NewRecord() {
  void* memory = TrackedAllocZeroed(sizeof(WinFileRecord), "", 0);
  if (memory == nullptr) return nullptr;
  auto* record = new (memory) WinFileRecord{};
  record->File = PLAT_INVALID_FILE;
  record->ThreadFile = PLAT_INVALID_FILE;
  return record;
}

void DeleteRecord(WinFileRecord* record) {
  record->~WinFileRecord();
  TrackedFree(record);
}

// Opens the file read-only and takes its size; false for a missing file or
// one too large for 32-bit positions.
bool OpenForSize(const char* path, PlatFile* file, uint64_t* size) {
  *file = PlatOpenFile(path, PLAT_OPEN_READ);
  if (*file == PLAT_INVALID_FILE) return false;
  int64_t bytes = PlatFileSize(*file);
  if (bytes < 0 || static_cast<uint64_t>(bytes) > kMaxFileSize) {
    PlatCloseFile(*file);
    *file = PLAT_INVALID_FILE;
    return false;
  }
  *size = static_cast<uint64_t>(bytes);
  return true;
}

// Main thread: hands a command to the thread once it is idle. The operands
// must be stored by the caller after WaitIdle and before this.
void Post(WinFileRecord* record, uint32_t command) {
  record->Command = command;
  PlatResetEvent(record->DoneEvent);
  PlatSetEvent(record->CommandEvent);
}

void DestroyEvents(WinFileRecord* record) {
  if (record->CommandEvent != nullptr) PlatDestroyEvent(record->CommandEvent);
  if (record->DoneEvent != nullptr) PlatDestroyEvent(record->DoneEvent);
  record->CommandEvent = nullptr;
  record->DoneEvent = nullptr;
}

// Thread side: reads up to size bytes at the thread file's position.
uint64_t ThreadReadFile(WinFileRecord* r, uint8_t* destination, uint64_t size) {
  int64_t got = PlatReadFile(r->ThreadFile, destination, static_cast<size_t>(size));
  return got < 0 ? 0 : static_cast<uint64_t>(got);
}

// Thread side: fills the free part of the cache from the file while idle.
void ThreadFillCache(WinFileRecord* r) {
  if (r->ThreadFile == PLAT_INVALID_FILE || r->CacheCount >= WIN_FILE_CACHE_SIZE) return;
  uint64_t from = r->CacheFilePosition + r->CacheCount;
  if (from >= r->Size) return;
  if (PlatSeekFile(r->ThreadFile, static_cast<int64_t>(from), PLAT_SEEK_SET) < 0) return;
  r->CacheCount +=
      static_cast<uint32_t>(ThreadReadFile(r, r->Cache + r->CacheCount, WIN_FILE_CACHE_SIZE - r->CacheCount));
}

// Thread side: the read command. ReadSize ends as the bytes delivered.
void ThreadRead(WinFileRecord* r) {
  uint64_t delivered = 0;
  uint64_t want = r->ReadSize;
  uint8_t* destination = r->ReadDestination;
  uint64_t position = r->ReadPosition;
  if (r->Cache != nullptr && position == r->CacheFilePosition && r->CacheCount > 0) {
    uint32_t n = static_cast<uint32_t>(want < r->CacheCount ? want : r->CacheCount);
    std::memcpy(destination, r->Cache, n);
    destination += n;
    position += n;
    delivered += n;
    want -= n;
    r->CacheFilePosition += n;
    r->CacheCount -= n;
    std::memmove(r->Cache, r->Cache + n, r->CacheCount);
  }
  if (want > 0) {
    uint64_t got = 0;
    if (PlatSeekFile(r->ThreadFile, static_cast<int64_t>(position), PLAT_SEEK_SET) >= 0)
      got = ThreadReadFile(r, destination, want);
    delivered += got;
    if (r->Cache != nullptr) {
      r->CacheFilePosition = position + got;
      r->CacheCount = 0;
    }
  }
  if (delivered < r->ReadSize) ++r->ShortReadCount;
  r->ReadSize = delivered;
}

void ThreadExit(WinFileRecord* r) {
  PlatSetEvent(r->DoneEvent);
  r->ThreadEnded.store(1, std::memory_order_release);
}

// Ends the record's thread once its command is done, and joins it. The record
// stays whole: a later close only frees it, and reads then fail.
void StopThread(WinFileRecord* r) {
  if (r->Thread == nullptr) return;
  PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
  Post(r, FILE_THREAD_EXIT);
  PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
  // Joining waits until the thread has really ended before anything is freed.
  PlatJoinThread(r->Thread);
  r->Thread = nullptr;
}

// Read-ahead threads still running when the process exits.
using LiveFileThreads = ExitStopRegistry<WinFileRecord, StopThread>;

}  // namespace

void WinFileArmExitStop() { LiveFileThreads::Arm(); }

uint32_t FileAccessThreadProc(void* parameter) {
  auto* r = static_cast<WinFileRecord*>(parameter);
  for (;;) {
    if (r->Cache == nullptr) {
      PlatWaitEvent(r->CommandEvent, PLAT_INFINITE);
    } else if (!PlatWaitEvent(r->CommandEvent, WIN_FILE_CACHE_IDLE_MS)) {
      ThreadFillCache(r);
      continue;
    }
    PlatResetEvent(r->CommandEvent);
    PlatResetEvent(r->DoneEvent);
    switch (r->Command) {
      case FILE_THREAD_OPEN:
        r->ThreadFile = PlatOpenFile(r->Path, PLAT_OPEN_READ);
        if (r->ThreadFile == PLAT_INVALID_FILE) {
          r->OpenError = 1;
          ThreadExit(r);
          return 1;
        }
        break;
      case FILE_THREAD_CLOSE:
        PlatCloseFile(r->ThreadFile);
        r->ThreadFile = PLAT_INVALID_FILE;
        break;
      case FILE_THREAD_READ:
        ThreadRead(r);
        break;
      case FILE_THREAD_SEEK:
        PlatSeekFile(r->ThreadFile, static_cast<int64_t>(r->SeekPosition), PLAT_SEEK_SET);
        if (r->Cache != nullptr) {
          r->CacheFilePosition = r->SeekPosition;
          r->CacheCount = 0;
        }
        break;
      case FILE_THREAD_EXIT:
        if (r->ThreadFile != PLAT_INVALID_FILE) PlatCloseFile(r->ThreadFile);
        r->ThreadFile = PLAT_INVALID_FILE;
        ThreadExit(r);
        return 1;
      default:
        break;
    }
    PlatSetEvent(r->DoneEvent);
  }
}

WinFileRecord* WinFileOpen(const char* path, uint32_t cacheFlag, uint32_t, uint32_t asyncFlag) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  size_t length = std::strlen(path);
  if (length >= WIN_FILE_PATH_SIZE) return nullptr;  // the record holds 259 characters
  WinFileRecord* r = NewRecord();
  if (r == nullptr) return nullptr;
  r->CacheFlag = cacheFlag;
  r->AsyncFlag = asyncFlag;
  r->Threaded = (cacheFlag != 0 || asyncFlag != 0) ? 1 : 0;

  PlatFile file;
  if (!OpenForSize(path, &file, &r->Size)) {
    DeleteRecord(r);
    return nullptr;
  }
  if (!r->Threaded) {
    r->File = file;
    return r;
  }
  PlatCloseFile(file);

  if (cacheFlag != 0) {
    r->Cache = static_cast<uint8_t*>(TrackedAlloc(WIN_FILE_CACHE_SIZE, "", 0));
    if (r->Cache == nullptr) {
      DeleteRecord(r);
      LogWrite("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
      return nullptr;
    }
  }
  r->CommandEvent = PlatCreateEvent(0);
  r->DoneEvent = PlatCreateEvent(1);
  if (r->CommandEvent != nullptr && r->DoneEvent != nullptr)
    r->Thread = PlatCreateThread(FileAccessThreadProc, r);
  if (r->Thread == nullptr) {
    TrackedFree(r->Cache);
    DestroyEvents(r);
    DeleteRecord(r);
    LogWrite("ファイルアクセス専用スレッドの作成に失敗しました\n");
    return nullptr;
  }
  std::memcpy(r->Path, path, length + 1);
  PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
  Post(r, FILE_THREAD_OPEN);
  PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
  if (r->OpenError != 0) {
    PlatJoinThread(r->Thread);
    TrackedFree(r->Cache);
    DestroyEvents(r);
    DeleteRecord(r);
    LogWrite("ファイルのオープンに失敗しました\n");
    return nullptr;
  }
  r->Position = 0;
  r->EofFlag = 0;
  LiveFileThreads::Add(r);
  return r;
}

int WinFileClose(WinFileRecord* r) {
  if (r == nullptr) return -1;
  if (!r->Threaded) {
    PlatCloseFile(r->File);
    DeleteRecord(r);
    return 0;
  }
  LiveFileThreads::Remove(r);
  StopThread(r);
  TrackedFree(r->Cache);
  DestroyEvents(r);
  DeleteRecord(r);
  return 0;
}

int64_t WinFileTell(WinFileRecord* r) {
  if (r == nullptr) return -1;
  return static_cast<int64_t>(r->Position);
}

int WinFileSeek(WinFileRecord* r, int64_t offset, int origin) {
  if (r == nullptr) return -1;
  int64_t base = origin == 1   ? static_cast<int64_t>(r->Position)
                 : origin == 2 ? static_cast<int64_t>(r->Size)
                               : 0;
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) return -1;
  if (target < 0 || static_cast<uint64_t>(target) > kMaxFileSize) return -1;
  if (!r->Threaded) {
    if (PlatSeekFile(r->File, target, PLAT_SEEK_SET) < 0) return -1;
  } else {
    if (r->Thread == nullptr) return -1;  // stopped at process exit
    PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
    r->SeekPosition = static_cast<uint64_t>(target);
    Post(r, FILE_THREAD_SEEK);
  }
  r->Position = static_cast<uint64_t>(target);
  r->EofFlag = 0;
  return 0;
}

size_t WinFileRead(void* buffer, size_t elementSize, size_t count, WinFileRecord* r) {
  if (r == nullptr || elementSize == 0) return 0;
  // A position at or past the size (a seek may put it there) is the end,
  // whatever the count asked for.
  if (r->Position >= r->Size) {
    r->EofFlag = 1;
    return 0;
  }
  if (buffer == nullptr || count == 0) return 0;
  uint64_t left = r->Size - r->Position;
  uint64_t bytes;
  if (__builtin_mul_overflow(static_cast<uint64_t>(elementSize), static_cast<uint64_t>(count), &bytes) ||
      bytes > left) {
    count = static_cast<size_t>(left / elementSize);
    if (count == 0) {
      r->EofFlag = 1;
      return 0;
    }
    bytes = static_cast<uint64_t>(count) * elementSize;
  }
  if (!r->Threaded) {
    int64_t got = PlatReadFile(r->File, buffer, static_cast<size_t>(bytes));
    if (got <= 0) return 0;
    r->Position += static_cast<uint64_t>(got);
    return static_cast<size_t>(static_cast<uint64_t>(got) / elementSize);
  }
  if (r->Thread == nullptr) return 0;  // stopped at process exit
  PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
  r->ReadDestination = static_cast<uint8_t*>(buffer);
  r->ReadPosition = r->Position;
  r->ReadSize = bytes;
  Post(r, FILE_THREAD_READ);
  if (r->AsyncFlag != 0) {
    // The bytes arrive later; the caller polls WinFileIsIdle.
    r->Position += bytes;
    return count;
  }
  PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
  uint64_t got = r->ReadSize;
  r->Position += got;
  return static_cast<size_t>(got / elementSize);
}

int WinFileEof(WinFileRecord* r) {
  if (r == nullptr) return -1;
  return r->EofFlag != 0 ? -1 : 0;
}

int WinFileIsIdle(WinFileRecord* r) {
  if (r == nullptr) return 1;
  if (!r->Threaded) return 1;
  return PlatIsEventSet(r->DoneEvent) ? 1 : 0;
}

void WinFileWaitIdle(WinFileRecord* r) {
  if (r != nullptr && r->Threaded) PlatWaitEvent(r->DoneEvent, PLAT_INFINITE);
}

uint64_t WinFileLastReadSize(WinFileRecord* r) {
  WinFileWaitIdle(r);
  return r == nullptr ? 0 : r->ReadSize;
}

uint32_t WinFileShortReadCount(WinFileRecord* r) {
  WinFileWaitIdle(r);
  return r == nullptr ? 0 : r->ShortReadCount;
}

PlatFile CreateTempFileForWrite(char* pathOut) {
  std::string native = PlatCreateTempFile(PlatGetTempDirectory().c_str(), "tmp");
  if (native.empty()) return PLAT_INVALID_FILE;
  std::string placeholder;
  if (!PlatUtf8ToCp932(native.data(), native.size(), &placeholder)) placeholder = native;
  char full[WIN_FILE_PATH_SIZE];
  if (MakeFullPath(placeholder.c_str(), full, nullptr) != 0) {
    PlatDeleteFile(placeholder.c_str());
    return PLAT_INVALID_FILE;
  }
  PlatDeleteFile(placeholder.c_str());
  PlatFile file = PlatOpenFile(full, PLAT_CREATE_NEW);
  if (pathOut != nullptr) std::memcpy(pathOut, full, std::strlen(full) + 1);
  return file;
}

int MakeFullPath(const char* path, char* out, const char* base) {
  char current[FILE_CURRENT_DIR_SIZE];
  if (base == nullptr) {
    if (GetDirDispatch(current) != 0) return -1;
    base = current;
  }
  const FullPathRules rules = {false, true};
  return BuildFullPath(path, base, rules, out, WIN_FILE_PATH_SIZE);
}
