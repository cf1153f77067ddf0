#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/audio_internal.h"

// One buffer: shared sample data and its own play state. The play position is
// a 32.32 fixed-point frame index so that any source rate steps evenly through
// the output rate.
struct PlatAudioBufferRec {
  std::shared_ptr<std::vector<uint8_t>> Data;
  PlatAudioFormat Format;
  uint32_t BlockAlign;
  uint32_t Frames;
  uint64_t Position;  // frame << 32 | fraction
  uint64_t Step;      // source frames per output frame, 32.32
  int32_t Gain;
  int Playing;
  int Looping;
};

namespace {
std::recursive_mutex g_lock;
std::vector<PlatAudioBufferRec*> g_buffers;
int g_open = 0;
std::vector<int32_t> g_accum;

constexpr uint32_t kOutputRate = 44100;

bool Known(PlatAudioBuffer buffer) {
  return buffer && std::find(g_buffers.begin(), g_buffers.end(), buffer) != g_buffers.end();
}

// Reads frame i of the source as 16-bit left/right.
template <int Bits, int Channels>
inline void ReadFrame(const uint8_t* data, uint32_t i, int32_t* l, int32_t* r) {
  if constexpr (Bits == 8) {
    const uint8_t* p = data + size_t(i) * Channels;
    *l = (int32_t(p[0]) - 128) << 8;
    *r = Channels == 2 ? (int32_t(p[1]) - 128) << 8 : *l;
  } else {
    const uint8_t* p = data + size_t(i) * 2 * Channels;
    *l = int16_t(uint16_t(p[0] | (p[1] << 8)));
    *r = Channels == 2 ? int16_t(uint16_t(p[2] | (p[3] << 8))) : *l;
  }
}

// Adds `frames` output frames of one buffer into the accumulator; stops a
// one-shot buffer at its end. The loop is chosen once per buffer and format.
template <int Bits, int Channels>
void MixVoice(PlatAudioBufferRec* b, int32_t* acc, uint32_t frames) {
  const uint8_t* data = b->Data->data();
  const uint64_t end = uint64_t(b->Frames) << 32;
  const int64_t gain = b->Gain;
  uint64_t pos = b->Position;
  for (uint32_t n = 0; n < frames; ++n) {
    if (pos >= end) {
      if (!b->Looping) {
        b->Playing = 0;
        pos = 0;
        break;
      }
      pos -= end;
      if (pos >= end) pos %= end;
    }
    uint32_t i = uint32_t(pos >> 32);
    uint32_t next = i + 1;
    if (next >= b->Frames) next = b->Looping ? 0 : i;
    int32_t l0, r0, l1, r1;
    ReadFrame<Bits, Channels>(data, i, &l0, &r0);
    int32_t l = l0, r = r0;
    uint32_t frac = uint32_t(pos) >> 16;
    if (frac) {
      ReadFrame<Bits, Channels>(data, next, &l1, &r1);
      l += int32_t((int64_t(l1 - l0) * frac) >> 16);
      r += int32_t((int64_t(r1 - r0) * frac) >> 16);
    }
    acc[2 * n] += int32_t((l * gain) >> 16);
    acc[2 * n + 1] += int32_t((r * gain) >> 16);
    pos += b->Step;
  }
  b->Position = pos;
  if (b->Looping && b->Position >= end) b->Position %= end;
}

void MixOne(PlatAudioBufferRec* b, int32_t* acc, uint32_t frames) {
  if (b->Frames == 0) {
    b->Playing = 0;
    return;
  }
  bool stereo = b->Format.Channels == 2;
  if (b->Format.BitsPerSample == 8) {
    stereo ? MixVoice<8, 2>(b, acc, frames) : MixVoice<8, 1>(b, acc, frames);
  } else {
    stereo ? MixVoice<16, 2>(b, acc, frames) : MixVoice<16, 1>(b, acc, frames);
  }
}

uint8_t SilenceByte(const PlatAudioFormat& f) { return f.BitsPerSample == 8 ? 0x80 : 0x00; }
}  // namespace

std::recursive_mutex& AudioMixerLock() { return g_lock; }

void AudioMixerSetOpen(int open) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  g_open = open;
}

void AudioMixerDestroyAll() {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  for (PlatAudioBufferRec* b : g_buffers) delete b;
  g_buffers.clear();
  g_accum.clear();
  g_accum.shrink_to_fit();
}

uint32_t PlatAudioOutputRate() { return kOutputRate; }

bool PlatAudioFormatValid(const PlatAudioFormat* f) {
  return f && (f->Channels == 1 || f->Channels == 2) && (f->BitsPerSample == 8 || f->BitsPerSample == 16) &&
         f->SamplesPerSecond >= 1000 && f->SamplesPerSecond <= 192000;
}

PlatAudioBuffer PlatAudioCreateBuffer(const PlatAudioFormat* format, uint32_t bytes) {
  if (!PlatAudioFormatValid(format)) return nullptr;
  uint32_t align = uint32_t(format->Channels) * (format->BitsPerSample / 8);
  if (bytes == 0 || bytes % align != 0) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!g_open) return nullptr;
  PlatAudioBufferRec* b = new (std::nothrow) PlatAudioBufferRec{};
  if (!b) return nullptr;
  try {
    b->Data = std::make_shared<std::vector<uint8_t>>(bytes, SilenceByte(*format));
    g_buffers.push_back(b);
  } catch (...) {
    delete b;
    return nullptr;
  }
  b->Format = *format;
  b->BlockAlign = align;
  b->Frames = bytes / align;
  b->Step = (uint64_t(format->SamplesPerSecond) << 32) / kOutputRate;
  b->Gain = PLAT_AUDIO_UNITY_GAIN;
  return b;
}

PlatAudioBuffer PlatAudioDuplicateBuffer(PlatAudioBuffer source) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!g_open || !Known(source)) return nullptr;
  PlatAudioBufferRec* b = new (std::nothrow) PlatAudioBufferRec{};
  if (!b) return nullptr;
  try {
    g_buffers.push_back(b);
  } catch (...) {
    delete b;
    return nullptr;
  }
  b->Data = source->Data;
  b->Format = source->Format;
  b->BlockAlign = source->BlockAlign;
  b->Frames = source->Frames;
  b->Step = source->Step;
  b->Gain = PLAT_AUDIO_UNITY_GAIN;
  return b;
}

void PlatAudioDestroyBuffer(PlatAudioBuffer buffer) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  auto it = std::find(g_buffers.begin(), g_buffers.end(), buffer);
  if (it == g_buffers.end()) return;
  g_buffers.erase(it);
  delete buffer;
}

static int FillWrapped(PlatAudioBuffer buffer, uint32_t offset, const uint8_t* data, uint8_t fill,
                       uint32_t bytes) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return -1;
  std::vector<uint8_t>& d = *buffer->Data;
  uint32_t size = uint32_t(d.size());
  if (offset >= size || bytes > size) return -1;
  uint32_t first = std::min(bytes, size - offset);
  if (data) {
    std::memcpy(d.data() + offset, data, first);
    std::memcpy(d.data(), data + first, bytes - first);
  } else {
    std::memset(d.data() + offset, fill, first);
    std::memset(d.data(), fill, bytes - first);
  }
  return 0;
}

int PlatAudioWriteBuffer(PlatAudioBuffer buffer, uint32_t offset, const void* data, uint32_t bytes) {
  if (!data && bytes) return -1;
  return FillWrapped(buffer, offset, static_cast<const uint8_t*>(data), 0, bytes);
}

int PlatAudioSilenceBuffer(PlatAudioBuffer buffer, uint32_t offset, uint32_t bytes) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return -1;
  return FillWrapped(buffer, offset, nullptr, SilenceByte(buffer->Format), bytes);
}

uint32_t PlatAudioBufferSize(PlatAudioBuffer buffer) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  return Known(buffer) ? uint32_t(buffer->Data->size()) : 0;
}

PlatAudioFormat PlatAudioBufferFormat(PlatAudioBuffer buffer) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  return Known(buffer) ? buffer->Format : PlatAudioFormat{};
}

int PlatAudioPlay(PlatAudioBuffer buffer, int looping) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return -1;
  buffer->Looping = looping ? 1 : 0;
  buffer->Playing = 1;
  return 0;
}

int PlatAudioStop(PlatAudioBuffer buffer) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return -1;
  buffer->Playing = 0;
  return 0;
}

int PlatAudioIsPlaying(PlatAudioBuffer buffer) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  return Known(buffer) && buffer->Playing ? 1 : 0;
}

uint32_t PlatAudioGetPosition(PlatAudioBuffer buffer) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return 0;
  return uint32_t(buffer->Position >> 32) * buffer->BlockAlign;
}

int PlatAudioSetPosition(PlatAudioBuffer buffer, uint32_t bytes) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return -1;
  uint32_t frame = bytes / buffer->BlockAlign;
  if (frame >= buffer->Frames) frame = 0;
  buffer->Position = uint64_t(frame) << 32;
  return 0;
}

int PlatAudioSetGain(PlatAudioBuffer buffer, int32_t gain) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  if (!Known(buffer)) return -1;
  buffer->Gain = std::clamp<int32_t>(gain, 0, PLAT_AUDIO_UNITY_GAIN);
  return 0;
}

void PlatAudioMix(int16_t* out, uint32_t frames) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  size_t samples = size_t(frames) * 2;
  if (g_accum.size() < samples) {
    try {
      g_accum.resize(samples);
    } catch (...) {
      std::memset(out, 0, samples * sizeof(int16_t));
      return;
    }
  }
  int32_t* acc = g_accum.data();
  std::fill(acc, acc + samples, 0);
  for (PlatAudioBufferRec* b : g_buffers) {
    if (b->Playing) MixOne(b, acc, frames);
  }
  for (size_t i = 0; i < samples; ++i) out[i] = int16_t(std::clamp(acc[i], -32768, 32767));
}
