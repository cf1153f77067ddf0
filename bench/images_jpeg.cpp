// Decoding a 640 x 480 JPEG through the library (decoder table, stream source,
// BGR rows in a tracked buffer) side by side with libjpeg decoding the same
// file from memory by itself.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "file/stream.h"
#include "graphics/imagedecode.h"
#include "graphics/pixelimage.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kWidth = 640, kHeight = 480;

Bytes MakeJpegFile() {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  Bytes row(size_t(kWidth) * 3);
  while (c.next_scanline < c.image_height) {
    const int y = int(c.next_scanline);
    for (int x = 0; x < kWidth; ++x)
      for (int k = 0; k < 3; ++k) row[size_t(x) * 3 + k] = uint8_t((x * (k + 1) + y * (3 - k)) / 4 + (x * 7 + y * 13) % 11);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

const Bytes& JpegFile() {
  static const Bytes f = MakeJpegFile();
  return f;
}

void BM_Jpeg_Library(benchmark::State& state) {
  const Bytes& file = JpegFile();
  for (auto _ : state) {
    MemoryStream* m = OpenMemoryStream(file.data(), file.size());
    StreamData s = MakeMemoryStreamData(m);
    PixelImage img;
    if (DecodeImageStream(&s, &img) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(img.Pixels);
    ReleasePixelImageImpl(&img);
    s.Functions.Close(s.DataHandle);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

void BM_Jpeg_LibjpegAlone(benchmark::State& state) {
  const Bytes& file = JpegFile();
  for (auto _ : state) {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    const size_t rowBytes = size_t(d.output_width) * d.output_components;
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * d.output_height));
    while (d.output_scanline < d.output_height) {
      JSAMPROW r = pixels + rowBytes * d.output_scanline;
      jpeg_read_scanlines(&d, &r, 1);
    }
    jpeg_finish_decompress(&d);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
    jpeg_destroy_decompress(&d);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

}  // namespace

BENCHMARK(BM_Jpeg_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_LibjpegAlone)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
