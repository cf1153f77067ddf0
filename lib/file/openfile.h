// The archive-aware file operations: a directory on a path may be replaced by
// an archive file beside it with the directory's name and ".VLK". Every open
// file lives in a table of 512 entries and is named by a FileHandle.
#pragma once
#include <cstddef>
#include <cstdint>

#include "file/archive.h"
#include "file/fileaccess.h"
#include "file/winfile.h"

constexpr int OPEN_FILE_MAX = 512;
// Room of the full, archive and inner paths (with the terminator).
constexpr size_t ARCHIVE_PATH_SIZE = 256;
// Room of an absolute path made from the current directory.
constexpr size_t FULL_PATH_SIZE = 260;

struct OpenFileEntry {
  uint32_t InArchive;        // 1 for an archive member
  WinFileRecord* PlainFile;  // when not in an archive
  uint32_t ArchiveIndex;     // slot in the archive table
  ArchiveFileStream Member;
};

struct FileAccessState {
  OpenFileEntry* Files[OPEN_FILE_MAX];
  int FileCount;
  // The archive last found by probing (prefix length 0: nothing remembered).
  char RememberedArchivePath[ARCHIVE_PATH_SIZE];
  int RememberedArchiveIndex;
  size_t RememberedPrefixLength;
};
extern FileAccessState FileAccess;

FileHandle FileOpOpen(const char* path, uint32_t cacheFlag, uint32_t reserved, uint32_t asyncFlag);
int FileOpClose(FileHandle handle);
int64_t FileOpTell(FileHandle handle);
int FileOpSeek(FileHandle handle, int64_t offset, int origin);
size_t FileOpRead(void* buffer, size_t elementSize, size_t count, FileHandle handle);
int FileOpEof(FileHandle handle);
int FileOpIsIdle(FileHandle handle);
int FileOpSetCurrentDir(const char* path);
int FileOpGetCurrentDir(char* buffer);

// 0 when the path runs through an archive (one reference taken on it; the
// caller releases it), -1 otherwise. archivePath and innerPath hold
// ARCHIVE_PATH_SIZE bytes each when given.
int SplitArchivePath(const char* path, int* archiveIndex, char* archivePath, char* innerPath);
// The absolute, upper-cased form of a path with '\' separators (out holds
// FULL_PATH_SIZE bytes); 0, or -1 when it does not fit.
int MakeFullPathFromCurrentDir(const char* path, char* out);

// Clears the tables (library start-up). 0.
int InitFileAccess();
// Closes every file still open and every archive (library end). 0.
int EndFileAccess();
