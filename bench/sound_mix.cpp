// Mixing cost: eight voices and a streaming MP3 at 44.1 kHz, as CPU time per
// second of audio, beside libmpg123's own decoding of the same MP3 (the
// floor: the stream cannot cost less than decoding it).
//
// "core_percent" is the share of one core that one second of audio takes.
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/sound/fixture_data.cpp"
#include "file/openfile.h"
#include "platform/audio.h"
#include "sound/sound.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBlock = 1024;  // frames per device callback

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& data) {
  std::filesystem::path p = std::filesystem::temp_directory_path() / ("vx_bench_" + name);
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  return p.string();
}

std::vector<uint8_t> SineWav(uint16_t channels, uint32_t rate, uint16_t bits, double seconds, double hz) {
  uint32_t frames = uint32_t(rate * seconds), align = channels * bits / 8, bytes = frames * align;
  std::vector<uint8_t> w;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(uint8_t(v >> (8 * i)));
  };
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  put(36 + bytes, 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put(16, 4), put(1, 2), put(channels, 2), put(rate, 4), put(rate * align, 4), put(align, 2), put(bits, 2);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  put(bytes, 4);
  for (uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      double v = 0.2 * std::sin(2 * M_PI * hz * i / rate);
      if (bits == 8)
        put(uint32_t(128 + int(v * 127)), 1);
      else
        put(uint32_t(uint16_t(int16_t(v * 32767))), 2);
    }
  return w;
}

// Starts the sound layer on the capture back end with eight looping voices
// (mixed formats and rates, so the resampling path runs) and, when asked,
// the looping MP3 music.
void StartVoices(bool music) {
  InitFileAccess();
  PlatAudioSelectBackend(PLAT_AUDIO_CAPTURE);
  InitializeSound();
  const struct {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
  } kinds[8] = {{1, 22050, 16}, {2, 44100, 16}, {1, 11025, 8},  {2, 48000, 16},
                {1, 44100, 16}, {2, 22050, 8},  {1, 32000, 16}, {2, 44100, 16}};
  for (int i = 0; i < 8; ++i) {
    std::string path = WriteTemp("voice" + std::to_string(i) + ".wav",
                                 SineWav(kinds[i].channels, kinds[i].rate, kinds[i].bits, 0.5, 200 + 50 * i));
    int h = LoadSoundFileImpl(path.c_str(), 1, -1);
    PlaySoundHandleImpl(h, SOUND_PLAY_LOOP, 1);
  }
  if (music) {
    std::string path = WriteTemp(
        "music.mp3", std::vector<uint8_t>(kMp3StereoSecond, kMp3StereoSecond + kMp3StereoSecondSize));
    PlayMusicFileImpl(path.c_str(), SOUND_PLAY_LOOP);
  }
}

void StopVoices() {
  TerminateSound();
  EndFileAccess();
}

// One iteration is one second of audio: device-sized mixes, with the pump's
// stream refill about every 16 ms.
void MixOneSecond(std::vector<int16_t>& out) {
  uint32_t sinceRefill = 0;
  for (uint32_t done = 0; done < kRate; done += kBlock) {
    PlatAudioMix(out.data(), kBlock);
    sinceRefill += kBlock;
    if (sinceRefill >= 706) {
      ProcessAllStreamSounds();
      sinceRefill = 0;
    }
  }
  benchmark::DoNotOptimize(out.data());
}

void SetCorePercent(benchmark::State& state) {
  // elapsed / (0.01 × iterations): percent of one core per second of audio.
  state.counters["core_percent"] =
      benchmark::Counter(0.01, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_MixEightVoicesAndMp3Stream(benchmark::State& state) {
  StartVoices(true);
  std::vector<int16_t> out(kBlock * 2);
  for (auto _ : state) MixOneSecond(out);
  SetCorePercent(state);
  StopVoices();
}
BENCHMARK(BM_MixEightVoicesAndMp3Stream)->Unit(benchmark::kMillisecond);

void BM_MixEightVoices(benchmark::State& state) {
  StartVoices(false);
  std::vector<int16_t> out(kBlock * 2);
  for (auto _ : state) MixOneSecond(out);
  SetCorePercent(state);
  StopVoices();
}
BENCHMARK(BM_MixEightVoices)->Unit(benchmark::kMillisecond);

// The floor: libmpg123 decoding the same one-second MP3 from memory.
void BM_Mpg123DecodeFloor(benchmark::State& state) {
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  std::vector<unsigned char> pcm(1 << 20);
  for (auto _ : state) {
    mpg123_open_feed(mh);
    mpg123_feed(mh, kMp3StereoSecond, kMp3StereoSecondSize);
    size_t total = 0;
    for (;;) {
      size_t got = 0;
      int ret = mpg123_read(mh, pcm.data(), pcm.size(), &got);
      total += got;
      if (ret != MPG123_OK && ret != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(mh);
    benchmark::DoNotOptimize(total);
  }
  mpg123_delete(mh);
  SetCorePercent(state);
}
BENCHMARK(BM_Mpg123DecodeFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
