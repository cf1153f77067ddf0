// RIFF WAVE files: the "fmt " and "data" chunks, anything else skipped.
#include <cstring>

#include "core/byteorder.h"
#include "core/log.h"
#include "sound/sound_source.h"

namespace {
constexpr uint16_t kFormatPcm = 0x0001;
constexpr uint16_t kFormatMpeg = 0x0050;
constexpr uint16_t kFormatMpegLayer3 = 0x0055;
constexpr uint16_t kFormatExtensible = 0xFFFE;

struct WaveFormat {
  uint16_t Tag, Channels, BlockAlign, Bits;
  uint32_t Rate;
};

int Fail(const char* text) { return LogPrintf("%s", text); }
}  // namespace

int OpenWaveSource(SoundSource* source) {
  const StreamData* s = &source->Stream;
  const uint64_t fileLength = source->Data.Length;
  // The RIFF size is often wrong in files written by streaming recorders;
  // the chunks are walked up to the real end of the file instead, and each
  // chunk must lie inside it.
  uint64_t pos = 12;
  bool haveFormat = false, haveData = false;
  WaveFormat fmt{};
  SoundDataWindow data{};
  while (!(haveFormat && haveData)) {
    if (fileLength - pos < 8) return Fail("WAVEファイルに必要なチャンクがありません");
    uint8_t header[8];
    if (s->Functions.Seek(s->DataHandle, int64_t(pos), 0) != 0 || StreamReadExact(s, header, 8) != 0)
      return Fail("WAVEファイルの読み込みに失敗しました");
    uint32_t size = LoadLe32(header + 4);
    uint64_t body = pos + 8;
    if (size > fileLength - body) return Fail("WAVEファイルのチャンクがファイルの終わりを越えています");
    if (std::memcmp(header, "fmt ", 4) == 0 && !haveFormat) {
      if (size < 16) return Fail("WAVEファイルのフォーマット情報が不正です");
      uint8_t f[40] = {};
      uint32_t take = size < sizeof(f) ? size : uint32_t(sizeof(f));
      if (StreamReadExact(s, f, take) != 0) return Fail("WAVEファイルの読み込みに失敗しました");
      fmt = {LoadLe16(f), LoadLe16(f + 2), LoadLe16(f + 12), LoadLe16(f + 14), LoadLe32(f + 4)};
      // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
      if (fmt.Tag == kFormatExtensible) {
        if (size < 40 || LoadLe16(f + 16) < 22) return Fail("WAVEファイルのフォーマット情報が不正です");
        fmt.Tag = LoadLe16(f + 24);
      }
      haveFormat = true;
    } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
      data = {body, size};
      haveData = true;
    }
    // Chunks are padded to an even size; a missing pad byte at the very end
    // of the file is tolerated.
    pos = body + size + (size & 1);
    if (pos > fileLength) pos = fileLength;
  }

  if (fmt.Channels < 1 || fmt.Channels > 2 || fmt.Rate < 1000 || fmt.Rate > 192000)
    return Fail("対応していないWAVEフォーマットです(チャンネル数かサンプリングレートが範囲外です)");
  source->Data = data;
  if (fmt.Tag == kFormatMpeg || fmt.Tag == kFormatMpegLayer3) {
    // The decoder's own reading of the frames decides rate and channels.
    return OpenMpegSource(source);
  }
  if (fmt.Tag != kFormatPcm)
    return LogPrintf("対応していない圧縮形式のWAVEファイルです(フォーマットタグ 0x%04x)", fmt.Tag);
  if ((fmt.Bits != 8 && fmt.Bits != 16) || fmt.BlockAlign != fmt.Channels * fmt.Bits / 8)
    return Fail("対応していないWAVEフォーマットです(量子化ビット数が8でも16でもありません)");
  source->Kind = SOUND_SOURCE_PCM;
  source->Format = {fmt.Rate, fmt.Channels, fmt.Bits};
  source->TotalFrames = int64_t(data.Length / fmt.BlockAlign);
  if (s->Functions.Seek(s->DataHandle, int64_t(data.Offset), 0) != 0)
    return Fail("WAVEファイルの読み込みに失敗しました");
  return 0;
}
