// Lookups in an archive's directory block.
#include "file/archive_dir.h"

#include <cstring>

namespace {

bool InBlock(const ArchiveRecord* r, uint64_t tableOffset, uint64_t offset, uint64_t size) {
  uint64_t start = tableOffset + offset;  // both below 2^33: no wrap
  return offset <= r->DirBlockSize && start <= r->DirBlockSize && size <= r->DirBlockSize - start;
}

}  // namespace

bool ArchiveFileEntryAt(const ArchiveRecord* r, uint64_t offset, ArchiveFileEntry* out) {
  if (!InBlock(r, r->FileTableOffset, offset, r->FileEntrySize)) return false;
  std::memcpy(out, r->DirBlock + r->FileTableOffset + offset, r->FileEntrySize);
  if (r->FileEntrySize < sizeof(ArchiveFileEntry)) out->CompressedSize = ARCHIVE_NOT_COMPRESSED;
  return true;
}

bool ArchiveDirEntryAt(const ArchiveRecord* r, uint64_t offset, ArchiveDirEntry* out) {
  if (!InBlock(r, r->DirTableOffset, offset, sizeof(ArchiveDirEntry))) return false;
  std::memcpy(out, r->DirBlock + r->DirTableOffset + offset, sizeof(ArchiveDirEntry));
  return true;
}

bool ArchiveNameMatches(const ArchiveRecord* r, uint64_t nameOffset, const ArchiveSearchName* name) {
  const uint64_t bytes = uint64_t{4} * name->UnitCount;
  if (!InBlock(r, 0, nameOffset, 4 + bytes)) return false;
  ArchiveNameEntry head;
  const uint8_t* p = r->DirBlock + nameOffset;
  std::memcpy(&head, p, sizeof(head));
  if (head.UnitCount != name->UnitCount || head.CheckSum != name->CheckSum) return false;
  return std::memcmp(p + 4, name->Name, bytes) == 0;
}

int64_t ArchiveScanCurrentDir(const ArchiveRecord* r, const ArchiveSearchName* name, bool wantDirectory) {
  ArchiveDirEntry dir;
  if (!ArchiveDirEntryAt(r, r->CurrentDir, &dir)) return -1;
  // A count larger than the block can hold ends at the first entry outside it.
  for (uint64_t i = 0; i < dir.FileCount; ++i) {
    uint64_t offset = dir.FirstFileOffset + i * r->FileEntrySize;
    ArchiveFileEntry entry;
    if (!ArchiveFileEntryAt(r, offset, &entry)) return -1;
    bool isDirectory = (entry.Attributes & ARCHIVE_ATTR_DIRECTORY) != 0;
    if (isDirectory != wantDirectory) continue;
    if (ArchiveNameMatches(r, entry.NameOffset, name)) return static_cast<int64_t>(offset);
  }
  return -1;
}
