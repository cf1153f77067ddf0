// Stream sounds: a ring buffer that loops in the mixer while the sound layer
// keeps writing the source's next frames behind the play position.
#include <algorithm>

#include "core/alloc.h"
#include "core/log.h"
#include "sound/sound_state.h"

namespace {
// Two seconds of ring: the pump runs every frame, so a refill is missed only
// when the main thread stalls for longer than that.
constexpr uint32_t kRingSeconds = 2;
constexpr uint32_t kChunkBytes = 16384;
alignas(16) uint8_t g_chunk[kChunkBytes];

PlatAudioBuffer Ring(SoundRecord* r) { return r->Buffers[0]; }

// Adds the frames the mixer played since the last look.
void UpdatePlayed(SoundRecord* r) {
  SoundStream& s = r->Stream;
  uint32_t cursor = PlatAudioGetPosition(Ring(r)) / r->BlockAlign;
  uint32_t delta = (cursor + s.RingFrames - s.LastCursor) % s.RingFrames;
  s.LastCursor = cursor;
  s.Played = std::min(s.Played + delta, s.Written);
  // A loop sets EndAt only when its source could not start over: it ends too.
  if (s.EndAt >= 0 && s.Played >= s.EndAt && !s.Finished) {
    s.Played = s.EndAt;
    s.Finished = 1;
    PlatAudioStop(Ring(r));
  }
}

// Writes source frames (or silence after a one-shot end) into the free part
// of the ring.
void Fill(SoundRecord* r) {
  SoundStream& s = r->Stream;
  const uint32_t align = r->BlockAlign;
  const uint32_t chunkFrames = kChunkBytes / align;
  int64_t space = int64_t(s.RingFrames) - (s.Written - s.Played);
  while (space > 0) {
    uint32_t want = uint32_t(std::min<int64_t>(space, chunkFrames));
    want = std::min(want, s.RingFrames - s.WriteFrame);
    uint32_t got = 0;
    if (s.EndAt >= 0) {
      PlatAudioSilenceBuffer(Ring(r), s.WriteFrame * align, want * align);
      got = want;
    } else {
      int64_t bytes = SoundSourceRead(s.Source, g_chunk, want * align);
      if (bytes <= 0) {
        // The source's end (or a decoding failure, which ends it too). A loop
        // starts over, unless the source gave nothing since the last start.
        if (s.Looping && s.Source->PositionFrames > 0) {
          s.LoopFrames = s.Source->PositionFrames;
          if (SoundSourceSeek(s.Source, 0) == 0) continue;
        }
        s.EndAt = s.Written;
        continue;
      }
      got = uint32_t(bytes / align);
      PlatAudioWriteBuffer(Ring(r), s.WriteFrame * align, g_chunk, got * align);
    }
    s.WriteFrame = (s.WriteFrame + got) % s.RingFrames;
    s.Written += got;
    space -= got;
  }
}

// Starts the ring afresh with the source at `frame`.
int Restart(SoundRecord* r, int64_t frame, int looping) {
  SoundStream& s = r->Stream;
  PlatAudioStop(Ring(r));
  if (SoundSourceSeek(s.Source, frame) != 0)
    return LogPrintf("ストリームサウンドの再生位置を変更できませんでした");
  s.StartFrame = s.Source->PositionFrames;
  s.WriteFrame = s.LastCursor = 0;
  s.Written = s.Played = 0;
  s.EndAt = -1;
  s.Finished = 0;
  s.Looping = looping;
  PlatAudioSetPosition(Ring(r), 0);
  Fill(r);
  return 0;
}

// The source frame now playing.
int64_t CurrentFrame(SoundRecord* r) {
  const SoundStream& s = r->Stream;
  int64_t frame = s.StartFrame + s.Played;
  if (s.LoopFrames > 0 && frame >= s.LoopFrames) frame %= s.LoopFrames;
  return frame;
}
}  // namespace

int CreateStreamSound(SoundRecord* r, SoundSource* source) {
  // The record owns the source from here on, whatever happens next.
  r->Stream.Source = source;
  uint64_t frames = uint64_t(source->Format.SamplesPerSecond) * kRingSeconds;
  PlatAudioBuffer ring = PlatAudioCreateBuffer(&source->Format, uint32_t(frames * source->BlockAlign));
  if (!ring) return LogPrintf("ストリームサウンド用のバッファの作成に失敗しました");
  r->IsStream = 1;
  r->Format = source->Format;
  r->BlockAlign = source->BlockAlign;
  r->Buffers[0] = ring;
  r->BufferCount = 1;
  r->Stream.RingFrames = uint32_t(frames);
  r->Stream.LoopFrames = -1;
  // Ready to play at once: the first two seconds are decoded now.
  return Restart(r, 0, 0);
}

int PlayStreamSound(SoundRecord* r, int looping, int fromStart) {
  SoundStream& s = r->Stream;
  UpdatePlayed(r);
  if (!fromStart && PlatAudioIsPlaying(Ring(r)) && !s.Finished) return 0;
  int64_t frame = fromStart || s.Finished ? 0 : CurrentFrame(r);
  // A ring that was just filled from that very frame and has not played
  // yet is used as it is.
  bool fresh = s.Played == 0 && s.StartFrame == frame && s.Written > 0 && (s.EndAt < 0 || !looping);
  if (fresh) {
    s.Looping = looping;
    PlatAudioSetPosition(Ring(r), 0);
  } else if (Restart(r, frame, looping) != 0) {
    return -1;
  }
  return PlatAudioPlay(Ring(r), 1);
}

int StopStreamSound(SoundRecord* r) {
  UpdatePlayed(r);
  return PlatAudioStop(Ring(r));
}

int RefillStreamSound(SoundRecord* r) {
  if (!PlatAudioIsPlaying(Ring(r))) return 0;
  UpdatePlayed(r);
  if (r->Stream.Finished) return 0;
  Fill(r);
  return 0;
}

int IsStreamSoundPlaying(SoundRecord* r) {
  if (!PlatAudioIsPlaying(Ring(r))) return 0;
  UpdatePlayed(r);
  return r->Stream.Finished ? 0 : 1;
}

int GetStreamSoundTime(SoundRecord* r) {
  if (PlatAudioIsPlaying(Ring(r))) UpdatePlayed(r);
  return int(CurrentFrame(r) * 1000 / r->Format.SamplesPerSecond);
}

void ReleaseStreamSound(SoundRecord* r) {
  PlatAudioDestroyBuffer(r->Buffers[0]);
  r->Buffers[0] = nullptr;
  CloseSoundSource(r->Stream.Source);
  r->Stream.Source = nullptr;
  TrackedFree(r->Stream.FileImage);
  r->Stream.FileImage = nullptr;
}
