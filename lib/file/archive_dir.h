// Bounds-checked views of an archive's directory block (internal to the
// archive reader). Every offset read from the archive goes through these.
#pragma once
#include <cstdint>

#include "file/archive.h"

// False when the entry does not lie whole inside its table in the block.
bool ArchiveFileEntryAt(const ArchiveRecord* record, uint64_t offset, ArchiveFileEntry* out);
bool ArchiveDirEntryAt(const ArchiveRecord* record, uint64_t offset, ArchiveDirEntry* out);
// 1 when the name record at nameOffset holds exactly this search name.
bool ArchiveNameMatches(const ArchiveRecord* record, uint64_t nameOffset, const ArchiveSearchName* name);
// Scans the current directory for an entry of this name that is a directory
// (wantDirectory) or a file; its file-entry offset, or -1.
int64_t ArchiveScanCurrentDir(const ArchiveRecord* record, const ArchiveSearchName* name, bool wantDirectory);
