// The decoder table, the loaders over files and memory blocks, the alpha
// companion, and handing an image out as DIB bits.
#include "image/imagedecode.h"

#include <cstring>

#include "core/alloc.h"
#include "file/fileaccess.h"
#include "file/stream.h"
#include "image/convert.h"
#include "image/dib.h"
#include "image/rect.h"

const ImageDecoderFunction ImageLoaderTable[] = {
    LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage, LoadDdsImage, nullptr,
};

int StreamReadExact(StreamData* stream, void* buffer, size_t size) {
  if (size == 0) return 0;
  size_t n = stream->Functions.Read(buffer, 1, size, stream->DataHandle);
  return n == size ? 0 : -1;
}

int StreamSeekTo(StreamData* stream, int64_t offset) {
  return stream->Functions.Seek(stream->DataHandle, offset, 0) == 0 ? 0 : -1;
}

int64_t StreamMeasureSize(StreamData* stream) {
  if (stream->Functions.Seek(stream->DataHandle, 0, 2) != 0) return -1;
  int64_t size = stream->Functions.Tell(stream->DataHandle);
  if (stream->Functions.Seek(stream->DataHandle, 0, 0) != 0) return -1;
  return size;
}

int DecodeImageStream(StreamData* stream, PixelImage* out) {
  if (stream == nullptr || out == nullptr) return -1;
  for (const ImageDecoderFunction* d = ImageLoaderTable; *d != nullptr; d++) {
    stream->Functions.Seek(stream->DataHandle, 0, 0);
    std::memset(out, 0, sizeof(*out));
    if ((*d)(stream, out) == 0) return 0;
  }
  return -1;
}

namespace {

// The opened source of one load: a file, or a memory stream over a block.
struct Source {
  StreamData Stream{};
  bool IsFile = false;
  bool Open = false;

  int OpenSource(const char* fileName, const void* data, uint32_t size, int fromMemory) {
    if (fromMemory == 0) {
      if (fileName == nullptr) return -1;
      FileHandle handle = FileOpenDispatch(fileName, 0, 1, 0);
      if (handle == INVALID_FILE_HANDLE) return -1;
      Stream = MakeFileStreamData(handle);
      IsFile = true;
    } else {
      MemoryStream* memory = OpenMemoryStream(data, size);
      if (memory == nullptr) return -1;
      Stream = MakeMemoryStreamData(memory);
    }
    Open = true;
    return 0;
  }
  void Close() {
    if (Open) Stream.Functions.Close(Stream.DataHandle);
    Open = false;
  }
};

// The image flipped left to right into a new buffer through the converter.
int MirrorInto(PixelImage* image) {
  int64_t bytes = int64_t{image->Pitch} * image->Height;
  if (image->Pitch < 0 || image->Height < 0 || bytes > int64_t{TRACKED_ALLOC_MAX_SIZE}) return -1;
  auto* mirrored = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(bytes), "", 0));
  if (mirrored == nullptr) return -1;
  Rect all{0, 0, image->Width, image->Height};
  if (ConvertPixelRect(mirrored, image->Pitch, &image->Format, image->Pixels, image->Pitch, &image->Format,
                       nullptr, 0, nullptr, 0, 0, &all, 1, 0, 0, 0, 0, 0, 0, 0) == -1) {
    TrackedFree(mirrored);
    return -1;
  }
  TrackedFree(image->Pixels);
  image->Pixels = mirrored;
  return 0;
}

// Room for `height` rows of rowSize bytes; null when too large or out of memory.
uint8_t* AllocDibRows(int64_t rowSize, int64_t height) {
  if (rowSize * height > int64_t{TRACKED_ALLOC_MAX_SIZE}) return nullptr;
  return static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(rowSize * height), "", 0));
}

}  // namespace

int LoadImageToPixelImage(const char* fileName, const void* data, uint32_t dataSize, int fromMemory,
                          int dibFlag, int mirror, PixelImage* out, BITMAPINFO** dibHeader, void** dibBits) {
  if (dibFlag != 0 ? (dibHeader == nullptr || dibBits == nullptr) : out == nullptr) return -1;
  Source source;
  if (source.OpenSource(fileName, data, dataSize, fromMemory) != 0) return -1;

  PixelImage image;
  if (DecodeImageStream(&source.Stream, &image) != 0) {
    source.Close();
    return -1;
  }
  if (!source.IsFile) source.Close();

  if (mirror == 1 && MirrorInto(&image) != 0) {
    ReleasePixelImageImpl(&image);
    source.Close();
    return -1;
  }

  if (dibFlag != 0) {
    auto* header = static_cast<BITMAPINFO*>(TrackedAlloc(1068, "", 0));
    if (header == nullptr) {
      ReleasePixelImageImpl(&image);
      source.Close();
      return -1;
    }
    int result = PixelImageToDibBits(&image, header, dibBits, 0, 0);
    if (result == -1) {
      ReleasePixelImageImpl(&image);
      TrackedFree(header);
      source.Close();
      return -1;
    }
    if (result == 1) TrackedFree(image.Pixels);  // the bits live in their own buffer
    *dibHeader = header;
  } else {
    *out = image;
  }
  source.Close();
  return 0;
}

char* MakeAlphaCompanionName(const char* fileName) {
  if (fileName == nullptr) return nullptr;
  size_t length = std::strlen(fileName);
  auto* name = static_cast<char*>(TrackedAlloc(length + 3, "", 0));
  if (name == nullptr) return nullptr;
  const char* dot = std::strrchr(fileName, '.');
  size_t stem = dot ? size_t(dot - fileName) : length;
  std::memcpy(name, fileName, stem);
  std::memcpy(name + stem, "_a", 2);
  std::memcpy(name + stem + 2, fileName + stem, length - stem + 1);
  return name;
}

int LoadImageWithAlphaFile(const char* fileName, const void* data, uint32_t dataSize, int fromMemory,
                           const void* alphaData, uint32_t alphaSize, int alphaFromMemory, PixelImage* out,
                           PixelImage* alphaOut, int mirror) {
  if (LoadImageToPixelImage(fileName, data, dataSize, fromMemory, 0, mirror, out, nullptr, nullptr) != 0)
    return -1;
  if (alphaFromMemory == 1 && alphaData == nullptr) return 1;
  if (alphaFromMemory != 0 && alphaFromMemory != 1) return 1;
  if (alphaOut == nullptr) return 1;
  char* companion = nullptr;
  if (fileName != nullptr) {
    companion = MakeAlphaCompanionName(fileName);
    if (companion == nullptr) return 1;
  }
  int result = LoadImageToPixelImage(companion, alphaData, alphaSize, alphaFromMemory, 0, mirror, alphaOut,
                                     nullptr, nullptr);
  TrackedFree(companion);
  return result == 0 ? 0 : 1;
}

int PixelImageToDibBits(const PixelImage* image, BITMAPINFO* header, void** bits, int forceCopy,
                        int force24) {
  if (bits == nullptr) return -1;
  *bits = nullptr;
  if (image == nullptr || header == nullptr || image->Width < 0 || image->Height < 0) return -1;
  std::memset(header, 0, 44);
  BITMAPINFOHEADER& h = header->Header;
  h.Size = 40;
  h.Width = image->Width;
  h.Height = -image->Height;
  h.Planes = 1;
  h.Compression = DIB_COMPRESSION_RGB;
  const ColorFormat& f = image->Format;
  const int64_t height = image->Height;

  if (f.BitDepth == 8 && force24 == 0) {
    h.BitCount = 8;
    std::memcpy(header->Colors, f.Palette, sizeof(f.Palette));
    const int64_t rowSize = (int64_t{image->Width} + 3) / 4 * 4;
    if (forceCopy != 1 && rowSize == image->Pitch) {
      *bits = image->Pixels;
      return 0;
    }
    uint8_t* copy = AllocDibRows(rowSize, height);
    if (copy == nullptr) return -1;
    for (int64_t y = 0; y < height; y++)
      std::memcpy(copy + y * rowSize, image->Pixels + y * image->Pitch, size_t(image->Width));
    *bits = copy;
    return 1;
  }

  h.BitCount = 24;
  const int64_t rowSize = (int64_t{image->Width} * 3 + 3) / 4 * 4;
  const bool rgb24 = f.BitDepth == 24 && f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 && f.BlueMask == 0xFF;
  if (rgb24 && forceCopy != 1 && rowSize == image->Pitch) {
    *bits = image->Pixels;
    return 0;
  }
  uint8_t* copy = AllocDibRows(rowSize, height);
  if (copy == nullptr) return -1;
  if (rgb24 && forceCopy != 1) {
    for (int64_t y = 0; y < height; y++)
      std::memcpy(copy + y * rowSize, image->Pixels + y * image->Pitch, size_t(image->Width) * 3);
  } else if (image->Width > 0 && image->Height > 0) {
    ColorFormat rgb{};
    SetRGB24ColorFormat(&rgb);
    Rect all{0, 0, image->Width, image->Height};
    ConvertPixelRect(copy, static_cast<int>(rowSize), &rgb, image->Pixels, image->Pitch, &f, nullptr, 0,
                     nullptr, 0, 0, &all, 0, 0, 0, 0, 0, 0, 0, 0);
  }
  *bits = copy;
  return 1;
}
