#include "image/dibgraph.h"

#include <cstdlib>
#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "image/imagedecode.h"
#include "image/pixelimage.h"

DibSection* CreateDIBGraph(const BITMAPINFO* source, const void* bits, int mirror,
                           const ColorFormat* format) {
  (void)mirror;
  (void)format;
  if (source == nullptr || bits == nullptr) {
    LogWrite("ＤＩＢの作成に失敗しました3\n");
    return nullptr;
  }
  const BITMAPINFOHEADER& src = source->Header;
  // Sections hold plain pixels: a compressed bitmap cannot be transferred.
  if (src.Compression != DIB_COMPRESSION_RGB && src.Compression != DIB_COMPRESSION_BITFIELDS) {
    LogWrite("ＤＩＢの作成に失敗しました3\n");
    return nullptr;
  }
  const bool paletted = src.BitCount <= 8;
  const size_t tableBytes = paletted ? size_t{4} << src.BitCount : 0;
  BITMAPINFO* header = static_cast<BITMAPINFO*>(TrackedAlloc(sizeof(BITMAPINFOHEADER) + tableBytes, "", 0));
  if (header == nullptr) {
    LogWrite("メモリの確保に失敗しました in CreateDIBGraph \n");
    return nullptr;
  }
  std::memset(header, 0, sizeof(BITMAPINFOHEADER));
  header->Header.Size = sizeof(BITMAPINFOHEADER);
  header->Header.Width = src.Width;
  header->Header.Height = -std::abs(src.Height);
  header->Header.Planes = 1;
  if (src.BitCount == 8) {
    header->Header.BitCount = 8;
    header->Header.Compression = src.Compression;
    std::memcpy(header->Colors, source->Colors, tableBytes);
  } else {
    header->Header.BitCount = 24;
    header->Header.Compression = DIB_COMPRESSION_RGB;
  }

  DibSection* section = nullptr;
  if (src.Height != INT32_MIN) {
    section = CreateDibSection(header->Header.Width, -header->Header.Height, header->Header.BitCount,
                               header->Header.BitCount == 8 ? header->Colors : nullptr);
  }
  TrackedFree(header);
  if (section == nullptr) {
    LogWrite("ＤＩＢの作成に失敗しました3\n");
    return nullptr;
  }

  // GDI converts any source depth into the section; the platform's transfer
  // does the same. The bits cover |height| rows of the header's row size.
  const int64_t height = src.Height < 0 ? -int64_t{src.Height} : int64_t{src.Height};
  const int64_t stride = (int64_t{src.BitCount} * src.Width + 31) / 32 * 4;
  const int colorCount =
      paletted
          ? (src.ClrUsed != 0 && src.ClrUsed < (1u << src.BitCount) ? int(src.ClrUsed) : 1 << src.BitCount)
          : 0;
  const uint32_t* masks = reinterpret_cast<const uint32_t*>(source->Colors);
  if (SetDibBitsToSection(section, &src, paletted ? source->Colors : nullptr, colorCount,
                          src.Compression == DIB_COMPRESSION_BITFIELDS ? masks : nullptr,
                          static_cast<const uint8_t*>(bits), size_t(stride * height)) != 0) {
    DeleteDibSection(section);
    LogWrite("ＤＩＢの作成に失敗しました2\n");
    return nullptr;
  }
  return section;
}

DibSection* CreateDIBGraphFromPixelImage(const PixelImage* image) {
  // The header lies in this frame; the bits are released here when they
  // were made for the transfer.
  BITMAPINFO header;
  void* bits = nullptr;
  int made = PixelImageToDibBits(image, &header, &bits, 0, 0);
  DibSection* section = made < 0 ? nullptr : CreateDIBGraph(&header, bits, 0, nullptr);
  if (made == 1) TrackedFree(bits);
  if (section == nullptr) LogWrite("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました\n");
  return section;
}
