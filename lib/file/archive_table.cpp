// The table of open archives, opening an archive file and walking its
// directory tree.
#include <cstring>

#include "core/alloc.h"
#include "file/archive.h"
#include "file/archive_dir.h"
#include "file/fullpath.h"

ArchiveTableState ArchiveTable;

namespace {

bool ValidSlot(int index) {
  return index >= 0 && index < ARCHIVE_MAX && ArchiveTable.Slots[index] != nullptr;
}

void FreeSlot(int index) {
  CloseArchive(&ArchiveTable.Slots[index]->Record);
  TrackedFree(ArchiveTable.Slots[index]);
  ArchiveTable.Slots[index] = nullptr;
  --ArchiveTable.Count;
}

// The header's numbers must describe a directory block inside the file whose
// tables start inside the block and whose root entry is whole.
bool HeaderIsSound(const ArchiveHeader& h, uint64_t fileSize) {
  if (h.Magic[0] != 'V' || h.Magic[1] != 'L' || h.Version > ARCHIVE_VERSION_MAX) return false;
  if (uint64_t{h.DirBlockOffset} + h.DirBlockSize > fileSize) return false;
  if (h.DataAreaOffset > fileSize) return false;
  if (h.FileTableOffset > h.DirBlockSize) return false;
  if (uint64_t{h.DirTableOffset} + sizeof(ArchiveDirEntry) > h.DirBlockSize) return false;
  return true;
}

bool MagicMatches(const ArchiveHeader& h) { return h.Magic[0] == 'V' && h.Magic[1] == 'L'; }

}  // namespace

int ArchiveReadKeyed(int64_t filePosition, void* buffer, size_t size, const ArchiveKey* key,
                     WinFileRecord* file) {
  if (file == nullptr || buffer == nullptr) return -1;
  if (filePosition < 0) filePosition = WinFileTell(file);
  uint32_t shortBefore = WinFileShortReadCount(file);
  size_t got = WinFileRead(buffer, 1, size, file);
  WinFileWaitIdle(file);
  if (got != size || WinFileShortReadCount(file) != shortBefore) return -1;
  ArchiveKeyXor(size, buffer, static_cast<uint64_t>(filePosition), key);
  return 0;
}

int OpenArchiveFromFile(ArchiveRecord* record, const char* path) {
  if (record == nullptr || record->File != nullptr) return -1;
  WinFileRecord* file = WinFileOpen(path, 0, 1, 1);
  if (file == nullptr) return -1;
  ArchiveKey key;
  MakeArchiveKey(&key);
  ArchiveHeader header;
  int read = ArchiveReadKeyed(0, &header, sizeof(header), &key, file);
  if (read == 0 && !MagicMatches(header)) {
    MakeArchiveFallbackKey(&key);
    read = WinFileSeek(file, 0, 0) == 0 ? ArchiveReadKeyed(0, &header, sizeof(header), &key, file) : -1;
  }
  uint8_t* block = nullptr;
  PlatCriticalSection lock = nullptr;
  if (read == 0 && HeaderIsSound(header, file->Size)) {
    block = static_cast<uint8_t*>(TrackedAlloc(header.DirBlockSize, "", 0));
    lock = PlatCreateCriticalSection();
    if (block != nullptr && lock != nullptr && WinFileSeek(file, header.DirBlockOffset, 0) == 0 &&
        ArchiveReadKeyed(header.DirBlockOffset, block, header.DirBlockSize, &key, file) == 0) {
      std::memset(record, 0, sizeof(*record));
      record->Header = header;
      record->File = file;
      record->FileSize = file->Size;
      record->DirBlock = block;
      record->DirBlockSize = header.DirBlockSize;
      record->FileEntrySize =
          header.Version >= ARCHIVE_VERSION_COMPRESSED ? ARCHIVE_FILE_ENTRY_SIZE : ARCHIVE_FILE_ENTRY_SIZE_V1;
      record->FileTableOffset = header.FileTableOffset;
      record->DirTableOffset = header.DirTableOffset;
      record->CurrentDir = 0;
      record->Key = key;
      record->Lock = lock;
      return 0;
    }
  }
  if (lock != nullptr) PlatDestroyCriticalSection(lock);
  WinFileClose(file);
  TrackedFree(block);
  return -1;
}

int CloseArchive(ArchiveRecord* record) {
  if (record == nullptr) return 0;
  if (record->File != nullptr) WinFileClose(record->File);
  TrackedFree(record->DirBlock);
  if (record->Lock != nullptr) PlatDestroyCriticalSection(record->Lock);
  std::memset(record, 0, sizeof(*record));
  return 0;
}

void CloseUnusedArchives() {
  for (int i = 0; i < ARCHIVE_MAX; ++i)
    if (ArchiveTable.Slots[i] != nullptr && ArchiveTable.Slots[i]->RefCount < 1) FreeSlot(i);
}

void ReleaseArchive(int index) {
  if (ValidSlot(index) && ArchiveTable.Slots[index]->RefCount > 0) --ArchiveTable.Slots[index]->RefCount;
}

int OpenArchiveCached(int hint, const char* path) {
  if (path == nullptr) return -1;
  size_t length = std::strlen(path);
  if (length >= ARCHIVE_SLOT_PATH_SIZE) return -1;
  if (ValidSlot(hint) && std::strcmp(ArchiveTable.Slots[hint]->Path, path) == 0) {
    ++ArchiveTable.Slots[hint]->RefCount;
    return hint;
  }
  // While scanning, note the last hole met before every occupied slot has
  // been seen; a new archive goes there, else into the lowest empty slot.
  int hole = -1;
  int seen = 0;
  for (int i = 0; i < ARCHIVE_MAX; ++i) {
    if (ArchiveTable.Slots[i] == nullptr) {
      if (seen < ArchiveTable.Count) hole = i;
      continue;
    }
    ++seen;
    if (std::strcmp(ArchiveTable.Slots[i]->Path, path) == 0) {
      ++ArchiveTable.Slots[i]->RefCount;
      return i;
    }
  }
  if (ArchiveTable.Count >= ARCHIVE_MAX) CloseUnusedArchives();
  if (ArchiveTable.Count >= ARCHIVE_MAX) return -1;
  int slot = hole;
  if (slot < 0) {
    slot = 0;
    while (ArchiveTable.Slots[slot] != nullptr) ++slot;
  }

  ArchiveRecord record;
  std::memset(&record, 0, sizeof(record));
  if (OpenArchiveFromFile(&record, path) != 0) return -1;
  auto* entry = static_cast<ArchiveSlot*>(TrackedAllocZeroed(sizeof(ArchiveSlot), "", 0));
  if (entry == nullptr) {
    CloseArchive(&record);
    return -1;
  }
  entry->Record = record;
  std::memcpy(entry->Path, path, length + 1);
  entry->RefCount = 1;
  ArchiveTable.Slots[slot] = entry;
  ++ArchiveTable.Count;
  return slot;
}

int ArchiveFindDir(const ArchiveSearchName* name, ArchiveRecord* record) {
  int64_t offset = ArchiveScanCurrentDir(record, name, true);
  if (offset < 0) return -1;
  ArchiveFileEntry entry;
  ArchiveDirEntry dir;
  if (!ArchiveFileEntryAt(record, static_cast<uint64_t>(offset), &entry)) return -1;
  if (!ArchiveDirEntryAt(record, entry.DataOffset, &dir)) return -1;
  record->CurrentDir = entry.DataOffset;
  return 0;
}

namespace {

// Walks the directories of path. Returns 0 at its end, -1 when a component is
// not a directory (nameOut holds it, *failedAt where it starts), -2 for a
// component too long to be a name.
int WalkPath(ArchiveRecord* record, const char* path, int restore, ArchiveSearchName* nameOut,
             const char** failedAt) {
  if (std::strcmp(path, ".") == 0) return 0;
  if (std::strcmp(path, "\\") == 0) {
    record->CurrentDir = 0;
    return 0;
  }
  if (std::strcmp(path, "..") == 0) {
    ArchiveDirEntry dir, parent;
    if (!ArchiveDirEntryAt(record, record->CurrentDir, &dir) || dir.ParentOffset == ARCHIVE_NO_PARENT ||
        !ArchiveDirEntryAt(record, dir.ParentOffset, &parent))
      return -1;
    record->CurrentDir = dir.ParentOffset;
    return 0;
  }
  const uint32_t remembered = record->CurrentDir;
  const char* p = path;
  if (*p == '\\') {
    record->CurrentDir = 0;
    ++p;
  }
  ArchiveSearchName name;
  name.UnitCount = 0;
  while (*p != '\0') {
    int used = MakeArchiveSearchName(p, &name);
    if (used < 0) {
      if (restore) record->CurrentDir = remembered;
      return -2;
    }
    if (ArchiveFindDir(&name, record) != 0) {
      if (restore) record->CurrentDir = remembered;
      if (nameOut != nullptr) *nameOut = name;
      if (failedAt != nullptr) *failedAt = p;
      return -1;
    }
    p += used;
    if (*p == '\\') ++p;
  }
  if (nameOut != nullptr) *nameOut = name;
  return 0;
}

}  // namespace

int ArchiveFindPath(ArchiveRecord* record, const char* path, int restore, ArchiveSearchName* nameOut) {
  if (record == nullptr || path == nullptr) return -1;
  return WalkPath(record, path, restore, nameOut, nullptr) == 0 ? 0 : -1;
}

int64_t ArchiveFindFile(ArchiveRecord* record, const char* path) {
  if (record == nullptr || path == nullptr || record->DirBlock == nullptr) return -1;
  const uint32_t remembered = record->CurrentDir;
  ArchiveSearchName name;
  if (FindPathSeparator(path) != nullptr) {
    const char* failedAt = nullptr;
    int walked = WalkPath(record, path, 0, &name, &failedAt);
    // The whole path is a directory, or a name is too long: no file.
    if (walked != -1) {
      record->CurrentDir = remembered;
      return -1;
    }
    // Only the last component may be the file; a missing directory before
    // it means the file is missing, whatever the directory it stopped in holds.
    if (FindPathSeparator(failedAt) != nullptr) {
      record->CurrentDir = remembered;
      return -1;
    }
  } else if (MakeArchiveSearchName(path, &name) < 0) {
    return -1;
  }
  int64_t offset = ArchiveScanCurrentDir(record, &name, false);
  record->CurrentDir = remembered;
  return offset;
}
