// Windows bitmap files: uncompressed 4-, 8- and 24-bit bitmaps and the two
// run-length encodings are decoded here; every other kind (1, 16 and 32 bits,
// bit fields) goes through a DIB section, which turns it into 24 bits.
#include <cstring>

#include "core/alloc.h"
#include "core/byteorder.h"
#include "core/log.h"
#include "file/stream.h"
#include "image/bmp_rle.h"
#include "image/decoder_io.h"
#include "image/dib.h"
#include "image/imagedecode.h"

namespace {

struct BmpFile {
  int64_t FileSize;
  uint32_t DataOffset;
  BITMAPINFOHEADER Header;
  int Width;
  int Height;  // absolute
  bool BottomUp;
  RGBQUAD Colors[256];
  int ColorCount;
  uint32_t Masks[3];
  uint8_t* Data;  // from the data offset to the end of the file
  size_t DataSize;
};

int ReadHeaders(StreamData* stream, BmpFile* f) {
  f->FileSize = StreamMeasureSize(stream);
  if (f->FileSize < 54) return -1;
  uint8_t fileHeader[14];
  if (StreamReadExact(stream, fileHeader, sizeof(fileHeader)) != 0) return -1;
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return -1;
  f->DataOffset = LoadLe32(fileHeader + 10);
  if (StreamReadExact(stream, &f->Header, sizeof(f->Header)) != 0) return -1;
  const BITMAPINFOHEADER& h = f->Header;

  // The info header must be a full one and lie inside the file.
  if (h.Size < 40 || int64_t{h.Size} + 14 > f->FileSize) return -1;
  // Images are refused before any allocation by their largest output, 3 bytes
  // a pixel with rows padded to 4.
  const int64_t height = h.Height < 0 ? -int64_t{h.Height} : int64_t{h.Height};
  if (h.Width <= 0 || height == 0) return -1;
  if (!ImageWithinLimits(uint64_t(h.Width), uint64_t(height), (uint64_t(h.Width) * 3 + 3) / 4 * 4)) return -1;
  const unsigned bits = h.BitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return -1;
  switch (h.Compression) {
    case DIB_COMPRESSION_RGB:
      break;
    case DIB_COMPRESSION_RLE8:
      if (bits != 8) return -1;
      break;
    case DIB_COMPRESSION_RLE4:
      if (bits != 4) return -1;
      break;
    case DIB_COMPRESSION_BITFIELDS:
      if (bits != 16 && bits != 32) return -1;
      break;
    default:
      return -1;
  }
  f->Width = h.Width;
  f->Height = int(height);
  f->BottomUp = h.Height > 0;

  // Colour table right behind the info header, as many entries as it says.
  if (bits <= 8) {
    const uint32_t full = 1u << bits;
    f->ColorCount = static_cast<int>(h.ClrUsed == 0 || h.ClrUsed > full ? full : h.ClrUsed);
    if (StreamSeekTo(stream, 14 + int64_t{h.Size}) != 0) return -1;
    if (StreamReadExact(stream, f->Colors, size_t(f->ColorCount) * 4) != 0) return -1;
    for (int i = 0; i < f->ColorCount; i++) f->Colors[i].Reserved = 0;
  }
  // Bit-field masks follow a 40-byte header and stand at the same place inside
  // the longer headers.
  if (h.Compression == DIB_COMPRESSION_BITFIELDS) {
    if (StreamSeekTo(stream, 14 + 40) != 0) return -1;
    uint8_t m[12];
    if (StreamReadExact(stream, m, sizeof(m)) != 0) return -1;
    for (int i = 0; i < 3; i++) f->Masks[i] = LoadLe32(m + 4 * i);
  }
  if (f->DataOffset < 54 || f->DataOffset >= f->FileSize) return -1;
  return 0;
}

int ReadData(StreamData* stream, BmpFile* f) {
  f->DataSize = static_cast<size_t>(f->FileSize - f->DataOffset);
  if (f->DataSize > TRACKED_ALLOC_MAX_SIZE) return -1;
  if (StreamSeekTo(stream, f->DataOffset) != 0) return -1;
  f->Data = static_cast<uint8_t*>(TrackedAlloc(f->DataSize, "", 0));
  if (f->Data == nullptr) return -1;
  if (StreamReadExact(stream, f->Data, f->DataSize) != 0) return -1;
  return 0;
}

int64_t FileStride(const BmpFile& f) { return (int64_t{f.Header.BitCount} * f.Width + 31) / 32 * 4; }

// Bottom-up 8- and 24-bit rows read straight into their places, last file row
// first, so the pixels are copied once rather than through a data buffer.
uint8_t* ReadRowsBottomUp(StreamData* stream, const BmpFile& f, int* pitch) {
  const int64_t stride = FileStride(f);
  if (stride * f.Height > f.FileSize - f.DataOffset) return nullptr;
  if (StreamSeekTo(stream, f.DataOffset) != 0) return nullptr;
  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(stride * f.Height), "", 0));
  if (pixels == nullptr) return nullptr;
  for (int64_t row = f.Height - 1; row >= 0; row--) {
    if (StreamReadExact(stream, pixels + row * stride, static_cast<size_t>(stride)) != 0) {
      TrackedFree(pixels);
      return nullptr;
    }
  }
  *pitch = static_cast<int>(stride);
  return pixels;
}

// Top-down 8- and 24-bit rows are already in order: the data buffer itself
// becomes the pixel buffer.
uint8_t* TakeTopDownRows(BmpFile* f, int* pitch) {
  const int64_t stride = FileStride(*f);
  if (stride * f->Height > static_cast<int64_t>(f->DataSize)) return nullptr;
  *pitch = static_cast<int>(stride);
  uint8_t* pixels = f->Data;
  f->Data = nullptr;
  return pixels;
}

// 4-bit rows expanded to one byte per pixel, high nibble first.
uint8_t* ExpandNibbles(const BmpFile& f, int* pitch) {
  const int64_t stride = FileStride(f);
  if (stride * f.Height > static_cast<int64_t>(f.DataSize)) return nullptr;
  const int64_t outPitch = (int64_t{f.Width} + 3) / 4 * 4;
  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(outPitch * f.Height), "", 0));
  if (pixels == nullptr) return nullptr;
  for (int y = 0; y < f.Height; y++) {
    const int64_t fileRow = f.BottomUp ? f.Height - 1 - y : y;
    const uint8_t* s = f.Data + fileRow * stride;
    uint8_t* d = pixels + y * outPitch;
    for (int x = 0; x < f.Width; x++) d[x] = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
  }
  *pitch = static_cast<int>(outPitch);
  return pixels;
}

uint8_t* DecodeRunLength(const BmpFile& f, int* pitch) {
  const int64_t outPitch = (int64_t{f.Width} + 3) / 4 * 4;
  auto* pixels = static_cast<uint8_t*>(TrackedAllocZeroed(static_cast<size_t>(outPitch * f.Height), "", 0));
  if (pixels == nullptr) return nullptr;
  RleTarget target{pixels, outPitch, f.Width, f.Height, f.BottomUp};
  if (f.Header.Compression == DIB_COMPRESSION_RLE8)
    DecodeBmpRle8(f.Data, f.DataSize, target);
  else
    DecodeBmpRle4(f.Data, f.DataSize, target);
  *pitch = static_cast<int>(outPitch);
  return pixels;
}

// Every other kind through a 24-bit DIB section.
uint8_t* ConvertThroughSection(const BmpFile& f, int* pitch) {
  DibSection* section = CreateDibSection24(f.Width, f.Height);
  if (section == nullptr || section->Bits == nullptr) {
    DeleteDibSection(section);
    LogWrite("ＤＩＢの作成に失敗しました3\n");
    return nullptr;
  }
  const bool masks = f.Header.Compression == DIB_COMPRESSION_BITFIELDS;
  if (SetDibBitsToSection(section, &f.Header, f.Colors, f.ColorCount, masks ? f.Masks : nullptr, f.Data,
                          f.DataSize) != 0) {
    DeleteDibSection(section);
    return nullptr;
  }
  const size_t bytes = size_t(section->Pitch) * size_t(section->Height);
  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(bytes, "", 0));
  if (pixels == nullptr) {
    DeleteDibSection(section);
    LogWrite("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
    return nullptr;
  }
  std::memcpy(pixels, section->Bits, bytes);
  *pitch = section->Pitch;
  DeleteDibSection(section);
  return pixels;
}

}  // namespace

int LoadBmpImage(StreamData* stream, PixelImage* out) {
  if (stream == nullptr || out == nullptr) return -1;
  BmpFile f{};
  int result = -1;
  if (ReadHeaders(stream, &f) != 0) return -1;
  const bool plainRows = f.Header.Compression == DIB_COMPRESSION_RGB &&
                         (f.Header.BitCount == 8 || f.Header.BitCount == 24) && f.BottomUp;
  if (plainRows || ReadData(stream, &f) == 0) {
    const unsigned bits = f.Header.BitCount;
    const uint32_t compression = f.Header.Compression;
    int pitch = 0;
    uint8_t* pixels = nullptr;
    bool palette = false;
    if (plainRows) {
      pixels = ReadRowsBottomUp(stream, f, &pitch);
      palette = bits == 8;
    } else if (compression == DIB_COMPRESSION_RLE8 || compression == DIB_COMPRESSION_RLE4) {
      pixels = DecodeRunLength(f, &pitch);
      palette = true;
    } else if (compression == DIB_COMPRESSION_RGB && bits == 4) {
      pixels = ExpandNibbles(f, &pitch);
      palette = true;
    } else if (compression == DIB_COMPRESSION_RGB && (bits == 8 || bits == 24)) {
      pixels = TakeTopDownRows(&f, &pitch);
      palette = bits == 8;
    } else {
      pixels = ConvertThroughSection(f, &pitch);
    }
    if (pixels != nullptr) {
      if (palette) {
        SetPaletteColorFormat(&out->Format);
        std::memset(out->Format.Palette, 0, sizeof(out->Format.Palette));
        for (int i = 0; i < f.ColorCount; i++)
          out->Format.Palette[i] = PaletteEntry{f.Colors[i].Blue, f.Colors[i].Green, f.Colors[i].Red, 0};
      } else {
        SetRGB24ColorFormat(&out->Format);
      }
      DecoderSetImage(out, f.Width, f.Height, pitch, pixels);
      result = 0;
    }
  }
  TrackedFree(f.Data);
  return result;
}
