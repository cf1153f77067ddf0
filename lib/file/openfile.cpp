// The open-file table and the archive-aware file operations.
#include "file/openfile.h"

#include <cstring>
#include <string>

#include "core/alloc.h"
#include "core/log.h"
#include "file/fullpath.h"
#include "platform/codepage.h"
#include "platform/file.h"

FileAccessState FileAccess;

namespace {

// The entry a handle names: it must carry the tag and name a live slot.
OpenFileEntry* EntryOf(FileHandle handle) {
  if ((handle & ~FILE_HANDLE_INDEX_MASK) != FILE_HANDLE_TAG) return nullptr;
  uint32_t index = handle & FILE_HANDLE_INDEX_MASK;
  if (index >= static_cast<uint32_t>(OPEN_FILE_MAX)) return nullptr;
  return FileAccess.Files[index];
}

void Forget() {
  FileAccess.RememberedArchivePath[0] = '\0';
  FileAccess.RememberedArchiveIndex = -1;
  FileAccess.RememberedPrefixLength = 0;
}

// Tries prefix + ".VLK" as an archive; its index or -1.
int Probe(const std::string& prefix, std::string* archivePath) {
  *archivePath = prefix + ".VLK";
  if (archivePath->size() >= ARCHIVE_PATH_SIZE) return -1;
  return OpenArchiveCached(-1, archivePath->c_str());
}

// Probes from the root down; on success remembers the archive. The last
// component is the file name and is never probed.
int ProbeArchives(const char* full) {
  std::string prefix;
  size_t i = 0;
  for (;;) {
    if (full[i] == '\\') prefix.push_back(full[i++]);
    size_t j = i;
    while (full[j] != '\0' && full[j] != '\\') {
      j += IsShiftJisLead(static_cast<unsigned char>(full[j])) && full[j + 1] != '\0' ? 2 : 1;
    }
    if (full[j] == '\0' || j == i) return -1;
    prefix.append(full + i, j - i);
    std::string archivePath;
    int index = Probe(prefix, &archivePath);
    if (index >= 0) {
      std::memcpy(FileAccess.RememberedArchivePath, archivePath.c_str(), archivePath.size() + 1);
      FileAccess.RememberedArchiveIndex = index;
      FileAccess.RememberedPrefixLength = prefix.size();
      return index;
    }
    i = j;
  }
}

}  // namespace

int MakeFullPathFromCurrentDir(const char* path, char* out) {
  char current[FILE_CURRENT_DIR_SIZE];
  if (FileOpGetCurrentDir(current) != 0) return -1;
  const FullPathRules rules = {true, false};
  return BuildFullPath(path, current, rules, out, FULL_PATH_SIZE);
}

// Returns 0 through an archive, -1 for a plain path, -2 for a path that does
// not fit the fixed buffers.
static int SplitArchivePathImpl(const char* path, int* archiveIndex, char* archivePath, char* innerPath) {
  char full[FULL_PATH_SIZE];
  if (MakeFullPathFromCurrentDir(path, full) != 0) return -2;
  const size_t prefix = FileAccess.RememberedPrefixLength;
  int index;
  if (prefix > 0 && std::strncmp(full, FileAccess.RememberedArchivePath, prefix) == 0 &&
      (full[prefix] == '\\' || full[prefix] == '/')) {
    index = OpenArchiveCached(FileAccess.RememberedArchiveIndex, FileAccess.RememberedArchivePath);
    if (index < 0) return -1;
  } else {
    index = ProbeArchives(full);
    if (index < 0) return -1;
  }
  const char* inner = full + FileAccess.RememberedPrefixLength + 1;
  size_t innerLength = std::strlen(inner);
  if (innerLength >= ARCHIVE_PATH_SIZE) {
    ReleaseArchive(index);
    return -2;
  }
  if (archiveIndex != nullptr) *archiveIndex = index;
  if (archivePath != nullptr)
    std::memcpy(archivePath, FileAccess.RememberedArchivePath,
                std::strlen(FileAccess.RememberedArchivePath) + 1);
  if (innerPath != nullptr) std::memcpy(innerPath, inner, innerLength + 1);
  return 0;
}

int SplitArchivePath(const char* path, int* archiveIndex, char* archivePath, char* innerPath) {
  return SplitArchivePathImpl(path, archiveIndex, archivePath, innerPath) == 0 ? 0 : -1;
}

FileHandle FileOpOpen(const char* path, uint32_t cacheFlag, uint32_t reserved, uint32_t asyncFlag) {
  (void)reserved;
  if (path == nullptr || path[0] == '\0') return INVALID_FILE_HANDLE;
  if (FileAccess.FileCount >= OPEN_FILE_MAX) {
    LogWrite("同時に開けるファイルの数が限界を超えました\n");
    return INVALID_FILE_HANDLE;
  }
  int slot = 0;
  while (slot < OPEN_FILE_MAX && FileAccess.Files[slot] != nullptr) ++slot;
  if (slot == OPEN_FILE_MAX) return INVALID_FILE_HANDLE;
  auto* entry = static_cast<OpenFileEntry*>(TrackedAllocZeroed(sizeof(OpenFileEntry), "", 0));
  if (entry == nullptr) {
    LogWrite("ファイルの情報を格納するメモリの確保に失敗しました\n");
    return INVALID_FILE_HANDLE;
  }
  int archiveIndex = -1;
  char inner[ARCHIVE_PATH_SIZE];
  int split = SplitArchivePathImpl(path, &archiveIndex, nullptr, inner);
  bool opened = false;
  if (split == -1) {
    entry->InArchive = 0;
    entry->PlainFile = WinFileOpen(path, cacheFlag, 1, asyncFlag);
    opened = entry->PlainFile != nullptr;
  } else if (split == 0) {
    entry->InArchive = 1;
    entry->ArchiveIndex = static_cast<uint32_t>(archiveIndex);
    opened =
        ArchiveOpenFile(&entry->Member, &ArchiveTable.Slots[archiveIndex]->Record, inner, asyncFlag) == 0;
    if (!opened) ReleaseArchive(archiveIndex);
  }
  if (!opened) {
    TrackedFree(entry);
    return INVALID_FILE_HANDLE;
  }
  FileAccess.Files[slot] = entry;
  ++FileAccess.FileCount;
  return FILE_HANDLE_TAG | static_cast<uint32_t>(slot);
}

int FileOpClose(FileHandle handle) {
  OpenFileEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  if (entry->InArchive) {
    ReleaseArchive(static_cast<int>(entry->ArchiveIndex));
    ArchiveCloseFile(&entry->Member);
  } else {
    WinFileClose(entry->PlainFile);
  }
  TrackedFree(entry);
  FileAccess.Files[handle & FILE_HANDLE_INDEX_MASK] = nullptr;
  --FileAccess.FileCount;
  return 0;
}

int64_t FileOpTell(FileHandle handle) {
  OpenFileEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  return entry->InArchive ? ArchiveTellFile(&entry->Member) : WinFileTell(entry->PlainFile);
}

int FileOpSeek(FileHandle handle, int64_t offset, int origin) {
  OpenFileEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  return entry->InArchive ? ArchiveSeekFile(&entry->Member, offset, origin)
                          : WinFileSeek(entry->PlainFile, offset, origin);
}

size_t FileOpRead(void* buffer, size_t elementSize, size_t count, FileHandle handle) {
  OpenFileEntry* entry = EntryOf(handle);
  if (entry == nullptr || elementSize == 0) return 0;
  if (!entry->InArchive) return WinFileRead(buffer, elementSize, count, entry->PlainFile);
  size_t bytes;
  if (__builtin_mul_overflow(elementSize, count, &bytes)) bytes = SIZE_MAX;
  return ArchiveReadFile(&entry->Member, buffer, bytes) / elementSize;
}

int FileOpEof(FileHandle handle) {
  OpenFileEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  return entry->InArchive ? ArchiveEofFile(&entry->Member) : WinFileEof(entry->PlainFile);
}

int FileOpIsIdle(FileHandle handle) {
  OpenFileEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  return entry->InArchive ? ArchiveFilePoll(&entry->Member) : WinFileIsIdle(entry->PlainFile);
}

int FileOpSetCurrentDir(const char* path) {
  if (path != nullptr) PlatSetCurrentDirectory(path);
  return 0;
}

int FileOpGetCurrentDir(char* buffer) {
  if (buffer == nullptr) return -1;
  std::string native = PlatGetCurrentDirectory();
  std::string text;
  if (!PlatUtf8ToCp932(native.data(), native.size(), &text)) text = native;
  if (text.size() + 1 > FILE_CURRENT_DIR_SIZE) {
    buffer[0] = '\0';
    return -1;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 0;
}

int InitFileAccess() {
  // A second start-up in one process must not strand files or threads.
  EndFileAccess();
  std::memset(&ArchiveTable, 0, sizeof(ArchiveTable));
  std::memset(&FileAccess, 0, sizeof(FileAccess));
  Forget();
  return 0;
}

int EndFileAccess() {
  for (int i = 0; i < OPEN_FILE_MAX; ++i)
    if (FileAccess.Files[i] != nullptr) FileOpClose(FILE_HANDLE_TAG | static_cast<uint32_t>(i));
  CloseUnusedArchives();
  Forget();
  return 0;
}
