// Ogg Vorbis through vorbisfile, with read, seek and tell functions of our
// own over the sound source's stream.
#include <vorbis/vorbisfile.h>

#include <cstdio>

#include "core/alloc.h"
#include "core/log.h"
#include "sound/sound_source.h"

namespace {
struct VorbisReader {
  OggVorbis_File File;
  StreamData Stream;
  int Opened;
  // Set by the first decoding error. libvorbis keeps half-built decoding
  // tables after a failed start of decoding and would use them on the next
  // call, so a broken stream is never decoded or sought again.
  int Broken;
};

constexpr int kMaxIdleCalls = 64;

size_t CallbackRead(void* buffer, size_t size, size_t count, void* handle) {
  auto* r = static_cast<VorbisReader*>(handle);
  if (size == 0 || count == 0) return 0;
  return r->Stream.Functions.Read(buffer, size, count, r->Stream.DataHandle);
}

int CallbackSeek(void* handle, ogg_int64_t offset, int whence) {
  auto* r = static_cast<VorbisReader*>(handle);
  int origin = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? 1 : whence == SEEK_END ? 2 : -1;
  if (origin < 0) return -1;
  return r->Stream.Functions.Seek(r->Stream.DataHandle, int64_t(offset), origin) == 0 ? 0 : -1;
}

long CallbackTell(void* handle) {
  auto* r = static_cast<VorbisReader*>(handle);
  return long(r->Stream.Functions.Tell(r->Stream.DataHandle));
}

VorbisReader* ReaderOf(SoundSource* source) { return static_cast<VorbisReader*>(source->Decoder); }

// Decodes and drops `frames` frames; -1 when the sound ends or fails first.
int SkipFrames(SoundSource* source, int64_t frames) {
  char scratch[8192];
  const uint32_t chunk = uint32_t(sizeof(scratch) - sizeof(scratch) % source->BlockAlign);
  while (frames > 0) {
    const uint64_t want = uint64_t(frames) * source->BlockAlign;
    const int64_t got = VorbisSourceRead(source, scratch, want < chunk ? uint32_t(want) : chunk);
    if (got <= 0) return -1;
    frames -= got / source->BlockAlign;
  }
  return 0;
}

void Release(VorbisReader* r) {
  if (r->Opened) ov_clear(&r->File);
  TrackedFree(r);
}
}  // namespace

int OpenVorbisSource(SoundSource* source) {
  if (CheckVorbisSetupHeaders(&source->Stream) != 0) return LogPrintf("Ogg Vorbisファイルのヘッダが不正です");
  auto* r = static_cast<VorbisReader*>(TrackedAllocZeroed(sizeof(VorbisReader), "", 0));
  if (!r) return LogPrintf("Ogg Vorbis用のメモリの確保に失敗しました");
  r->Stream = source->Stream;
  if (r->Stream.Functions.Seek(r->Stream.DataHandle, 0, 0) != 0) {
    Release(r);
    return LogPrintf("Ogg Vorbisファイルの読み込みに失敗しました");
  }
  // No close callback: the stream stays the sound source's to close.
  ov_callbacks callbacks{CallbackRead, CallbackSeek, nullptr, CallbackTell};
  // vorbisfile finds the Vorbis stream among the others of a movie file
  // (Theora video beside it) on its own; the movie flag only names where the
  // source came from.
  if (ov_open_callbacks(r, &r->File, nullptr, 0, callbacks) != 0) {
    Release(r);
    return LogPrintf("Ogg Vorbisファイルとして読み込めませんでした");
  }
  r->Opened = 1;
  // vorbisfile leaves the file at the start of the first link's data. When
  // the track's sound lies wholly on its last page with another stream's
  // pages before it (a short track in a movie file), that place is already
  // past the sound and decoding would end at once; from the top of the file
  // the track decodes whole.
  if (ov_seekable(&r->File) && ov_raw_seek(&r->File, 0) != 0) {
    Release(r);
    return LogPrintf("Ogg Vorbisファイルの読み込みに失敗しました");
  }
  vorbis_info* info = ov_info(&r->File, -1);
  if (!info || (info->channels != 1 && info->channels != 2) || info->rate < 1000 || info->rate > 192000) {
    Release(r);
    return LogPrintf("対応していない形式のOgg Vorbisファイルです");
  }
  ogg_int64_t total = ov_seekable(&r->File) ? ov_pcm_total(&r->File, -1) : OV_EINVAL;
  source->Kind = SOUND_SOURCE_VORBIS;
  source->Format = {uint32_t(info->rate), uint16_t(info->channels), 16};
  source->TotalFrames = total >= 0 ? int64_t(total) : -1;
  source->Decoder = r;
  return 0;
}

int64_t VorbisSourceRead(SoundSource* source, void* buffer, uint32_t bytes) {
  VorbisReader* r = ReaderOf(source);
  if (r->Broken) return -1;
  auto* out = static_cast<char*>(buffer);
  uint32_t done = 0;
  int idle = 0;
  while (done < bytes) {
    int link = 0;  // which link of a chained file; the format check covers it
    int want = int(bytes - done > 0x10000 ? 0x10000 : bytes - done);
    long got = ov_read(&r->File, out + done, want, 0, 2, 1, &link);
    if (got == 0) break;
    if (got == OV_HOLE) {  // a gap in the data: skipped, decoding goes on
      if (++idle >= kMaxIdleCalls) break;
      continue;
    }
    if (got < 0) {
      r->Broken = 1;
      if (done == 0) return -1;
      break;
    }
    // A chained file whose next link has another rate or channel count
    // cannot go on in the same buffer: the sound ends at that link.
    vorbis_info* info = ov_info(&r->File, -1);
    if (!info || info->channels != source->Format.Channels ||
        uint32_t(info->rate) != source->Format.SamplesPerSecond)
      break;
    done += uint32_t(got);
    idle = 0;
  }
  return int64_t(done - done % source->BlockAlign);
}

int VorbisSourceSeek(SoundSource* source, int64_t frame) {
  VorbisReader* r = ReaderOf(source);
  if (r->Broken) return -1;
  if (ov_seekable(&r->File)) {
    if (ov_pcm_seek(&r->File, ogg_int64_t(frame)) == 0) return 0;
    // vorbisfile searches a link for the frame among the pages between the
    // end of its headers and the start of its last page. A track whose sound
    // lies wholly on its last page, with another stream's pages in between,
    // has none there and the search fails. Having failed there it has put
    // its decoder away (opened, nothing decoding); failing anywhere later,
    // the decoder may be half built and is not touched again.
    if (r->File.ready_state != OPENED) {
      r->Broken = 1;
      return -1;
    }
  } else if (frame != 0) {
    r->Broken = 1;
    return -1;
  }
  // From the top of the file, decoding forward to the frame.
  if (ov_raw_seek(&r->File, 0) != 0 || SkipFrames(source, frame) != 0) {
    r->Broken = 1;
    return -1;
  }
  return 0;
}

void VorbisSourceClose(SoundSource* source) {
  if (!source->Decoder) return;
  Release(ReaderOf(source));
  source->Decoder = nullptr;
}
