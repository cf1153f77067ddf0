// A JPEG made in memory with libjpeg's compressor for the decoder and graph tests.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace jpegtest {

// Compresses a test image with libjpeg.
inline std::vector<uint8_t> MakeJpeg(int w, int h, int components, bool progressive = false) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(w);
  c.image_height = JDIMENSION(h);
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(w) * components);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < components; ++k)
        row[x * components + k] = uint8_t(
            x < 16 && c.next_scanline < 16 ? (k == 0   ? 200
                                              : k == 1 ? 100
                                                       : 30)
                                           : (x * 13 + c.next_scanline * 7 + k * 50) ^ (x * c.next_scanline));
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

// The same file claiming another size in its frame header (any SOFn marker).
inline std::vector<uint8_t> WithJpegSize(std::vector<uint8_t> j, uint16_t w, uint16_t h) {
  for (size_t i = 2; i + 9 < j.size(); ++i) {
    if (j[i] == 0xFF && j[i + 1] >= 0xC0 && j[i + 1] <= 0xC2) {
      j[i + 5] = uint8_t(h >> 8), j[i + 6] = uint8_t(h);
      j[i + 7] = uint8_t(w >> 8), j[i + 8] = uint8_t(w);
      break;
    }
  }
  return j;
}

}  // namespace jpegtest
