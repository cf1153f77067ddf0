// MPEG audio (MP3 files, and MPEG audio inside WAV files) through libmpg123,
// reading through the sound source's stream so archives work as well.
#include <mpg123.h>

#include <cstdio>
#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "sound/sound_source.h"

namespace {
// What libmpg123 reads through: the stream, limited to the sound data.
struct MpegReader {
  mpg123_handle* Handle;
  StreamData Stream;
  uint64_t Start;
  uint64_t Length;
  uint64_t Position;  // relative to Start
};

// Consecutive decoding calls that give nothing before a read gives up: a
// damaged stream must never keep the caller looping.
constexpr int kMaxIdleCalls = 64;

mpg123_ssize_t ReaderRead(void* handle, void* buffer, size_t count) {
  auto* r = static_cast<MpegReader*>(handle);
  uint64_t left = r->Length - r->Position;
  if (count > left) count = size_t(left);
  if (count == 0) return 0;
  size_t got = r->Stream.Functions.Read(buffer, 1, count, r->Stream.DataHandle);
  r->Position += got;
  return mpg123_ssize_t(got);
}

off_t ReaderSeek(void* handle, off_t offset, int whence) {
  auto* r = static_cast<MpegReader*>(handle);
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(r->Position) : int64_t(r->Length);
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  int64_t target = base + int64_t(offset);
  if (target < 0 || uint64_t(target) > r->Length) return -1;
  if (r->Stream.Functions.Seek(r->Stream.DataHandle, int64_t(r->Start + uint64_t(target)), 0) != 0) return -1;
  r->Position = uint64_t(target);
  return off_t(target);
}

bool LibraryReady() {
  static int ready = mpg123_init() == MPG123_OK ? 1 : 0;
  return ready == 1;
}

MpegReader* ReaderOf(SoundSource* source) { return static_cast<MpegReader*>(source->Decoder); }

void Release(MpegReader* r) {
  if (r->Handle) {
    mpg123_close(r->Handle);
    mpg123_delete(r->Handle);
  }
  TrackedFree(r);
}
}  // namespace

int OpenMpegSource(SoundSource* source) {
  if (!LibraryReady()) return LogPrintf("MPEGオーディオデコーダの初期化に失敗しました");
  auto* r = static_cast<MpegReader*>(TrackedAllocZeroed(sizeof(MpegReader), "", 0));
  if (!r) return LogPrintf("MPEGオーディオ用のメモリの確保に失敗しました");
  r->Stream = source->Stream;
  r->Start = source->Data.Offset;
  r->Length = source->Data.Length;
  if (r->Stream.Functions.Seek(r->Stream.DataHandle, int64_t(r->Start), 0) != 0) {
    Release(r);
    return LogPrintf("MPEGオーディオデータの読み込みに失敗しました");
  }
  int err = MPG123_OK;
  r->Handle = mpg123_new(nullptr, &err);
  bool ok = r->Handle != nullptr;
  ok = ok && mpg123_param(r->Handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0) == MPG123_OK;
  ok = ok && mpg123_format_none(r->Handle) == MPG123_OK;
  if (ok) {
    // Decode to 16-bit at the stream's own rate and channel count; the mixer
    // converts the rate.
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; ok && i < count; ++i)
      ok = mpg123_format(r->Handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
  }
  ok = ok && mpg123_replace_reader_handle(r->Handle, ReaderRead, ReaderSeek, nullptr) == MPG123_OK;
  ok = ok && mpg123_open_handle(r->Handle, r) == MPG123_OK;
  long rate = 0;
  int channels = 0, encoding = 0;
  ok = ok && mpg123_getformat(r->Handle, &rate, &channels, &encoding) == MPG123_OK;
  if (!ok || encoding != MPG123_ENC_SIGNED_16 || (channels != 1 && channels != 2) || rate < 1000 ||
      rate > 192000) {
    Release(r);
    return LogPrintf("MPEGオーディオデータとして読み込めませんでした");
  }
  source->Kind = SOUND_SOURCE_MPEG;
  source->Format = {uint32_t(rate), uint16_t(channels), 16};
  source->TotalFrames = -1;
  source->Decoder = r;
  return 0;
}

int64_t MpegSourceRead(SoundSource* source, void* buffer, uint32_t bytes) {
  MpegReader* r = ReaderOf(source);
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  int idle = 0;
  while (done < bytes) {
    size_t got = 0;
    int ret = mpg123_read(r->Handle, out + done, bytes - done, &got);
    done += got;
    if (ret == MPG123_DONE) break;
    if (ret == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      // A change of rate or channels in mid-stream cannot go on in the same
      // buffer: the sound ends there.
      if (mpg123_getformat(r->Handle, &rate, &channels, &encoding) != MPG123_OK ||
          uint32_t(rate) != source->Format.SamplesPerSecond || channels != source->Format.Channels)
        break;
    } else if (ret != MPG123_OK) {
      if (done == 0) return -1;
      break;
    }
    idle = got == 0 ? idle + 1 : 0;
    if (idle >= kMaxIdleCalls) break;
  }
  return int64_t(done - done % source->BlockAlign);
}

int MpegSourceSeek(SoundSource* source, int64_t frame) {
  MpegReader* r = ReaderOf(source);
  return mpg123_seek(r->Handle, off_t(frame), SEEK_SET) < 0 ? -1 : 0;
}

void MpegSourceClose(SoundSource* source) {
  if (!source->Decoder) return;
  Release(ReaderOf(source));
  source->Decoder = nullptr;
}
