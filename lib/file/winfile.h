// Read-only access to one plain file, directly or through a read-ahead thread
// of its own that runs open, read, seek and close commands for the main
// thread, so a read can be started and left running (asynchronous read).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/file.h"
#include "platform/thread.h"

// Longest path a file record holds (with the terminator).
constexpr size_t WIN_FILE_PATH_SIZE = 260;
// Read-ahead cache of a file opened with the cache flag.
constexpr uint32_t WIN_FILE_CACHE_SIZE = 0x20000;
// Idle time after which the thread fills the cache.
constexpr uint32_t WIN_FILE_CACHE_IDLE_MS = 100;

enum FileThreadCommand : uint32_t {
  FILE_THREAD_OPEN = 0,
  FILE_THREAD_CLOSE = 1,
  FILE_THREAD_READ = 2,
  FILE_THREAD_SEEK = 3,
  FILE_THREAD_EXIT = 4,
};

// The main thread touches the command, operands and cache only while the done
// event is set; the thread only between taking the command event and setting
// the done event. The events order the memory accesses.
struct WinFileRecord {
  PlatFile File;      // direct mode only
  uint32_t Threaded;  // 1 when the cache or async flag was given
  uint32_t CacheFlag;
  uint32_t AsyncFlag;
  uint32_t EofFlag;
  uint64_t Position;  // as the reader sees it; may lie past the size
  uint64_t Size;      // taken at open
  PlatThread Thread;
  PlatFile ThreadFile;     // the file as the thread opened it
  PlatEvent CommandEvent;  // manual reset, created clear
  PlatEvent DoneEvent;     // manual reset, created set
  uint32_t Command;        // a FileThreadCommand
  std::atomic<uint32_t> ThreadEnded;
  uint32_t OpenError;
  char Path[WIN_FILE_PATH_SIZE];
  uint8_t* ReadDestination;
  uint64_t ReadPosition;
  uint64_t ReadSize;  // the thread overwrites it with the bytes it read
  uint64_t SeekPosition;
  // Reads the thread delivered short of their size (the file shrank or
  // failed); compared before and after a read to detect a short one.
  uint32_t ShortReadCount;
  uint8_t* Cache;  // WIN_FILE_CACHE_SIZE bytes, or null
  uint64_t CacheFilePosition;
  uint32_t CacheCount;
};

// Null on failure (missing file: no log line). reserved is ignored. A thread
// still running when the process exits is stopped then (the record stays; its
// reads and seeks fail from then on).
WinFileRecord* WinFileOpen(const char* path, uint32_t cacheFlag, uint32_t reserved, uint32_t asyncFlag);
// 0; frees the record. No thread is left running.
int WinFileClose(WinFileRecord* record);
int64_t WinFileTell(WinFileRecord* record);
// Stores the target (even past the size) and clears eof; 0, or -1 for a
// target outside 0..4 GiB or a failed direct seek.
int WinFileSeek(WinFileRecord* record, int64_t offset, int origin);
// Whole elements. At or past the end: 0 and eof. Asynchronous reads return the
// clamped count at once; poll WinFileIsIdle before touching the buffer.
size_t WinFileRead(void* buffer, size_t elementSize, size_t count, WinFileRecord* record);
int WinFileEof(WinFileRecord* record);
// 1 in direct mode or when the thread is idle, else 0 (does not wait).
int WinFileIsIdle(WinFileRecord* record);
// Sleeps on the done event until the thread is idle.
void WinFileWaitIdle(WinFileRecord* record);
// Bytes the thread really read in its last read command (waits until idle).
uint64_t WinFileLastReadSize(WinFileRecord* record);
// Number of reads so far that delivered fewer bytes than asked (waits until idle).
uint32_t WinFileShortReadCount(WinFileRecord* record);
// Registers now the exit handler that stops the read-ahead threads (the first
// thread does otherwise). A layer whose own threads read files calls it before
// registering its handler, so that its threads are stopped before the files'.
void WinFileArmExitStop();
// The read-ahead thread.
uint32_t FileAccessThreadProc(void* record);

// Creates a new temporary file for writing; writes its absolute path (at most
// WIN_FILE_PATH_SIZE bytes) into pathOut when given. PLAT_INVALID_FILE when no
// name could be made or the create failed.
PlatFile CreateTempFileForWrite(char* pathOut);

// Makes path absolute against base (or the current directory of the table).
// out holds WIN_FILE_PATH_SIZE bytes. '\' and '/' separate; a leading
// separator is the root; "." is skipped, ".." steps back (never past the
// root); a last component is kept as it stands. Case is kept. -1 for an empty
// component inside the path or a result that does not fit.
int MakeFullPath(const char* path, char* out, const char* base);
