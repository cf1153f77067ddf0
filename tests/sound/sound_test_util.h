// Helpers of the sound tests: WAV files built in memory, temporary files, a
// sound layer started over the capture back end.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/system_state.h"
#include "file/openfile.h"
#include "file/stream.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "process_state.h"
#include "sound/sound.h"
#include "sound/sound_source.h"
#include "sound/sound_state.h"

extern const unsigned char kMp3MonoShort[];
extern const size_t kMp3MonoShortSize;
extern const unsigned char kMp3StereoSecond[];
extern const size_t kMp3StereoSecondSize;
extern const unsigned char kOggMonoShort[];
extern const size_t kOggMonoShortSize;
extern const unsigned char kOggStereoSecond[];
extern const size_t kOggStereoSecondSize;

using Bytes = std::vector<uint8_t>;

inline Bytes FromArray(const unsigned char* data, size_t size) { return Bytes(data, data + size); }

inline void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// One RIFF chunk with its pad byte.
inline Bytes Chunk(const char* id, const Bytes& body, bool pad = true) {
  Bytes c(id, id + 4);
  Put32(c, uint32_t(body.size()));
  c.insert(c.end(), body.begin(), body.end());
  if (pad && (body.size() & 1)) c.push_back(0);
  return c;
}

inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes f;
  uint16_t align = uint16_t(channels * bits / 8);
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * align);
  Put16(f, align);
  Put16(f, bits);
  return f;
}

inline Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes r{'R', 'I', 'F', 'F'};
  Put32(r, uint32_t(body.size()));
  r.insert(r.end(), body.begin(), body.end());
  return r;
}

// 16-bit samples as little-endian bytes.
inline Bytes Pcm16(const std::vector<int16_t>& samples) {
  Bytes b;
  for (int16_t s : samples) Put16(b, uint16_t(s));
  return b;
}

inline Bytes PcmWav16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
  return Riff({Chunk("fmt ", FmtBody(1, channels, rate, 16)), Chunk("data", Pcm16(samples))});
}

// A sine of `frames` frames, period `period` frames, amplitude a.
inline std::vector<int16_t> SineFrames(size_t frames, double period, double a, int channels = 1) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.push_back(int16_t(std::lround(a * std::sin(2 * M_PI * double(i) / period))));
  return s;
}

// A directory of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    // A random part keeps two runs at once (say, a plain and a sanitizer
    // build) out of each other's way.
    path_ = std::filesystem::temp_directory_path() /
            ("vx_sound_" + std::to_string(std::random_device{}()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string Write(const std::string& name, const Bytes& data) const {
    std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return p;
  }

 private:
  std::filesystem::path path_;
};

// Mixes `frames` frames on the capture back end and returns them
// (interleaved stereo).
inline std::vector<int16_t> MixFrames(uint32_t frames) {
  PlatAudioCaptureAdvance(frames);
  std::vector<int16_t> out(size_t(frames) * 2);
  out.resize(PlatAudioCaptureTake(out.data(), frames) * 2);
  return out;
}

inline std::vector<int16_t> LeftOf(const std::vector<int16_t>& stereo) {
  std::vector<int16_t> l;
  for (size_t i = 0; i < stereo.size(); i += 2) l.push_back(stereo[i]);
  return l;
}

// The sound layer started over the capture back end: nothing plays unless the
// test mixes with PlatAudioCaptureAdvance.
class CaptureSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    InitFileAccess();
    PlatAudioSelectBackend(PLAT_AUDIO_CAPTURE);
    SetSoundLoadMode(SOUND_LOAD_WHOLE);
    ASSERT_EQ(InitializeSound(), 0);
  }
  void TearDown() override {
    TerminateSound();
    EndFileAccess();
    teststate::ResetProcessState();
  }
  static std::vector<int16_t> Mix(uint32_t frames) { return MixFrames(frames); }
  static std::vector<int16_t> Left(const std::vector<int16_t>& stereo) { return LeftOf(stereo); }
  TempDir dir_;
};

// A source over bytes in memory (the bytes must outlive it); null on failure,
// with the memory stream closed.
inline SoundSource* OpenMemorySource(const Bytes& data) {
  MemoryStream* ms = OpenMemoryStream(data.data(), data.size());
  if (!ms) return nullptr;
  StreamData stream = MakeMemoryStreamData(ms);
  SoundSource* source = OpenSoundSource(&stream);
  if (!source) stream.Functions.Close(stream.DataHandle);
  return source;
}

// Every frame of a source as bytes; fails the test on a decoding error.
inline Bytes ReadAll(SoundSource* source) {
  Bytes all;
  uint8_t buf[4096];
  for (;;) {
    int64_t got = SoundSourceRead(source, buf, sizeof(buf));
    if (got <= 0) break;
    all.insert(all.end(), buf, buf + got);
  }
  return all;
}

// Live blocks of the tracked allocator.
inline int32_t LiveBlocks() { return SystemState.Kept.Alloc.BlockCount; }
