// The file-access table: every file access of the library goes through these
// operations, so that a member of a VLK archive and a plain file read alike.
#pragma once
#include <cstddef>
#include <cstdint>

// 0xF0000000 joined with the slot of the open-file table; 0 means failure.
using FileHandle = uint32_t;
constexpr FileHandle FILE_HANDLE_TAG = 0xF0000000u;
constexpr FileHandle FILE_HANDLE_INDEX_MASK = 0x0FFFFFFFu;
constexpr FileHandle INVALID_FILE_HANDLE = 0;

// Room of the current-directory buffer handed to GetCurrentDir.
constexpr size_t FILE_CURRENT_DIR_SIZE = 256;

struct FileFindData;  // find operations exist as slots only; nothing calls them

struct FileAccessTableRec {
  // path, cache flag, reserved (callers pass 1), async flag → handle or 0.
  FileHandle (*Open)(const char* path, uint32_t cacheFlag, uint32_t reserved, uint32_t asyncFlag);
  int (*Close)(FileHandle handle);                             // 0 or -1
  int64_t (*Tell)(FileHandle handle);                          // position or -1
  int (*Seek)(FileHandle handle, int64_t offset, int origin);  // 0 or -1
  // Whole elements read; 0 for a handle that names no open file.
  size_t (*Read)(void* buffer, size_t elementSize, size_t count, FileHandle handle);
  int (*Eof)(FileHandle handle);           // -1 at the end (or bad handle), else 0
  int (*IsIdle)(FileHandle handle);        // 1 when no read is pending, 0, or -1
  int (*SetCurrentDir)(const char* path);  // 0
  // Writes the current directory (code page 932, at most
  // FILE_CURRENT_DIR_SIZE bytes with the terminator) into buffer; 0 or -1.
  int (*GetCurrentDir)(char* buffer);
  intptr_t (*FindFirst)(const char* pattern, FileFindData* out);
  int (*FindNext)(intptr_t find, FileFindData* out);
  int (*FindClose)(intptr_t find);
};

// The table in force; holds the archive-aware set from static initialisation.
extern FileAccessTableRec FileAccessTable;

// Installs the archive-aware set. 0.
int SelectFileAccessBackend(void* reserved = nullptr);

// Each calls the operation standing in its slot now.
FileHandle FileOpenDispatch(const char* path, uint32_t cacheFlag, uint32_t reserved, uint32_t asyncFlag);
int FileCloseDispatch(FileHandle handle);
int64_t FileTellDispatch(FileHandle handle);
int FileSeekDispatch(FileHandle handle, int64_t offset, int origin);
size_t FileReadDispatch(void* buffer, size_t elementSize, size_t count, FileHandle handle);
int FileEofDispatch(FileHandle handle);
int FileIdleDispatch(FileHandle handle);
int ChangeDirDispatch(const char* path);
int GetDirDispatch(char* buffer);
