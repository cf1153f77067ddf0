// The Theora player's decode thread: it seeks on request and otherwise keeps
// the frame stock filled with the frames that follow the current frame,
// decoding only from the last keyframe a step needs. The main thread steers it
// with SeekTheoraMovie and AdvanceTheoraMovie.
#include <cstring>

#include "core/alloc.h"
#include "movie/theora.h"

namespace {
// Results of positioning the decoder.
constexpr int kPositioned = 0;
constexpr int kNoEntry = -1;    // no page entry holds the frame
constexpr int kEndOfFile = -2;  // the file ended before the frame

// Reads from the start of a page entry so that the decoder's output becomes
// frame target: from one entry before the last entry holding a keyframe among
// those before the target's own entry.
int PositionDecoder(TheoraPlayer* p, int32_t target) {
  int i0 = 0;
  while (i0 < p->PageCount && !(p->PageIndex[i0].FirstFrame + p->PageIndex[i0].PacketCount > target)) ++i0;
  if (i0 == p->PageCount) return kNoEntry;
  int i = 0;
  if (i0 > 0) {
    i = i0 - 1;
    while (i > 0 && p->PageIndex[i].HasKeyframe == 0) --i;
    if (i > 0) --i;
  }
  ogg_sync_reset(&p->Sync);
  ogg_stream_reset(&p->Stream);
  p->Files.Seek(p->File, int64_t(p->PageIndex[i].Offset), 0);
  int32_t f = p->PageIndex[i].FirstFrame;
  if (i > 0) {
    while (ogg_sync_pageout(&p->Sync, &p->Page) != 1) {
      if (ReadTheoraData(p, THEORA_READ_BLOCK) == 0) return kEndOfFile;
    }
    // A page that starts with the rest of a packet: the reset stream drops it.
    if (ogg_page_continued(&p->Page)) ++f;
    ogg_stream_pagein(&p->Stream, &p->Page);
  }
  p->DecodeFrame = f - 1;
  if (target >= f && TheoraDecodeFrames(p, target - f + 1) == -1) return kEndOfFile;
  return kPositioned;
}

void ClearStock(TheoraPlayer* p) {
  for (int k = 0; k < p->StockSize; ++k) p->Stock[k].Used.store(0, std::memory_order_release);
}

// The seek the main thread asked for; false when the thread must end.
bool RunSeek(TheoraPlayer* p) {
  p->ThreadState = THEORA_THREAD_SEEKING;
  const int32_t target = p->SeekTarget;
  const int result = PositionDecoder(p, target);
  if (result == kNoEntry) return false;
  ClearStock(p);
  if (result == kEndOfFile) {
    // The file is shorter than when it was indexed: nothing more can come.
    p->SeekRequest = 0;
    p->EndOfStream = 1;
    return true;
  }
  p->SeekRequest = 0;
  p->DecodeFrame = target;
  p->EndOfStream = 0;
  return true;
}

// 1 when frame f is to be kept for current frame c.
bool KeepFrame(int64_t f, int64_t c, int64_t n, int64_t count, int64_t decoded) {
  if (f < c) return c + n < count ? false : f <= c + n - count;
  return f <= decoded || f <= c + n;
}

// How far frame f lies ahead of c, counted across the end of the movie.
int64_t Ahead(int64_t f, int64_t c, int64_t count) { return f >= c ? f - c : f + count - c; }

// Stores a picture in the slot: the decoder's output once it has accepted a
// packet of this movie, black (Y 16, U and V 128) before that. A refused
// first keyframe thus shows black, and a refused later packet the picture
// before it, which the decoder keeps as its output. A slot that holds the
// decoder's picture already (a repeated frame stored where the frame it
// repeats was) keeps its planes: a slot's Picture is set only once its
// planes are whole, and a picture's planes never change their geometry.
// false when it could not be stored (no picture, or no memory for the planes).
bool StoreFrame(TheoraPlayer* p, TheoraFrameSlot& slot, int32_t frame) {
  yuv_buffer yuv;
  std::memset(&yuv, 0, sizeof yuv);
  const int64_t picture = p->DecoderPicture;
  if (picture != 0) {
    theora_decode_YUVout(&p->Decoder, &yuv);
    if (yuv.y == nullptr || yuv.u == nullptr || yuv.v == nullptr) return false;
  } else {
    yuv.y_width = yuv.y_stride = int(p->Info.width);
    yuv.y_height = int(p->Info.height);
    int64_t chromaWidth = 0, chromaHeight = 0;
    TheoraChromaSize(p->Info.width, p->Info.height, p->Info.pixelformat, &chromaWidth, &chromaHeight);
    yuv.uv_width = yuv.uv_stride = int(chromaWidth);
    yuv.uv_height = int(chromaHeight);
  }
  if (yuv.y_width <= 0 || yuv.y_height <= 0 || yuv.y_stride < yuv.y_width || yuv.uv_width <= 0 ||
      yuv.uv_height <= 0 || yuv.uv_stride < yuv.uv_width) {
    return false;
  }
  if (picture == 0 || slot.Picture != picture) {
    if (slot.YWidth != yuv.y_width || slot.YHeight != yuv.y_height || slot.YStride != yuv.y_stride) {
      TrackedFree(slot.PlaneY);
      slot.PlaneY = nullptr;
    }
    if (slot.UVWidth != yuv.uv_width || slot.UVHeight != yuv.uv_height || slot.UVStride != yuv.uv_stride) {
      TrackedFree(slot.PlaneU);
      TrackedFree(slot.PlaneV);
      slot.PlaneU = slot.PlaneV = nullptr;
    }
    slot.Picture = 0;  // until the planes below are whole
    slot.YWidth = yuv.y_width;
    slot.YHeight = yuv.y_height;
    slot.YStride = yuv.y_stride;
    slot.UVWidth = yuv.uv_width;
    slot.UVHeight = yuv.uv_height;
    slot.UVStride = yuv.uv_stride;
    const size_t ySize = size_t(slot.YStride) * size_t(slot.YHeight);
    const size_t uvSize = size_t(slot.UVStride) * size_t(slot.UVHeight);
    if (!slot.PlaneY) slot.PlaneY = static_cast<uint8_t*>(TrackedAlloc(ySize, "", 0));
    if (!slot.PlaneU) slot.PlaneU = static_cast<uint8_t*>(TrackedAlloc(uvSize, "", 0));
    if (!slot.PlaneV) slot.PlaneV = static_cast<uint8_t*>(TrackedAlloc(uvSize, "", 0));
    if (!slot.PlaneY || !slot.PlaneU || !slot.PlaneV) return false;
    if (picture != 0) {
      std::memcpy(slot.PlaneY, yuv.y, ySize);
      std::memcpy(slot.PlaneU, yuv.u, uvSize);
      std::memcpy(slot.PlaneV, yuv.v, uvSize);
    } else {
      std::memset(slot.PlaneY, 16, ySize);
      std::memset(slot.PlaneU, 128, uvSize);
      std::memset(slot.PlaneV, 128, uvSize);
    }
    slot.Picture = picture;
  }
  slot.Frame.store(frame, std::memory_order_release);
  slot.Used.store(1, std::memory_order_release);
  return true;
}

// Nothing more can be decoded for now: the current frame's wait gives up.
void MeetEndOfStream(TheoraPlayer* p) {
  p->EndOfStream = 1;
  PlatThreadSleep(1);
}

void DecodeCycle(TheoraPlayer* p) {
  const int64_t c = p->CurrentFrame;
  const int64_t n = p->StockSize;
  const int64_t count = p->FrameCount;
  int64_t d = p->DecodeFrame;

  if (p->EndOfStream == 0) {
    for (int k = 0; k < p->StockSize; ++k) {
      TheoraFrameSlot& slot = p->Stock[k];
      if (slot.Used.load(std::memory_order_relaxed) == 1 && !KeepFrame(slot.Frame, c, n, count, d)) {
        slot.Used.store(0, std::memory_order_release);
      }
    }
  }
  int kD = -1, kC = -1, kF = -1;
  for (int k = 0; k < p->StockSize; ++k) {
    const TheoraFrameSlot& slot = p->Stock[k];
    if (slot.Used.load(std::memory_order_relaxed) == 1) {
      if (kD < 0 && slot.Frame == d) kD = k;
      if (kC < 0 && slot.Frame == c) kC = k;
    } else if (kF < 0) {
      kF = k;
    }
  }
  if (kF < 0 && kC >= 0) {
    // Every frame the stock can hold is there: rest without burning a core.
    p->ThreadState = THEORA_THREAD_IDLE;
    PlatThreadSleep(1);
    return;
  }
  if (kF < 0) {
    // Full, but without the current frame: give up the frame farthest ahead.
    int64_t farthest = -1;
    for (int k = 0; k < p->StockSize; ++k) {
      const int64_t ahead = Ahead(p->Stock[k].Frame, c, count);
      if (ahead > farthest) {
        farthest = ahead;
        kF = k;
      }
    }
    if (kF == kD) kD = -1;
    p->Stock[kF].Used.store(0, std::memory_order_release);
  }
  p->ThreadState = THEORA_THREAD_DECODING;

  if (kC < 0 && c < d) {
    // The current frame lies behind the decoder and is not stored: go back to it.
    const int result = PositionDecoder(p, int32_t(c));
    if (result != kPositioned) {
      MeetEndOfStream(p);
      return;
    }
    d = c;
  } else if (!(kD < 0 && c <= d)) {
    const int64_t step = (kC < 0 && c > d) ? c - d : 1;
    if (d + step < count) {
      if (TheoraDecodeFrames(p, int32_t(step)) == -1) {
        MeetEndOfStream(p);
        return;
      }
    } else {
      // Past the end: start again from the beginning of the movie.
      const int64_t wrapped = d + step - count;
      ogg_sync_reset(&p->Sync);
      ogg_stream_reset(&p->Stream);
      p->Files.Seek(p->File, int64_t(p->PageIndex[0].Offset), 0);
      p->DecodeFrame = -1;
      if (TheoraDecodeFrames(p, int32_t(wrapped + 1)) == -1) {
        MeetEndOfStream(p);
        return;
      }
    }
    d = p->DecodeFrame;
  }
  if (!StoreFrame(p, p->Stock[kF], int32_t(d))) {
    MeetEndOfStream(p);
    return;
  }
  PlatThreadSleep(0);
}
}  // namespace

int TheoraDecodeFrames(TheoraPlayer* p, int n) {
  const int32_t first = p->DecodeFrame + 1;
  int32_t lastKey = -1;
  for (int64_t k = first; k < int64_t(first) + n && k < p->FrameCount; ++k) {
    if (k >= 0 && p->KeyframeTable[k] == 1) lastKey = int32_t(k);
  }
  for (int read = 0; read < n;) {
    while (ogg_stream_packetout(&p->Stream, &p->Packet) != 1) {
      if (ogg_sync_pageout(&p->Sync, &p->Page) > 0) {
        ogg_stream_pagein(&p->Stream, &p->Page);
      } else if (p->Files.Eof(p->File) != 0 || ReadTheoraData(p, THEORA_READ_BLOCK) == 0) {
        return -1;
      }
    }
    if (lastKey == -1 || lastKey <= p->DecodeFrame + 1) {
      // A refused packet, and an empty one (the frame before, repeated),
      // leave the decoder's output as it was.
      if (theora_decode_packetin(&p->Decoder, &p->Packet) == 0 && p->Packet.bytes > 0) ++p->DecoderPicture;
    }
    if (theora_packet_iskeyframe(&p->Packet) < 0) continue;  // a header packet
    p->DecodeFrame = p->DecodeFrame + 1;
    ++read;
  }
  return theora_packet_iskeyframe(&p->Packet) == 1 ? 1 : 0;
}

uint32_t TheoraDecodeThread(void* arg) {
  TheoraPlayer* p = static_cast<TheoraPlayer*>(arg);
  while (p->ExitRequest != 1) {
    if (p->PauseRequest == 1) {
      p->ThreadState = THEORA_THREAD_PAUSED;
      PlatThreadSleep(1);
    } else if (p->SeekRequest == 1) {
      if (!RunSeek(p)) break;
    } else {
      DecodeCycle(p);
    }
  }
  p->ThreadState = THEORA_THREAD_ENDED;
  return 0;
}

int SeekTheoraMovie(TheoraPlayer* p, int frame) {
  if (frame == p->CurrentFrame) return 0;
  p->ImageCurrent = 0;
  p->OverlayCurrent = 0;
  // A seek posted earlier must have been taken first, or the thread's state
  // could still read "paused" from that seek's pause.
  while (p->SeekRequest == 1 && p->ThreadState != THEORA_THREAD_ENDED) PlatThreadSleep(0);
  p->PauseRequest = 1;
  int32_t state = p->ThreadState;
  while (state != THEORA_THREAD_PAUSED && state != THEORA_THREAD_ENDED) {
    PlatThreadSleep(0);
    state = p->ThreadState;
  }
  const int32_t target = frame < 0 ? 0 : frame > p->FrameCount ? int32_t(p->FrameCount) : frame;
  p->CurrentFrame = target;
  p->SeekTarget = target;
  p->SeekRequest = 1;
  p->PauseRequest = 0;
  return 0;
}

int AdvanceTheoraMovie(TheoraPlayer* p, int n) {
  // A movie without frames has nowhere to go.
  if (n < 1 || p->FrameCount <= 0) return 0;
  int64_t c = int64_t(p->CurrentFrame) + n;
  if (c >= p->FrameCount) c %= p->FrameCount;
  p->CurrentFrame = int32_t(c);
  p->ImageCurrent = 0;
  p->OverlayCurrent = 0;
  return 0;
}
