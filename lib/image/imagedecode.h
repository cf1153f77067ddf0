// Image decoding: the table of decoders tried in order on one stream, the
// loader over a file or a block in memory, the loader of an image with its
// "_a" alpha companion, and the hand-out of an image as DIB bits.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/pixelimage.h"

struct StreamData;
struct BITMAPINFO;

// A decoder: given a stream at offset 0 and a zeroed record, fills the record
// (pixels from the tracked allocator, rows top to bottom) and returns 0, or
// returns non-zero with nothing left allocated.
using ImageDecoderFunction = int (*)(StreamData* stream, PixelImage* out);

// The decoders in trial order, ended by a null entry.
extern const ImageDecoderFunction ImageLoaderTable[];

int LoadBmpImage(StreamData* stream, PixelImage* out);
int LoadJpegImage(StreamData* stream, PixelImage* out);
int LoadPngImage(StreamData* stream, PixelImage* out);
int LoadBgraImage(StreamData* stream, PixelImage* out);
int LoadTgaImage(StreamData* stream, PixelImage* out);
int LoadDdsImage(StreamData* stream, PixelImage* out);

// Tries every decoder, each from offset 0 with a zeroed record; 0 when one
// accepted the data, else -1.
int DecodeImageStream(StreamData* stream, PixelImage* out);

// Loads an image from a file (fromMemory 0) or from (data, dataSize). With
// mirror 1 the image is flipped left to right. With dibFlag not 0 the image is
// handed out as a DIB instead: *dibHeader gets a new 1,068-byte block (header
// and colour table) and *dibBits the pixel rows, both owned by the caller
// (tracked allocator), and `out` is left alone. 0 or -1 (nothing left allocated).
int LoadImageToPixelImage(const char* fileName, const void* data, uint32_t dataSize, int fromMemory,
                          int dibFlag, int mirror, PixelImage* out, BITMAPINFO** dibHeader, void** dibBits);

// Loads an image and its alpha companion (the file name with "_a" before the
// extension, or the given alpha block). -1 when the image could not be
// loaded; 0 when both were loaded; 1 when only the image was.
int LoadImageWithAlphaFile(const char* fileName, const void* data, uint32_t dataSize, int fromMemory,
                           const void* alphaData, uint32_t alphaSize, int alphaFromMemory, PixelImage* out,
                           PixelImage* alphaOut, int mirror);

// The companion name: the name up to its last '.', "_a", then the rest; a
// name without '.' gets "_a" appended. Tracked block owned by the caller, or null.
char* MakeAlphaCompanionName(const char* fileName);

// Describes the image as a top-down DIB in `header` (room for 40 bytes and
// 256 colours): 8-bit images keep their palette, all others become 24-bit.
// 0 when *bits is the image's own buffer, 1 when it is a new buffer (tracked
// allocator), -1 when that could not be allocated (*bits is then null).
int PixelImageToDibBits(const PixelImage* image, BITMAPINFO* header, void** bits, int forceCopy, int force24);

// Reads exactly `size` bytes; 0, or -1 on a short read.
int StreamReadExact(StreamData* stream, void* buffer, size_t size);
// Seeks to `offset` from the start; 0 or -1.
int StreamSeekTo(StreamData* stream, int64_t offset);
// The stream's length: seeks to the end, tells, seeks back to 0. -1 on failure.
int64_t StreamMeasureSize(StreamData* stream);
