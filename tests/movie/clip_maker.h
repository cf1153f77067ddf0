// Makes small Ogg Theora clips for the movie tests with libtheora's encoder
// (and libvorbis's for an optional sound track), paged by hand so that the
// page layout is under the test's control. Every picture carries its number
// in the luma plane as a barcode of 8x8 blocks (Y 16 and 235), read back with
// ReadBarcode despite lossy coding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace movietest {

using Bytes = std::vector<uint8_t>;

struct ClipOptions {
  int Width = 64;  // picture size; the frame is rounded up to 16
  int Height = 48;
  int FpsNumerator = 25;
  int FpsDenominator = 1;
  int Pictures = 24;         // pictures handed to the encoder
  int KeyframeInterval = 8;  // a keyframe at least this often
  int PixelFormat = 0;       // 0 4:2:0, 2 4:2:2, 3 4:4:4 (libtheora's numbering)
  // Pictures followed by repeated frames (zero-byte packets): picture, count.
  std::vector<std::pair<int, int>> Duplicates;
  bool Video = true;        // false: a Vorbis-only file
  bool Sound = false;       // a mono Vorbis track interleaved by time
  bool SoundFirst = false;  // the Vorbis beginning page before Theora's
  int PageBody = 4000;      // most body bytes per page; small values split packets
  int DamageHeader = 0;     // 1 the comment header, 2 the setup header
  // When above 0: another stream comes first whose beginning page holds only
  // the start of a first packet of this many bytes.
  int ForeignFirstPacket = 0;
  int Quality = 40;
  uint32_t ColorSeed = 0;  // varies the chroma pattern
  // When 0 or above: every picture is this luma with neutral chroma, without
  // barcode (a black filler, a fade's end, a still).
  int FlatLuma = -1;
  // Every keyframe damaged in its frame header so that libtheora refuses it
  // (it still reads as a keyframe).
  bool RefuseKeyframes = false;
  // When above 0: the frame size in macroblocks that the identification
  // header declares instead of the encoded one.
  int DeclaredMacroblocksWide = 0;
  int DeclaredMacroblocksHigh = 0;
};

// One entry of the index a reader is expected to build.
struct ExpectedEntry {
  uint32_t Offset;
  int32_t FirstFrame;
  int32_t HasKeyframe;
  int32_t PacketCount;
};

struct Clip {
  Bytes Data;
  std::vector<int> PictureOfFrame;   // per data packet: the barcode it shows
  std::vector<uint8_t> Keyframe;     // per data packet: 1 keyframe
  std::vector<ExpectedEntry> Index;  // page entries as the open should record them
  size_t EndOfThirdHeaderPage = 0;   // file size right after the page with the third header
  int FrameWidth = 0, FrameHeight = 0;
  std::vector<int16_t> Sound;  // the samples fed to the Vorbis encoder
  int SoundRate = 22050;
};

Clip MakeClip(const ClipOptions& options);

// Decodes the clip's Theora stream from start to end with libtheora and
// returns every data packet's luma plane (frame width x frame height, rows
// packed): what a reader that decodes in order must show for each frame. A
// packet the decoder refuses shows the frame before it, or black (luma 16)
// when no packet has been accepted yet.
std::vector<Bytes> DecodeLumaInOrder(const Bytes& data);

// The picture number of a decoded luma plane, or -1 when unreadable.
int ReadBarcode(const uint8_t* y, int stride, int pictureWidth, int pictureHeight);

// The exact colour planes of picture p (frame size), as fed to the encoder.
void MakePicture(const ClipOptions& options, int frameWidth, int frameHeight, int picture, Bytes* y, Bytes* u,
                 Bytes* v);

}  // namespace movietest
