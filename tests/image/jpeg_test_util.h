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
inline std::vector<uint8_t> MakeJpeg(int w, int h, int components) {
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
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(w) * components);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < components; ++k) row[x * components + k] = uint8_t(x < 16 && c.next_scanline < 16 ? (k == 0 ? 200 : k == 1 ? 100 : 30)
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

}  // namespace jpegtest
