// Members of an archive served as streams. Compressed members are decoded
// whole at open; stored members are read on demand and descrambled.
#include <cstring>

#include "core/alloc.h"
#include "file/archive.h"
#include "file/archive_dir.h"

namespace {

bool IsCompressed(const ArchiveRecord* r, const ArchiveFileEntry& e) {
  return r->Header.Version >= ARCHIVE_VERSION_COMPRESSED && e.CompressedSize != ARCHIVE_NOT_COMPRESSED;
}

// The member's bytes must lie inside the file; a compressed member's block
// must be able to describe its size.
bool EntryIsSound(const ArchiveRecord* r, const ArchiveFileEntry& e, uint64_t* dataPosition) {
  uint64_t position = uint64_t{r->Header.DataAreaOffset} + e.DataOffset;
  if (position > r->FileSize) return false;
  uint64_t stored = IsCompressed(r, e) ? e.CompressedSize : e.Size;
  if (stored > r->FileSize - position) return false;
  if (IsCompressed(r, e)) {
    if (e.CompressedSize < ARCHIVE_LZ_HEADER_SIZE) return false;
    if (e.Size > ArchiveLzMaxDecodedSize(e.CompressedSize)) return false;
  }
  *dataPosition = position;
  return true;
}

// Decodes the read block into the decoded buffer; the block's own sizes must
// agree with the entry.
bool DecodeMember(ArchiveFileStream* s) {
  int64_t decoded = DecodeArchiveLz(s->CompressedBuffer, s->CompressedSize, s->DecodedBuffer, s->Size);
  return decoded == static_cast<int64_t>(s->Size);
}

void FreeBuffers(ArchiveFileStream* s) {
  TrackedFree(s->DecodedBuffer);
  TrackedFree(s->CompressedBuffer);
  s->DecodedBuffer = nullptr;
  s->CompressedBuffer = nullptr;
}

// An open that failed: nothing kept, the stream left cleared; returns -1.
int FailOpen(ArchiveFileStream* s) {
  FreeBuffers(s);
  std::memset(s, 0, sizeof(*s));
  return -1;
}

// Holds the archive's lock for the life of the guard (none for a record
// without one).
class ArchiveLockGuard {
 public:
  explicit ArchiveLockGuard(const ArchiveRecord* record) : lock_(record ? record->Lock : nullptr) {
    if (lock_) PlatEnterCriticalSection(lock_);
  }
  ~ArchiveLockGuard() {
    if (lock_) PlatLeaveCriticalSection(lock_);
  }
  ArchiveLockGuard(const ArchiveLockGuard&) = delete;
  ArchiveLockGuard& operator=(const ArchiveLockGuard&) = delete;

 private:
  PlatCriticalSection lock_;
};

void WaitPending(ArchiveFileStream* s) {
  while (s->AsyncFlag != 0 && s->PendingRead != ARCHIVE_PENDING_NONE && ArchiveFilePoll(s) == 0)
    WinFileWaitIdle(s->Archive->File);
}

}  // namespace

int ArchiveOpenFile(ArchiveFileStream* stream, ArchiveRecord* record, const char* path, uint32_t asyncFlag) {
  if (stream == nullptr || record == nullptr || record->File == nullptr) return -1;
  int64_t offset = ArchiveFindFile(record, path);
  if (offset < 0) return -1;
  ArchiveFileEntry entry;
  uint64_t dataPosition;
  if (!ArchiveFileEntryAt(record, static_cast<uint64_t>(offset), &entry)) return -1;
  if (!EntryIsSound(record, entry, &dataPosition)) return -1;

  std::memset(stream, 0, sizeof(*stream));
  stream->Archive = record;
  stream->Entry = static_cast<uint32_t>(offset);
  stream->Size = entry.Size;
  stream->CompressedSize = IsCompressed(record, entry) ? entry.CompressedSize : ARCHIVE_NOT_COMPRESSED;
  stream->DataPosition = dataPosition;
  stream->AsyncFlag = asyncFlag;
  if (stream->CompressedSize == ARCHIVE_NOT_COMPRESSED) return 0;

  ArchiveLockGuard hold(record);
  // At least one byte each so an empty member does not ask for a 0-byte block.
  stream->DecodedBuffer = static_cast<uint8_t*>(TrackedAlloc(entry.Size > 0 ? entry.Size : 1, "", 0));
  stream->CompressedBuffer = static_cast<uint8_t*>(TrackedAlloc(stream->CompressedSize, "", 0));
  if (stream->DecodedBuffer == nullptr || stream->CompressedBuffer == nullptr ||
      WinFileSeek(record->File, static_cast<int64_t>(dataPosition), 0) != 0)
    return FailOpen(stream);
  if (asyncFlag != 0) {
    stream->PendingShortReads = WinFileShortReadCount(record->File);
    if (WinFileRead(stream->CompressedBuffer, 1, stream->CompressedSize, record->File) !=
        stream->CompressedSize) {
      WinFileWaitIdle(record->File);
      return FailOpen(stream);
    }
    stream->PendingRead = ARCHIVE_PENDING_BLOCK;
    stream->PendingFilePosition = dataPosition;
    return 0;
  }
  bool ok = ArchiveReadKeyed(static_cast<int64_t>(dataPosition), stream->CompressedBuffer,
                             stream->CompressedSize, &record->Key, record->File) == 0 &&
            DecodeMember(stream);
  TrackedFree(stream->CompressedBuffer);
  stream->CompressedBuffer = nullptr;
  if (!ok) return FailOpen(stream);
  return 0;
}

int ArchiveFilePoll(ArchiveFileStream* s) {
  if (s == nullptr || s->AsyncFlag == 0 || s->PendingRead == ARCHIVE_PENDING_NONE) return 1;
  WinFileRecord* file = s->Archive->File;
  if (!WinFileIsIdle(file)) return 0;
  // Any read of this file that came up short since ours was started means the
  // file changed under us: the data is not trusted.
  const bool shortRead = WinFileShortReadCount(file) != s->PendingShortReads;
  if (s->PendingRead == ARCHIVE_PENDING_PLAIN) {
    if (shortRead) {
      std::memset(s->PendingDestination, 0, s->PendingSize);
      s->Failed = 1;
    } else {
      ArchiveKeyXor(s->PendingSize, s->PendingDestination, s->PendingFilePosition, &s->Archive->Key);
    }
  } else {
    bool ok = false;
    if (!shortRead) {
      ArchiveKeyXor(s->CompressedSize, s->CompressedBuffer, s->PendingFilePosition, &s->Archive->Key);
      ok = DecodeMember(s);
    }
    TrackedFree(s->CompressedBuffer);
    s->CompressedBuffer = nullptr;
    if (!ok) {
      TrackedFree(s->DecodedBuffer);
      s->DecodedBuffer = nullptr;
      s->Failed = 1;
    }
  }
  s->PendingRead = ARCHIVE_PENDING_NONE;
  return 1;
}

size_t ArchiveReadFile(ArchiveFileStream* s, void* buffer, size_t size) {
  if (s == nullptr || s->Archive == nullptr || buffer == nullptr) return 0;
  ArchiveLockGuard hold(s->Archive);
  WaitPending(s);
  if (s->Failed != 0) {
    s->EofFlag = 1;
    return 0;
  }
  if (s->EofFlag != 0) return 0;
  uint32_t left = s->Size - s->Position;
  if (left == 0) {
    s->EofFlag = 1;
    return 0;
  }
  uint32_t n = size < left ? static_cast<uint32_t>(size) : left;
  if (s->CompressedSize != ARCHIVE_NOT_COMPRESSED) {
    std::memcpy(buffer, s->DecodedBuffer + s->Position, n);
  } else {
    WinFileRecord* file = s->Archive->File;
    uint64_t filePosition = s->DataPosition + s->Position;
    if (static_cast<uint64_t>(WinFileTell(file)) != filePosition &&
        WinFileSeek(file, static_cast<int64_t>(filePosition), 0) != 0) {
      s->Failed = 1;
      s->EofFlag = 1;
      return 0;
    }
    if (s->AsyncFlag == 0) {
      if (ArchiveReadKeyed(static_cast<int64_t>(filePosition), buffer, n, &s->Archive->Key, file) != 0) {
        s->Failed = 1;
        s->EofFlag = 1;
        return 0;
      }
    } else {
      s->PendingShortReads = WinFileShortReadCount(file);
      if (WinFileRead(buffer, 1, n, file) != n) {
        WinFileWaitIdle(file);
        s->Failed = 1;
        s->EofFlag = 1;
        return 0;
      }
      s->PendingRead = ARCHIVE_PENDING_PLAIN;
      s->PendingFilePosition = filePosition;
      s->PendingDestination = static_cast<uint8_t*>(buffer);
      s->PendingSize = n;
    }
  }
  s->Position += n;
  s->EofFlag = 0;
  return n;
}

int ArchiveSeekFile(ArchiveFileStream* s, int64_t offset, int origin) {
  if (s == nullptr || s->Archive == nullptr) return -1;
  ArchiveLockGuard hold(s->Archive);
  WaitPending(s);
  int64_t base = origin == 1 ? s->Position : origin == 2 ? s->Size : 0;
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : INT64_MAX;
  if (target < 0) target = 0;
  if (target > static_cast<int64_t>(s->Size)) target = s->Size;
  s->Position = static_cast<uint32_t>(target);
  s->EofFlag = 0;
  return 0;
}

int64_t ArchiveTellFile(ArchiveFileStream* s) {
  if (s == nullptr || s->Archive == nullptr) return -1;
  ArchiveLockGuard hold(s->Archive);
  WaitPending(s);
  return s->Position;
}

int ArchiveEofFile(ArchiveFileStream* s) {
  if (s == nullptr || s->Archive == nullptr) return -1;
  ArchiveLockGuard hold(s->Archive);
  WaitPending(s);
  return s->EofFlag != 0 ? -1 : 0;
}

int ArchiveCloseFile(ArchiveFileStream* s) {
  if (s == nullptr) return 0;
  if (s->Archive != nullptr) WaitPending(s);
  FreeBuffers(s);
  std::memset(s, 0, sizeof(*s));
  return 0;
}
