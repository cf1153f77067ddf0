// Seeded corruptions of small archives: opening and reading them must give an
// error or bounded data, never a crash, a hang or an access out of bounds
// (the sanitizer build watches the accesses).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "file/archive.h"
#include "file/vlkformat.h"
#include "file_test_util.h"

namespace {

std::vector<ArchiveWriterMember> SmallMembers() {
  return {
      {"a.txt", filetest::CompressibleBytes(300, 1), false},
      {"D\\b.bin", filetest::RandomBytes(40, 2), false},
      {"D\\E\\c.txt", filetest::CompressibleBytes(200, 3), false},
      {"z.bin", std::vector<uint8_t>(64, 'z'), false},
  };
}

const char* const kPaths[] = {"a.txt", "D\\b.bin",   "D\\E\\c.txt", "z.bin",
                              "D\\E",  "\\D\\b.bin", "..",          "D\\x"};

struct Layout {
  uint32_t DirBlockOffset, FileTableOffset, DirTableOffset, DirBlockSize, EntrySize;
};

Layout LayoutOf(const std::vector<uint8_t>& plain) {
  Layout l;
  std::memcpy(&l.DirBlockSize, plain.data() + 4, 4);
  std::memcpy(&l.DirBlockOffset, plain.data() + 12, 4);
  std::memcpy(&l.FileTableOffset, plain.data() + 16, 4);
  std::memcpy(&l.DirTableOffset, plain.data() + 20, 4);
  l.EntrySize = plain[2] >= 2 ? 44 : 40;
  return l;
}

// Opens the archive and reads every path in both modes; checks only bounds.
void Exercise(const char* file) {
  ArchiveRecord record{};
  if (OpenArchiveFromFile(&record, file) != 0) return;
  for (const char* path : kPaths) {
    for (uint32_t async : {0u, 1u}) {
      ArchiveFileStream stream{};
      if (ArchiveOpenFile(&stream, &record, path, async) != 0) continue;
      uint8_t buffer[97];
      uint64_t total = 0;
      for (int i = 0; i < 64; ++i) {
        size_t n = ArchiveReadFile(&stream, buffer, sizeof(buffer));
        ASSERT_LE(n, sizeof(buffer));
        while (ArchiveFilePoll(&stream) == 0) WinFileWaitIdle(record.File);
        if (n == 0) break;
        total += n;
      }
      ASSERT_LE(total, stream.Size);
      ArchiveSeekFile(&stream, -7, 2);
      ASSERT_LE(ArchiveTellFile(&stream), static_cast<int64_t>(stream.Size));
      ArchiveReadFile(&stream, buffer, sizeof(buffer));
      ArchiveCloseFile(&stream);
    }
    // Lookups restore the current directory; a failed walk with the restore
    // flag leaves it where it was.
    ASSERT_EQ(record.CurrentDir, 0u);
    if (ArchiveFindPath(&record, path, 1, nullptr) != 0) {
      ASSERT_EQ(record.CurrentDir, 0u);
    }
    record.CurrentDir = 0;
  }
  CloseArchive(&record);
}

void RunMutations(uint16_t version, uint32_t seed, int count) {
  filetest::ScratchDir dir;
  ArchiveWriterOptions options;
  options.Version = version;
  const auto scrambled = filetest::BuildArchiveBytes(SmallMembers(), options);
  ArchiveKey key;
  MakeArchiveKey(&key);
  auto plain = scrambled;
  ArchiveKeyXor(plain.size(), plain.data(), 0, &key);
  const Layout layout = LayoutOf(plain);
  // The unmutated archive reads back right.
  filetest::WriteBytes(dir.Path / "m.vlk", scrambled);
  {
    ArchiveRecord record{};
    ASSERT_EQ(OpenArchiveFromFile(&record, "m.vlk"), 0);
    ArchiveFileStream stream{};
    ASSERT_EQ(ArchiveOpenFile(&stream, &record, "D\\E\\c.txt", 0), 0);
    std::vector<uint8_t> back(200);
    ASSERT_EQ(ArchiveReadFile(&stream, back.data(), 300), 200u);
    EXPECT_EQ(back, filetest::CompressibleBytes(200, 3));
    ArchiveCloseFile(&stream);
    CloseArchive(&record);
  }
  static const uint32_t kExtremes[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0, 24, 44};
  std::mt19937 rng(seed);
  for (int i = 0; i < count; ++i) {
    auto m = plain;
    switch (rng() % 6) {
      case 0:  // bit flips in the directory block
        for (int k = 0, n = 1 + rng() % 3; k < n; ++k)
          m[layout.DirBlockOffset + rng() % layout.DirBlockSize] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1: {  // an extreme value over a header field
        uint32_t v = kExtremes[rng() % 9];
        std::memcpy(m.data() + 4 + 4 * (rng() % 5), &v, 4);
        break;
      }
      case 2: {  // an extreme value over a field of a file or directory entry
        uint32_t v = kExtremes[rng() % 9];
        uint32_t tableSize = layout.DirTableOffset - layout.FileTableOffset;
        uint32_t at = rng() % 2
                          ? layout.DirBlockOffset + layout.FileTableOffset + (rng() % (tableSize / 4)) * 4
                          : layout.DirBlockOffset + layout.DirTableOffset +
                                (rng() % ((layout.DirBlockSize - layout.DirTableOffset) / 4)) * 4;
        std::memcpy(m.data() + at, &v, 4);
        break;
      }
      case 3:  // bit flips anywhere (member data and LZ blocks included)
        for (int k = 0, n = 1 + rng() % 4; k < n; ++k)
          m[rng() % m.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 4:  // truncation
        m.resize(rng() % m.size());
        break;
      default:  // a random byte over the data area (LZ headers and codes)
        m[24 + rng() % (layout.DirBlockOffset - 24)] = static_cast<uint8_t>(rng());
        break;
    }
    ArchiveKeyXor(m.size(), m.data(), 0, &key);
    filetest::WriteBytes(dir.Path / "m.vlk", m);
    ASSERT_NO_FATAL_FAILURE(Exercise("m.vlk")) << "mutation " << i;
  }
}

TEST(ArchiveMutation, VersionTwoArchives) { RunMutations(2, 1001, 900); }
TEST(ArchiveMutation, VersionTwoArchivesMoreSeeds) { RunMutations(2, 2002, 900); }
TEST(ArchiveMutation, VersionOneArchives) { RunMutations(1, 3003, 600); }

}  // namespace
