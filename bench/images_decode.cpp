// Decoding 640 x 480 PNG, BMP and JPEG files through the library, side by
// side with libpng and libjpeg reading the same files into memory by
// themselves and with a plain copy of the BMP's bytes.
#include <benchmark/benchmark.h>
#include <png.h>

extern "C" {
#include <jpeglib.h>
}

#include <cstdlib>
#include <cstring>
#include <vector>

#include "file/stream.h"
#include "image/imagedecode.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kWidth = 640, kHeight = 480;

uint8_t Sample(int x, int y, int c) {
  // Smooth gradients with some texture, like game art.
  return uint8_t((x * (c + 1) + y * (3 - c)) / 4 + ((x * 7 + y * 13 + c * 5) % 11));
}

void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

Bytes MakePngFile(bool alpha) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_write_fn(png, &out, Append, NoFlush);
  const int channels = alpha ? 4 : 3;
  png_set_IHDR(png, info, kWidth, kHeight, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  Bytes row(size_t(kWidth) * channels);
  for (int y = 0; y < kHeight; y++) {
    for (int x = 0; x < kWidth; x++)
      for (int c = 0; c < channels; c++) row[size_t(x) * channels + c] = Sample(x, y, c);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes MakeBmpFile() {
  const int stride = kWidth * 3;
  Bytes f(54 + size_t(stride) * kHeight);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) f[at + i] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, uint32_t(f.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, kWidth);
  put32(22, kHeight);
  f[26] = 1;
  f[28] = 24;
  for (int y = 0; y < kHeight; y++)
    for (int x = 0; x < kWidth; x++)
      for (int c = 0; c < 3; c++) f[54 + size_t(y) * stride + size_t(x) * 3 + c] = Sample(x, y, c);
  return f;
}

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
      for (int k = 0; k < 3; ++k)
        row[size_t(x) * 3 + k] = uint8_t((x * (k + 1) + y * (3 - k)) / 4 + (x * 7 + y * 13) % 11);
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

const Bytes& PngFile() {
  static const Bytes f = MakePngFile(false);
  return f;
}
const Bytes& PngAlphaFile() {
  static const Bytes f = MakePngFile(true);
  return f;
}
const Bytes& BmpFile() {
  static const Bytes f = MakeBmpFile();
  return f;
}

void DecodeThroughLibrary(benchmark::State& state, const Bytes& file) {
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

struct MemoryReader {
  const Bytes* File;
  size_t Position;
};
void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->File->size() - r->Position < n) png_error(png, "short");
  std::memcpy(out, r->File->data() + r->Position, n);
  r->Position += n;
}

// libpng by itself: the same transformations, rows read into one malloc block.
void LibpngAlone(benchmark::State& state, const Bytes& file) {
  for (auto _ : state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0};
    uint8_t* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    for (png_uint_32 y = 0; y < height; y++) rows[y] = pixels + y * rowBytes;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    benchmark::DoNotOptimize(pixels);
    std::free(rows);
    std::free(pixels);
    png_destroy_read_struct(&png, &info, nullptr);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

// The least any BMP reader does: the pixel bytes copied out of the file.
void BmpPlainCopy(benchmark::State& state) {
  const Bytes& file = BmpFile();
  Bytes out(file.size() - 54);
  for (auto _ : state) {
    std::memcpy(out.data(), file.data() + 54, out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

// libjpeg by itself: the same file from memory, rows into one malloc block.
void LibjpegAlone(benchmark::State& state) {
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

void BM_PngRgb_Library(benchmark::State& s) { DecodeThroughLibrary(s, PngFile()); }
void BM_PngRgb_LibpngAlone(benchmark::State& s) { LibpngAlone(s, PngFile()); }
void BM_PngRgba_Library(benchmark::State& s) { DecodeThroughLibrary(s, PngAlphaFile()); }
void BM_PngRgba_LibpngAlone(benchmark::State& s) { LibpngAlone(s, PngAlphaFile()); }
void BM_Bmp24_Library(benchmark::State& s) { DecodeThroughLibrary(s, BmpFile()); }
void BM_Bmp24_PlainCopy(benchmark::State& s) { BmpPlainCopy(s); }
void BM_Jpeg_Library(benchmark::State& s) { DecodeThroughLibrary(s, JpegFile()); }
void BM_Jpeg_LibjpegAlone(benchmark::State& s) { LibjpegAlone(s); }

}  // namespace

BENCHMARK(BM_PngRgb_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgb_LibpngAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgba_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgba_LibpngAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Library)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Bmp24_PlainCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Jpeg_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_LibjpegAlone)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
