// Helpers of the file tests: a scratch directory that is also the current
// directory, files written into it, and archives built in memory.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "file/archivewriter.h"
#include "file/openfile.h"
#include "platform/clock.h"

namespace filetest {

// A fresh directory under the system's temporary directory, made current for
// the test (every test runs in its own process) and removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    Path = std::filesystem::temp_directory_path() / ("vxfile-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(Path);
    Previous = std::filesystem::current_path();
    std::filesystem::current_path(Path);
  }
  ~ScratchDir() {
    std::filesystem::current_path(Previous);
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::filesystem::path Path;
  std::filesystem::path Previous;
};

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Bytes that compress: words repeated with variations.
inline std::vector<uint8_t> CompressibleBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"block ", "piece ", "well ", "garbage ",
                                       "row ",   "clear ", "\r\n",  "LEVEL"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  while (out.size() < size) {
    const char* w = kWords[rng() % 8];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    if (rng() % 5 == 0) out.push_back(static_cast<uint8_t>(rng()));
  }
  out.resize(size);
  return out;
}

inline std::vector<uint8_t> BuildArchiveBytes(const std::vector<ArchiveWriterMember>& members,
                                              const ArchiveWriterOptions& options = {}) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(BuildArchive(members, options, &out, &error)) << error;
  return out;
}

// Reads a whole file through the file-access table; false when it does not open.
inline bool ReadThroughTable(const char* path, std::vector<uint8_t>* out, uint32_t asyncFlag = 0) {
  FileHandle h = FileOpOpen(path, 0, 1, asyncFlag);
  if (h == 0) return false;
  out->clear();
  uint8_t buffer[777];
  for (;;) {
    size_t n = FileOpRead(buffer, 1, sizeof(buffer), h);
    while (FileOpIsIdle(h) == 0) PlatSleep(0);
    if (n == 0) break;
    out->insert(out->end(), buffer, buffer + n);
  }
  EXPECT_EQ(FileOpEof(h), -1);
  EXPECT_EQ(FileOpClose(h), 0);
  return true;
}

}  // namespace filetest
