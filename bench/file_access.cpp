// File layer speed, each figure beside its anchor:
//   LZ decoding of a 4 MiB mixed member  vs  zlib inflate (level 6)  vs  memcpy
//   descrambling                         vs  memcpy
//   reading a 4 MiB stored member in 8 B, 4 KiB and 64 KiB reads, plain and
//   archived, synchronous and through the read-ahead thread, with the
//   process's CPU time (all threads) beside the wall time.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "file/archivewriter.h"
#include "file/lzencode.h"
#include "file/openfile.h"
#include "file/vlkformat.h"

namespace {

constexpr size_t kMember = 4u << 20;

// 4 MiB: 1.5 MiB of text, a 1.5 MiB 24-bit BMP with smooth areas, 1 MiB of noise.
const std::vector<uint8_t>& MixedData() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> out;
    std::mt19937 rng(1);
    static const char* const kWords[] = {"the ",   "falling ", "block ", "piece ",     "clears ", "rows, ",
                                         "sends ", "garbage ", "to ",    "opponent. ", "\r\n",    "LEVEL3 "};
    while (out.size() < 1536u * 1024) {
      const char* w = kWords[rng() % 12];
      out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(1536u * 1024);
    const uint32_t width = 512, height = 1024;  // 512*3*1024 = 1.5 MiB of pixels
    uint8_t header[54] = {'B', 'M'};
    uint32_t fileSize = 54 + width * 3 * height, offset = 54, infoSize = 40, imageSize = width * 3 * height;
    std::memcpy(header + 2, &fileSize, 4);
    std::memcpy(header + 10, &offset, 4);
    std::memcpy(header + 14, &infoSize, 4);
    std::memcpy(header + 18, &width, 4);
    std::memcpy(header + 22, &height, 4);
    header[26] = 1;
    header[28] = 24;
    std::memcpy(header + 34, &imageSize, 4);
    out.insert(out.end(), header, header + 54);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        bool flat = ((x / 64) + (y / 64)) % 2 == 0;
        out.push_back(flat ? 0x20 : static_cast<uint8_t>(x + (rng() % 4)));
        out.push_back(flat ? 0x80 : static_cast<uint8_t>(y));
        out.push_back(flat ? 0xF0 : static_cast<uint8_t>(x ^ y));
      }
    while (out.size() < kMember) out.push_back(static_cast<uint8_t>(rng()));
    out.resize(kMember);
    return out;
  }();
  return data;
}

void BM_LzDecode(benchmark::State& state) {
  const auto& data = MixedData();
  static const std::vector<uint8_t> block = EncodeArchiveLz(data.data(), data.size());
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    int64_t n = DecodeArchiveLz(block.data(), block.size(), out.data(), out.size());
    benchmark::DoNotOptimize(n);
  }
  if (out != data) state.SkipWithError("decode differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(block.size()) / data.size();
}
BENCHMARK(BM_LzDecode)->Unit(benchmark::kMillisecond);

void BM_ZlibInflateLevel6(benchmark::State& state) {
  const auto& data = MixedData();
  static const std::vector<uint8_t> packed = [&] {
    uLongf size = compressBound(data.size());
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, data.data(), data.size(), 6);
    out.resize(size);
    return out;
  }();
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    uLongf size = out.size();
    int r = uncompress(out.data(), &size, packed.data(), packed.size());
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(packed.size()) / data.size();
}
BENCHMARK(BM_ZlibInflateLevel6)->Unit(benchmark::kMillisecond);

void BM_Memcpy4MiB(benchmark::State& state) {
  const auto& data = MixedData();
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    std::memcpy(out.data(), data.data(), data.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Memcpy4MiB)->Unit(benchmark::kMillisecond);

void BM_Descramble4MiB(benchmark::State& state) {
  std::vector<uint8_t> buffer = MixedData();
  ArchiveKey key;
  MakeArchiveKey(&key);
  uint64_t position = 13;
  for (auto _ : state) {
    ArchiveKeyXor(buffer.size(), buffer.data(), position, &key);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(BM_Descramble4MiB)->Unit(benchmark::kMillisecond);

// A scratch directory holding plain.bin and data.vlk (big.bin stored), made current.
void PrepareFiles() {
  static bool done = false;
  if (done) return;
  done = true;
  auto dir = std::filesystem::temp_directory_path() / "vx-bench-files";
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  std::mt19937 rng(2);
  ArchiveWriterMember member{"big.bin", std::vector<uint8_t>(kMember), false};
  for (auto& b : member.Data) b = static_cast<uint8_t>(rng());
  std::ofstream(dir / "plain.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(member.Data.data()), static_cast<std::streamsize>(kMember));
  ArchiveWriterOptions options;
  options.Compress = false;
  std::vector<uint8_t> archive;
  std::string error;
  BuildArchive({member}, options, &archive, &error);
  std::ofstream(dir / "data.vlk", std::ios::binary)
      .write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
  InitFileAccess();
}

// args: read size, archived (0/1), mode (0 direct/sync, 1 read-ahead thread sync (cache), 2 async)
void BM_Read4MiB(benchmark::State& state) {
  PrepareFiles();
  const size_t chunk = static_cast<size_t>(state.range(0));
  const bool archived = state.range(1) != 0;
  const int mode = static_cast<int>(state.range(2));
  const char* path = archived ? "data\\big.bin" : "plain.bin";
  const uint32_t cache = mode == 1 ? 1 : 0, async = mode == 2 ? 1 : 0;
  std::vector<uint8_t> out(kMember);
  for (auto _ : state) {
    FileHandle h = FileOpOpen(path, cache, 1, async);
    if (h == 0) {
      state.SkipWithError("open failed");
      break;
    }
    size_t total = 0;
    // Asynchronous reads go to distinct places; each read waits for the one before.
    while (total < kMember) {
      size_t n = FileOpRead(out.data() + total, 1, chunk, h);
      if (n == 0) break;
      total += n;
    }
    FileOpTell(h);
    FileOpClose(h);
    if (total != kMember) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMember));
}
BENCHMARK(BM_Read4MiB)
    ->ArgNames({"read", "archived", "mode"})
    ->ArgsProduct({{8, 4096, 65536}, {0, 1}, {0, 1, 2}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
