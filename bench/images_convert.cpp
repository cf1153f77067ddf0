// Converting 640 x 480 between 5-6-5, X8R8G8B8 and 24-bit, in MB/s of
// destination bytes, next to memcpy of the same number of bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "graphics/geometry.h"
#include "image/convert.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

ColorFormat Fmt(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  MakeColorFormatImpl(&f, bits, r, g, b, a);
  return f;
}
const ColorFormat k565 = Fmt(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat kX888 = Fmt(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kA888 = Fmt(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat kRgb24 = Fmt(24, 0xFF0000, 0xFF00, 0xFF, 0);

void Convert(benchmark::State& state, const ColorFormat& d, const ColorFormat& s, int mirror = 0) {
  const int sp = kWidth * s.BytesPerPixel, dp = kWidth * d.BytesPerPixel;
  std::vector<uint8_t> src(size_t(sp) * kHeight), dst(size_t(dp) * kHeight);
  for (size_t i = 0; i < src.size(); i++) src[i] = uint8_t(i * 2654435761u >> 13);
  Rect r{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    ConvertPixelRect(dst.data(), dp, &d, src.data(), sp, &s, nullptr, 0, nullptr, 0, 0, &r, mirror, 0, 0, 0,
                     0, 0, 0, 0);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.size()));
}

void Memcpy(benchmark::State& state, int bytesPerPixel) {
  std::vector<uint8_t> src(size_t(kWidth) * kHeight * bytesPerPixel, 1), dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.size()));
}

void BM_Memcpy_2Bytes(benchmark::State& s) { Memcpy(s, 2); }
void BM_Memcpy_3Bytes(benchmark::State& s) { Memcpy(s, 3); }
void BM_Memcpy_4Bytes(benchmark::State& s) { Memcpy(s, 4); }
void BM_565_to_X888(benchmark::State& s) { Convert(s, kX888, k565); }
void BM_X888_to_565(benchmark::State& s) { Convert(s, k565, kX888); }
void BM_RGB24_to_565(benchmark::State& s) { Convert(s, k565, kRgb24); }
void BM_565_to_RGB24(benchmark::State& s) { Convert(s, kRgb24, k565); }
void BM_RGB24_to_X888(benchmark::State& s) { Convert(s, kX888, kRgb24); }
void BM_X888_to_RGB24(benchmark::State& s) { Convert(s, kRgb24, kX888); }
void BM_RGB24_to_A888_Mirror_General(benchmark::State& s) { Convert(s, kA888, kRgb24, 1); }
void BM_X888_to_X888_Copy(benchmark::State& s) { Convert(s, kX888, kX888); }
void BM_565_to_X888_Mirror_General(benchmark::State& s) { Convert(s, kX888, k565, 1); }
void BM_A888_to_565(benchmark::State& s) { Convert(s, k565, kA888); }

}  // namespace

BENCHMARK(BM_Memcpy_2Bytes);
BENCHMARK(BM_Memcpy_3Bytes);
BENCHMARK(BM_Memcpy_4Bytes);
BENCHMARK(BM_565_to_X888);
BENCHMARK(BM_X888_to_565);
BENCHMARK(BM_RGB24_to_565);
BENCHMARK(BM_565_to_RGB24);
BENCHMARK(BM_RGB24_to_X888);
BENCHMARK(BM_X888_to_RGB24);
BENCHMARK(BM_RGB24_to_A888_Mirror_General);
BENCHMARK(BM_X888_to_X888_Copy);
BENCHMARK(BM_565_to_X888_Mirror_General);
BENCHMARK(BM_A888_to_565);
BENCHMARK_MAIN();
