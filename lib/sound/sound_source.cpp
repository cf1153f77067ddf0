#include "sound/sound_source.h"

#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "sound/sound_state.h"

int StreamReadExact(const StreamData* stream, void* buffer, uint64_t size) {
  if (size == 0) return 0;
  if (size > UINT32_MAX) return -1;
  size_t got = stream->Functions.Read(buffer, 1, size_t(size), stream->DataHandle);
  return got == size ? 0 : -1;
}

int64_t StreamLength(const StreamData* stream) {
  if (stream->Functions.Seek(stream->DataHandle, 0, 2) != 0) return -1;
  int64_t length = stream->Functions.Tell(stream->DataHandle);
  if (stream->Functions.Seek(stream->DataHandle, 0, 0) != 0) return -1;
  return length;
}

bool IsMidiHeader(const uint8_t* bytes, uint32_t size) {
  if (size >= 4 && std::memcmp(bytes, "MThd", 4) == 0) return true;
  // RIFF MIDI ("RMID") carries a standard MIDI file in its data chunk.
  return size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "RMID", 4) == 0;
}

namespace {
bool IsMpegStart(const uint8_t* b, uint32_t size) {
  if (size >= 3 && std::memcmp(b, "ID3", 3) == 0) return true;
  // An MPEG audio frame header: 11 sync bits, a layer other than the reserved
  // 00, a bit-rate index other than 1111 and a sample-rate index other than 11.
  return size >= 4 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x06) != 0 && (b[2] & 0xF0) != 0xF0 &&
         (b[2] & 0x0C) != 0x0C;
}
}  // namespace

SoundSource* OpenSoundSource(const StreamData* stream) {
  if (!stream) return nullptr;
  int64_t length = StreamLength(stream);
  if (length < 0) return LogPrintf("サウンドファイルのサイズが取得できませんでした"), nullptr;
  uint8_t head[12] = {};
  uint32_t headSize = length < 12 ? uint32_t(length) : 12;
  if (StreamReadExact(stream, head, headSize) != 0 || stream->Functions.Seek(stream->DataHandle, 0, 0) != 0) {
    LogPrintf("サウンドファイルの読み込みに失敗しました");
    return nullptr;
  }
  auto* source = static_cast<SoundSource*>(TrackedAllocZeroed(sizeof(SoundSource), "", 0));
  if (!source) return LogPrintf("サウンドソース用のメモリの確保に失敗しました"), nullptr;
  source->Stream = *stream;
  source->Data = {0, uint64_t(length)};
  source->MovieSoundFlag = SoundState.MovieSoundFlag;
  int result = -1;
  if (IsMidiHeader(head, headSize)) {
    LogPrintf("MIDIデータはサウンドとして読み込めません");
  } else if (headSize >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
    result = OpenWaveSource(source);
  } else if (headSize >= 4 && std::memcmp(head, "OggS", 4) == 0) {
    result = OpenVorbisSource(source);
  } else if (IsMpegStart(head, headSize)) {
    result = OpenMpegSource(source);
  } else {
    LogPrintf("対応していない形式のサウンドファイルです");
  }
  if (result != 0) {
    TrackedFree(source);
    return nullptr;
  }
  source->BlockAlign = uint32_t(source->Format.Channels) * (source->Format.BitsPerSample / 8);
  source->PositionFrames = 0;
  return source;
}

int64_t SoundSourceRead(SoundSource* source, void* buffer, uint32_t bytes) {
  if (!source || !buffer) return -1;
  bytes -= bytes % source->BlockAlign;
  if (bytes == 0) return 0;
  int64_t got = -1;
  switch (source->Kind) {
    case SOUND_SOURCE_PCM: {
      int64_t left = (source->TotalFrames - source->PositionFrames) * source->BlockAlign;
      if (left <= 0) return 0;
      if (bytes > left) bytes = uint32_t(left);
      if (StreamReadExact(&source->Stream, buffer, bytes) != 0) return -1;
      got = bytes;
      break;
    }
    case SOUND_SOURCE_MPEG:
      got = MpegSourceRead(source, buffer, bytes);
      break;
    case SOUND_SOURCE_VORBIS:
      got = VorbisSourceRead(source, buffer, bytes);
      break;
  }
  if (got > 0) source->PositionFrames += got / source->BlockAlign;
  return got;
}

int SoundSourceSeek(SoundSource* source, int64_t frame) {
  if (!source || frame < 0) return -1;
  if (source->TotalFrames >= 0 && frame > source->TotalFrames) frame = source->TotalFrames;
  int result = -1;
  switch (source->Kind) {
    case SOUND_SOURCE_PCM: {
      uint64_t offset = source->Data.Offset + uint64_t(frame) * source->BlockAlign;
      if (offset > uint64_t(INT64_MAX)) return -1;
      result = source->Stream.Functions.Seek(source->Stream.DataHandle, int64_t(offset), 0);
      break;
    }
    case SOUND_SOURCE_MPEG:
      result = MpegSourceSeek(source, frame);
      break;
    case SOUND_SOURCE_VORBIS:
      result = VorbisSourceSeek(source, frame);
      break;
  }
  if (result == 0) source->PositionFrames = frame;
  return result;
}

void CloseSoundSource(SoundSource* source) {
  if (!source) return;
  if (source->Kind == SOUND_SOURCE_MPEG) MpegSourceClose(source);
  if (source->Kind == SOUND_SOURCE_VORBIS) VorbisSourceClose(source);
  source->Stream.Functions.Close(source->Stream.DataHandle);
  TrackedFree(source);
}
