// The file-access table and its dispatchers.
#include "file/fileaccess.h"

#include "file/openfile.h"

namespace {

intptr_t NoFindFirst(const char*, FileFindData*) { return -1; }
int NoFindNext(intptr_t, FileFindData*) { return -1; }
int NoFindClose(intptr_t) { return -1; }

constexpr FileAccessTableRec kArchiveAwareSet = {
    FileOpOpen,   FileOpClose,         FileOpTell,          FileOpSeek,  FileOpRead, FileOpEof,
    FileOpIsIdle, FileOpSetCurrentDir, FileOpGetCurrentDir, NoFindFirst, NoFindNext, NoFindClose,
};

}  // namespace

FileAccessTableRec FileAccessTable = kArchiveAwareSet;

int SelectFileAccessBackend(void*) {
  FileAccessTable = kArchiveAwareSet;
  return 0;
}

FileHandle FileOpenDispatch(const char* path, uint32_t cacheFlag, uint32_t reserved, uint32_t asyncFlag) {
  return FileAccessTable.Open(path, cacheFlag, reserved, asyncFlag);
}
int FileCloseDispatch(FileHandle handle) { return FileAccessTable.Close(handle); }
int64_t FileTellDispatch(FileHandle handle) { return FileAccessTable.Tell(handle); }
int FileSeekDispatch(FileHandle handle, int64_t offset, int origin) {
  return FileAccessTable.Seek(handle, offset, origin);
}
size_t FileReadDispatch(void* buffer, size_t elementSize, size_t count, FileHandle handle) {
  return FileAccessTable.Read(buffer, elementSize, count, handle);
}
int FileEofDispatch(FileHandle handle) { return FileAccessTable.Eof(handle); }
int FileIdleDispatch(FileHandle handle) { return FileAccessTable.IsIdle(handle); }
int ChangeDirDispatch(const char* path) { return FileAccessTable.SetCurrentDir(path); }
int GetDirDispatch(char* buffer) { return FileAccessTable.GetCurrentDir(buffer); }
