// The VLK archive file: a directory tree of files packed into one file that
// stands in for a directory of the same name. Every byte is stored XORed with
// a 12-byte key chosen by its file position; members are stored as they are
// or compressed with the LZ scheme below. All numbers are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint16_t ARCHIVE_VERSION_MAX = 3;         // versions 0..3 are read
constexpr uint16_t ARCHIVE_VERSION_COMPRESSED = 2;  // from here members may be compressed
constexpr uint32_t ARCHIVE_ATTR_DIRECTORY = 0x10;
constexpr uint32_t ARCHIVE_NOT_COMPRESSED = 0xFFFFFFFFu;
constexpr uint32_t ARCHIVE_NO_PARENT = 0xFFFFFFFFu;
constexpr size_t ARCHIVE_HEADER_SIZE = 24;
constexpr size_t ARCHIVE_FILE_ENTRY_SIZE = 44;     // versions 2 and 3
constexpr size_t ARCHIVE_FILE_ENTRY_SIZE_V1 = 40;  // versions 0 and 1
constexpr size_t ARCHIVE_DIR_ENTRY_SIZE = 16;
constexpr size_t ARCHIVE_LZ_HEADER_SIZE = 9;
constexpr size_t ARCHIVE_KEY_SIZE = 12;
// The longest search name: 1,024 bytes with its padding.
constexpr size_t ARCHIVE_SEARCH_NAME_MAX = 1024;

#pragma pack(push, 1)
struct ArchiveHeader {
  char Magic[2];  // "VL"
  uint16_t Version;
  uint32_t DirBlockSize;
  uint32_t DataAreaOffset;   // added to every member's data offset
  uint32_t DirBlockOffset;   // file offset of the directory block
  uint32_t FileTableOffset;  // within the directory block
  uint32_t DirTableOffset;   // within the directory block
};
struct ArchiveNameEntry {
  uint16_t UnitCount;  // search name length in 4-byte units
  uint16_t CheckSum;   // sum of the search name's bytes
  // then 4*UnitCount bytes of search name, then the name as written + NUL
};
struct ArchiveFileEntry {
  uint32_t NameOffset;                                   // in the name table
  uint32_t Attributes;                                   // 0x10: directory
  uint64_t CreationTime, LastAccessTime, LastWriteTime;  // FILETIME
  uint32_t DataOffset;  // file: relative to the data area; directory: its dir entry
  uint32_t Size;
  uint32_t CompressedSize;  // version 2 on; ARCHIVE_NOT_COMPRESSED when stored
};
struct ArchiveDirEntry {
  uint32_t FileEntryOffset;  // the directory's own file entry
  uint32_t ParentOffset;     // ARCHIVE_NO_PARENT for the root
  uint32_t FileCount;
  uint32_t FirstFileOffset;  // its entries are contiguous
};
struct ArchiveLzHeader {
  uint32_t DecodedSize;
  uint32_t EncodedSize;  // these 9 bytes included
  uint8_t Escape;
};
#pragma pack(pop)
static_assert(sizeof(ArchiveHeader) == 24 && sizeof(ArchiveFileEntry) == 44 &&
              sizeof(ArchiveDirEntry) == 16 && sizeof(ArchiveLzHeader) == 9);

struct ArchiveKey {
  uint8_t Bytes[ARCHIVE_KEY_SIZE];
};

// A path component as the lookup compares it.
struct ArchiveSearchName {
  uint8_t Name[ARCHIVE_SEARCH_NAME_MAX];  // upper-cased, zero-padded to 4*UnitCount
  uint16_t CheckSum;
  uint16_t UnitCount;
};

// Builds the search name of the component at the start of text (up to its end
// or the first '\'); a-z become A-Z, Shift-JIS pairs stay as they are.
// Returns the bytes of text consumed, or -1 when the name does not fit.
int MakeArchiveSearchName(const char* text, ArchiveSearchName* out);

// The archive key built from the format's constants, and the fallback key.
void MakeArchiveKey(ArchiveKey* key);
void MakeArchiveFallbackKey(ArchiveKey* key);
// XORs byte i of buffer with key[(filePosition + i) mod 12]; scrambling and
// descrambling are the same operation.
void ArchiveKeyXor(size_t size, void* buffer, uint64_t filePosition, const ArchiveKey* key);

// Decodes an LZ block of blockSize bytes. Returns the decoded size from its
// header (without decoding when output is null), or -1 when the block is
// unsound: its header disagrees with blockSize, the decoded size does not fit
// outputSize, a code runs past the input or the output, a match reaches
// before the output's start, or the output is not filled exactly.
int64_t DecodeArchiveLz(const uint8_t* block, size_t blockSize, uint8_t* output, size_t outputSize);
// The greatest decoded size a block of blockSize bytes can describe.
uint64_t ArchiveLzMaxDecodedSize(uint64_t blockSize);
