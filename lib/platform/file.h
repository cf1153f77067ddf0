// Files, directories and the mapping of the system's paths to this machine's.
//
// The system writes paths with '\' (and sometimes '/'); both separate
// components here. Each component is found case-insensitively, so
// "graphic\BG.bmp" opens graphic/bg.bmp. Names are code page 932 and become
// UTF-8 where they meet the file system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

using PlatFile = intptr_t;
constexpr PlatFile PLAT_INVALID_FILE = -1;

enum PlatOpenMode {
  PLAT_OPEN_READ = 0,        // existing file, read only
  PLAT_OPEN_WRITE_EXISTING,  // existing file, read and write
  PLAT_OPEN_ALWAYS,          // read and write, created when missing
  PLAT_CREATE_NEW,           // read and write, fails when the file exists
  PLAT_CREATE_ALWAYS,        // read and write, emptied or created
};

enum PlatSeekOrigin { PLAT_SEEK_SET = 0, PLAT_SEEK_CUR = 1, PLAT_SEEK_END = 2 };

// Maps a system path (CP932, '\' or '/' separators, any case) to a native
// UTF-8 path. Components that exist are replaced by their real spelling; the
// rest are kept as written (so a file can still be created). A relative path
// stays relative to the current directory.
std::string PlatMapPath(const char* systemPath);

PlatFile PlatOpenFile(const char* systemPath, PlatOpenMode mode);
void PlatCloseFile(PlatFile file);
// Bytes read (0 at the end), or -1 on error.
int64_t PlatReadFile(PlatFile file, void* buffer, size_t size);
// Bytes written, or -1 on error. Fewer than size when the error came part way
// (a full disk): the bytes before it are in the file.
int64_t PlatWriteFile(PlatFile file, const void* buffer, size_t size);
// New position from the start, or -1 on error.
int64_t PlatSeekFile(PlatFile file, int64_t offset, PlatSeekOrigin origin);
// Size in bytes, or -1 on error.
int64_t PlatFileSize(PlatFile file);
// 0 on success, -1 on failure.
int PlatDeleteFile(const char* systemPath);

// 1 when the path names an existing regular file / directory.
int PlatIsFile(const char* systemPath);
int PlatIsDirectory(const char* systemPath);
// Creates a directory; 0 or -1.
int PlatCreateDirectory(const char* systemPath);
// 0 or -1.
int PlatRemoveDirectory(const char* systemPath);

// The current directory, as an absolute native path without a trailing '/'
// (except for the root itself).
std::string PlatGetCurrentDirectory();
// 0 or -1.
int PlatSetCurrentDirectory(const char* systemPath);

// A directory for temporary files (ends with '/').
std::string PlatGetTempDirectory();
// Creates a new empty file with a unique name in `directory` whose name
// starts with `prefix`; returns its path, or "" on failure.
std::string PlatCreateTempFile(const char* directory, const char* prefix);

// Directory listing: an entry of a directory.
struct PlatDirEntry {
  std::string Name;  // UTF-8 name of the entry
  int IsDirectory;
  uint64_t Size;
};
struct PlatDirRec;
using PlatDir = PlatDirRec*;
// Opens a directory for listing; null on failure.
PlatDir PlatOpenDir(const char* systemPath);
// The next entry ("." and ".." are skipped); 0 when there is none, 1 otherwise.
int PlatReadDir(PlatDir dir, PlatDirEntry* out);
void PlatCloseDir(PlatDir dir);

// Test seam: the open file takes `allowedBytes` more bytes and then behaves as
// a full disk (the write that crosses the limit is short, every later one
// fails). Ends when the file is closed, or when called with PLAT_INVALID_FILE.
void PlatFileFailWritesAfter(PlatFile file, int64_t allowedBytes);
