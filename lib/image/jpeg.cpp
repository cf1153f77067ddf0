// JPEG through libjpeg's 6b interface, with a source manager over the
// library's stream and an error exit that returns to the decoder.
#include "image/imagedecode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

#include "core/alloc.h"
#include "file/stream.h"
#include "image/decoder_io.h"

namespace {
// Larger than libjpeg's own habit of 4 KiB: its Huffman decoder takes a slower
// path near the end of every buffer, so fewer, longer buffers decode faster.
constexpr size_t kJpegBufferSize = 65536;
constexpr int kJerrInputEmpty = 42;
constexpr int kJwrnJpegEof = 120;

struct JpegErrorManager {
  jpeg_error_mgr Manager;
  jmp_buf Jump;
};

struct JpegStreamSource {
  jpeg_source_mgr Manager;
  JOCTET* Buffer;
  int StartOfFile;
  StreamData* Stream;
  int64_t Size;  // the stream's length from where the source was installed
  int64_t Base;
};

void JpegErrorExit(j_common_ptr cinfo) {
  // No message is printed: every PNG and BMP passes through this decoder.
  longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

void JpegInitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<JpegStreamSource*>(cinfo->src)->StartOfFile = 1;
}

boolean JpegFillInputBuffer(j_decompress_ptr cinfo) {
  JpegStreamSource* src = reinterpret_cast<JpegStreamSource*>(cinfo->src);
  StreamData* s = src->Stream;
  int64_t pos = s->Functions.Tell(s->DataHandle);
  int64_t left = pos < 0 ? 0 : src->Base + src->Size - pos;
  size_t want = left >= int64_t(kJpegBufferSize) ? kJpegBufferSize : left > 0 ? size_t(left) : 0;
  // The count is what the stream really delivered, not what was asked for.
  size_t got = want ? s->Functions.Read(src->Buffer, 1, want, s->DataHandle) : 0;
  if (got == 0) {
    if (src->StartOfFile) {
      cinfo->err->msg_code = kJerrInputEmpty;
      cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    cinfo->err->msg_code = kJwrnJpegEof;
    cinfo->err->emit_message(reinterpret_cast<j_common_ptr>(cinfo), -1);
    src->Buffer[0] = 0xFF;
    src->Buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->Manager.next_input_byte = src->Buffer;
  src->Manager.bytes_in_buffer = got;
  src->StartOfFile = 0;
  return TRUE;
}

void JpegSkipInputData(j_decompress_ptr cinfo, long count) {
  JpegStreamSource* src = reinterpret_cast<JpegStreamSource*>(cinfo->src);
  if (count <= 0) return;
  while (size_t(count) > src->Manager.bytes_in_buffer) {
    count -= long(src->Manager.bytes_in_buffer);
    JpegFillInputBuffer(cinfo);
  }
  src->Manager.next_input_byte += count;
  src->Manager.bytes_in_buffer -= size_t(count);
}

void JpegTermSource(j_decompress_ptr) {}

void SetJpegStreamSource(j_decompress_ptr cinfo, StreamData* stream) {
  if (!cinfo->src) {
    JpegStreamSource* src = static_cast<JpegStreamSource*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegStreamSource)));
    src->Buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kJpegBufferSize));
    cinfo->src = &src->Manager;
  }
  JpegStreamSource* src = reinterpret_cast<JpegStreamSource*>(cinfo->src);
  src->Manager.init_source = JpegInitSource;
  src->Manager.fill_input_buffer = JpegFillInputBuffer;
  src->Manager.skip_input_data = JpegSkipInputData;
  src->Manager.resync_to_restart = jpeg_resync_to_restart;
  src->Manager.term_source = JpegTermSource;
  src->Stream = stream;
  StreamHandle h = stream->DataHandle;
  int64_t here = stream->Functions.Tell(h);
  int64_t end = here;
  if (here >= 0 && stream->Functions.Seek(h, 0, 2) == 0) end = stream->Functions.Tell(h);
  if (here >= 0) stream->Functions.Seek(h, here, 0);
  src->Base = here < 0 ? 0 : here;
  src->Size = end > here ? end - here : 0;
  src->Manager.bytes_in_buffer = 0;
  src->Manager.next_input_byte = nullptr;
}

// Bytes of the decoded image, or -1 when it is empty or larger than a decoder
// accepts.
int64_t JpegImageBytes(uint64_t width, uint64_t height, uint64_t components) {
  uint64_t rowLength = components * width;
  if (width == 0 || height == 0 || !ImageWithinLimits(width, height, rowLength)) return -1;
  return int64_t(rowLength * height);
}

// State that must survive a longjmp back into LoadJpegImage.
struct JpegDecodeState {
  jpeg_decompress_struct Info;
  JpegErrorManager Error;
  uint8_t* Pixels;
};

int DecodeJpeg(JpegDecodeState* st, StreamData* stream, PixelImage* out) {
  j_decompress_ptr cinfo = &st->Info;
  jpeg_read_header(cinfo, TRUE);
  // Only greyscale and colour (YCbCr or RGB) images are decoded.
  if (cinfo->jpeg_color_space != JCS_GRAYSCALE && cinfo->jpeg_color_space != JCS_YCbCr &&
      cinfo->jpeg_color_space != JCS_RGB) {
    return -1;
  }
  // The size is checked before jpeg_start_decompress: that call already builds
  // whole-image buffers for progressive files.
  if (JpegImageBytes(cinfo->image_width, cinfo->image_height,
                     cinfo->jpeg_color_space == JCS_GRAYSCALE ? 1 : 3) < 0) {
    return -1;
  }
#ifdef JCS_EXTENSIONS
  // libjpeg-turbo writes blue, green, red itself, with its vector colour
  // conversion: the same bytes as reversing each pixel's samples.
  if (cinfo->jpeg_color_space != JCS_GRAYSCALE) cinfo->out_color_space = JCS_EXT_BGR;
#endif
  jpeg_start_decompress(cinfo);
  int components = cinfo->output_components;
  if (components != 1 && components != 3) return -1;
  int64_t checked = JpegImageBytes(cinfo->output_width, cinfo->output_height, components);
  if (checked < 0) return -1;
  uint64_t rowLength = uint64_t(components) * cinfo->output_width;
  uint64_t total = uint64_t(checked);
  JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                               JDIMENSION(rowLength), 1);
  st->Pixels = static_cast<uint8_t*>(TrackedAlloc(size_t(total), "", 0));
  if (!st->Pixels) return -1;
  const bool direct = components == 1 || cinfo->out_color_space != JCS_RGB;
  while (cinfo->output_scanline < cinfo->output_height) {
    uint8_t* dest = st->Pixels + size_t(cinfo->output_scanline) * rowLength;
    // Rows already in the stored order are decoded straight into place.
    JSAMPROW target = direct ? dest : row[0];
    if (jpeg_read_scanlines(cinfo, &target, 1) != 1) return -1;
    if (!direct) {
      for (JDIMENSION x = 0; x < cinfo->output_width; ++x) {
        dest[x * 3 + 0] = row[0][x * 3 + 2];
        dest[x * 3 + 1] = row[0][x * 3 + 1];
        dest[x * 3 + 2] = row[0][x * 3 + 0];
      }
    }
  }
  jpeg_finish_decompress(cinfo);
  if (components == 1)
    SetGrayPaletteColorFormat(&out->Format);
  else
    SetRGB24ColorFormat(&out->Format);
  DecoderSetImage(out, int(cinfo->output_width), int(cinfo->output_height), int(rowLength), st->Pixels);
  st->Pixels = nullptr;
  (void)stream;
  return 0;
}
}  // namespace

int LoadJpegImage(StreamData* stream, PixelImage* out) {
  // Heap state: nothing with a destructor lives across the setjmp below.
  JpegDecodeState* st = static_cast<JpegDecodeState*>(TrackedAllocZeroed(sizeof(JpegDecodeState), "", 0));
  if (!st) return -1;
  st->Info.err = jpeg_std_error(&st->Error.Manager);
  st->Error.Manager.error_exit = JpegErrorExit;
  st->Error.Manager.output_message = JpegOutputMessage;
  int result = -1;
  if (setjmp(st->Error.Jump) == 0) {
    jpeg_create_decompress(&st->Info);
    // libjpeg's own working memory (whole-image coefficient buffers of
    // progressive files) is held to the same cap as the decoded image.
    st->Info.mem->max_memory_to_use = long(IMAGE_MAX_BYTES);
    SetJpegStreamSource(&st->Info, stream);
    result = DecodeJpeg(st, stream, out);
  }
  if (result != 0) {
    TrackedFree(st->Pixels);
    st->Pixels = nullptr;
    out->Pixels = nullptr;
  }
  jpeg_destroy_decompress(&st->Info);
  TrackedFree(st);
  return result;
}
