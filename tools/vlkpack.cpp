// vlkpack: packs a directory into a VLK archive and reads every member back
// through the library's archive reader to prove the archive round-trips.
//
//   vlkpack [--version N] [--store] [--fallback-key] <directory> <archive>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "file/archive.h"
#include "file/archivewriter.h"
#include "platform/codepage.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vlkpack [--version 0-3] [--store] [--fallback-key] <directory> <archive.vlk>\n"
               "  --version N     archive version (default 2; below 2 members are stored)\n"
               "  --store         store every member uncompressed\n"
               "  --fallback-key  scramble with the fallback key\n");
  return 2;
}

// Reads every member back and compares it with the bytes packed.
bool Verify(const char* archivePath, const std::vector<ArchiveWriterMember>& members, std::string* error) {
  std::string systemPath;
  if (!PlatUtf8ToCp932(archivePath, std::strlen(archivePath), &systemPath)) systemPath = archivePath;
  ArchiveRecord record{};
  if (OpenArchiveFromFile(&record, systemPath.c_str()) != 0)
    return *error = "the archive does not open", false;
  bool ok = true;
  for (const ArchiveWriterMember& member : members) {
    if (member.IsDirectory) continue;
    ArchiveFileStream stream{};
    if (ArchiveOpenFile(&stream, &record, member.Path.c_str(), 0) != 0) {
      *error = "member not found: " + member.Path;
      ok = false;
      break;
    }
    std::vector<uint8_t> back(member.Data.size() + 1);
    size_t got = ArchiveReadFile(&stream, back.data(), back.size());
    ArchiveCloseFile(&stream);
    if (got != member.Data.size() || std::memcmp(back.data(), member.Data.data(), got) != 0) {
      *error = "member differs: " + member.Path;
      ok = false;
      break;
    }
  }
  CloseArchive(&record);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  ArchiveWriterOptions options;
  std::vector<const char*> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--store") == 0) {
      options.Compress = false;
    } else if (std::strcmp(argv[i], "--fallback-key") == 0) {
      options.UseFallbackKey = true;
    } else if (std::strcmp(argv[i], "--version") == 0 && i + 1 < argc) {
      int version = std::atoi(argv[++i]);
      if (version < 0 || version > 3) return Usage();
      options.Version = static_cast<uint16_t>(version);
    } else if (argv[i][0] == '-') {
      return Usage();
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 2) return Usage();
  std::string error;
  std::vector<ArchiveWriterMember> members;
  if (!CollectDirectoryMembers(positional[0], &members, &error) ||
      !PackDirectory(positional[0], positional[1], options, &error)) {
    std::fprintf(stderr, "vlkpack: %s\n", error.c_str());
    return 1;
  }
  if (!Verify(positional[1], members, &error)) {
    std::fprintf(stderr, "vlkpack: verification failed: %s\n", error.c_str());
    return 1;
  }
  size_t files = 0;
  for (const ArchiveWriterMember& m : members) files += m.IsDirectory ? 0 : 1;
  std::printf("vlkpack: %zu files packed into %s\n", files, positional[1]);
  return 0;
}
