// The archive reader: a table of open VLK archives with reference counts,
// member lookup by path, and members served as streams (compressed members
// are decoded whole at open; stored members are read on demand).
#pragma once
#include <cstddef>
#include <cstdint>

#include "file/vlkformat.h"
#include "file/winfile.h"
#include "platform/thread.h"

constexpr int ARCHIVE_MAX = 512;
constexpr size_t ARCHIVE_SLOT_PATH_SIZE = 256;

struct ArchiveRecord {
  ArchiveHeader Header;  // descrambled
  WinFileRecord* File;   // threaded and asynchronous
  uint64_t FileSize;
  uint8_t* DirBlock;  // owned
  uint32_t DirBlockSize;
  uint32_t FileEntrySize;    // 44 from version 2, else 40
  uint32_t FileTableOffset;  // tables as offsets inside the block
  uint32_t DirTableOffset;
  uint32_t CurrentDir;  // offset in the directory-entry table
  ArchiveKey Key;
  // Members share File and read by seek-then-read: member reads, seeks, tells
  // and end-of-file tests (and a member's opening read) hold this lock, so a
  // movie's decode thread and the main thread may read one archive at once.
  PlatCriticalSection Lock;
};

struct ArchiveSlot {
  int32_t RefCount;
  ArchiveRecord Record;
  char Path[ARCHIVE_SLOT_PATH_SIZE];
};

struct ArchiveTableState {
  ArchiveSlot* Slots[ARCHIVE_MAX];
  int Count;
};
extern ArchiveTableState ArchiveTable;

enum ArchivePendingRead : uint32_t {
  ARCHIVE_PENDING_NONE = 0,
  ARCHIVE_PENDING_BLOCK = 1,
  ARCHIVE_PENDING_PLAIN = 2
};

// An open member (inside an open-file entry).
struct ArchiveFileStream {
  ArchiveRecord* Archive;
  uint32_t Entry;             // offset of its file entry in the file-entry table
  uint32_t Size;              // member size
  uint32_t CompressedSize;    // ARCHIVE_NOT_COMPRESSED when stored
  uint64_t DataPosition;      // file offset of its data
  uint8_t* DecodedBuffer;     // the whole member, when compressed
  uint8_t* CompressedBuffer;  // while the block is being read
  uint32_t EofFlag;
  uint32_t Position;
  uint32_t AsyncFlag;
  uint32_t PendingRead;  // an ArchivePendingRead
  uint64_t PendingFilePosition;
  uint8_t* PendingDestination;
  uint32_t PendingSize;
  uint32_t PendingShortReads;  // the file's short-read count when the read began
  uint32_t Failed;             // a short read or a failed decode: reads give nothing
};

// Archive index or -1; takes one reference.
int OpenArchiveCached(int hint, const char* path);
int OpenArchiveFromFile(ArchiveRecord* record, const char* path);
int CloseArchive(ArchiveRecord* record);
void CloseUnusedArchives();
// Drops one reference of an archive slot.
void ReleaseArchive(int index);

// Reads size bytes at the file's current position (filePosition when not -1
// is the position used for descrambling), waits for them and descrambles.
// 0, or -1 when fewer bytes arrived.
int ArchiveReadKeyed(int64_t filePosition, void* buffer, size_t size, const ArchiveKey* key,
                     WinFileRecord* file);

int ArchiveFindDir(const ArchiveSearchName* name, ArchiveRecord* record);
int ArchiveFindPath(ArchiveRecord* record, const char* path, int restore, ArchiveSearchName* nameOut);
// The offset of the member's file entry in the file-entry table, or -1.
int64_t ArchiveFindFile(ArchiveRecord* record, const char* path);

int ArchiveOpenFile(ArchiveFileStream* stream, ArchiveRecord* record, const char* path, uint32_t asyncFlag);
int ArchiveFilePoll(ArchiveFileStream* stream);
size_t ArchiveReadFile(ArchiveFileStream* stream, void* buffer, size_t size);
int ArchiveSeekFile(ArchiveFileStream* stream, int64_t offset, int origin);
int64_t ArchiveTellFile(ArchiveFileStream* stream);
int ArchiveEofFile(ArchiveFileStream* stream);
int ArchiveCloseFile(ArchiveFileStream* stream);
