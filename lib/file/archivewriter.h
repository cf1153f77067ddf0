// Builds VLK archives: from a list of members in memory, or by packing a
// directory tree. The tool vlkpack and the tests share it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ArchiveWriterMember {
  std::string Path;  // code page 932, components separated by '\'
  std::vector<uint8_t> Data;
  bool IsDirectory = false;  // an empty directory (files make theirs)
};

struct ArchiveWriterOptions {
  uint16_t Version = 2;         // 0..3; below 2 every member is stored
  bool Compress = true;         // compress members where that saves bytes
  bool UseFallbackKey = false;  // scramble with the fallback key
};

// The whole archive file as bytes; false (with a message) on a bad member
// (empty component, name too long, file and directory of one name).
bool BuildArchive(const std::vector<ArchiveWriterMember>& members, const ArchiveWriterOptions& options,
                  std::vector<uint8_t>* out, std::string* error);
// Reads every file under the directory (names become code page 932).
bool CollectDirectoryMembers(const char* directory, std::vector<ArchiveWriterMember>* out,
                             std::string* error);
// Packs a directory into an archive file.
bool PackDirectory(const char* directory, const char* archivePath, const ArchiveWriterOptions& options,
                   std::string* error);
