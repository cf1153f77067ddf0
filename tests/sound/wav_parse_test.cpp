// WAV parsing: the formats played, the chunk layouts met in real files, and
// the files refused.
#include "sound_test_util.h"

namespace {

struct OpenedSource {
  explicit OpenedSource(const Bytes& d) : data(d), source(OpenMemorySource(data)) {}
  ~OpenedSource() { CloseSoundSource(source); }
  Bytes data;
  SoundSource* source;
};

TEST(WavParse, ReadsEachPcmLayoutAsStored) {
  struct Case {
    uint16_t channels, bits;
    uint32_t rate;
  } cases[] = {{1, 8, 11025}, {2, 8, 22050}, {1, 16, 44100}, {2, 16, 48000}};
  for (const Case& c : cases) {
    Bytes pcm;
    for (int i = 0; i < 64; ++i) pcm.push_back(uint8_t(i * 3 + 1));
    OpenedSource s(Riff({Chunk("fmt ", FmtBody(1, c.channels, c.rate, c.bits)), Chunk("data", pcm)}));
    ASSERT_NE(s.source, nullptr) << c.channels << "ch " << c.bits << "bit";
    EXPECT_EQ(s.source->Kind, SOUND_SOURCE_PCM);
    EXPECT_EQ(s.source->Format.Channels, c.channels);
    EXPECT_EQ(s.source->Format.BitsPerSample, c.bits);
    EXPECT_EQ(s.source->Format.SamplesPerSecond, c.rate);
    EXPECT_EQ(s.source->TotalFrames, int64_t(64 / (c.channels * c.bits / 8)));
    EXPECT_EQ(ReadAll(s.source), pcm);
  }
}

TEST(WavParse, SkipsExtraChunksAndOddSizedChunksWithTheirPad) {
  Bytes pcm = Pcm16({100, -100, 200, -200});
  OpenedSource s(Riff({Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'}),  // odd: 5 bytes and a pad
                       Chunk("fmt ", FmtBody(1, 1, 8000, 16)), Chunk("fact", Bytes(4, 0)),
                       Chunk("junk", Bytes(3, 0xAA)), Chunk("data", pcm)}));
  ASSERT_NE(s.source, nullptr);
  EXPECT_EQ(ReadAll(s.source), pcm);
}

TEST(WavParse, FindsDataBeforeFmtAndAnOddDataChunk) {
  // 8-bit mono with 5 samples: an odd data chunk, then the format behind it.
  Bytes pcm{0x80, 0x90, 0xA0, 0xB0, 0xC0};
  OpenedSource s(Riff({Chunk("data", pcm), Chunk("fmt ", FmtBody(1, 1, 8000, 8))}));
  ASSERT_NE(s.source, nullptr);
  EXPECT_EQ(ReadAll(s.source), pcm);
}

TEST(WavParse, AcceptsALongerFmtChunkAndExtensiblePcm) {
  Bytes fmt = FmtBody(1, 2, 44100, 16);
  Put16(fmt, 0);  // cbSize of WAVEFORMATEX
  OpenedSource a(Riff({Chunk("fmt ", fmt), Chunk("data", Pcm16({1, 2}))}));
  EXPECT_NE(a.source, nullptr);

  Bytes ext = FmtBody(0xFFFE, 2, 44100, 16);
  Put16(ext, 22);
  Put16(ext, 16);  // valid bits
  Put32(ext, 3);   // channel mask
  Put16(ext, 1);   // sub-format GUID: PCM ...
  static const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  ext.insert(ext.end(), rest, rest + 14);
  OpenedSource b(Riff({Chunk("fmt ", ext), Chunk("data", Pcm16({1, 2}))}));
  ASSERT_NE(b.source, nullptr);
  EXPECT_EQ(b.source->Format.Channels, 2);
}

TEST(WavParse, IgnoresAWrongRiffSizeButKeepsChunksInsideTheFile) {
  Bytes wav = PcmWav16(1, 8000, {5, 6, 7});
  wav[4] = wav[5] = wav[6] = wav[7] = 0xFF;  // RIFF size far past the end
  OpenedSource s(wav);
  ASSERT_NE(s.source, nullptr);
  EXPECT_EQ(s.source->TotalFrames, 3);
}

TEST(WavParse, RefusesWhatItCannotPlay) {
  Bytes pcm = Pcm16({1, 2, 3, 4});
  std::vector<std::pair<const char*, Bytes>> bad = {
      {"ADPCM compression", Riff({Chunk("fmt ", FmtBody(2, 1, 8000, 4)), Chunk("data", pcm)})},
      {"IEEE float", Riff({Chunk("fmt ", FmtBody(3, 1, 8000, 32)), Chunk("data", pcm)})},
      {"24-bit PCM", Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 24)), Chunk("data", Bytes(6, 0))})},
      {"six channels", Riff({Chunk("fmt ", FmtBody(1, 6, 8000, 16)), Chunk("data", Bytes(12, 0))})},
      {"zero channels", Riff({Chunk("fmt ", FmtBody(1, 0, 8000, 16)), Chunk("data", pcm)})},
      {"rate 0", Riff({Chunk("fmt ", FmtBody(1, 1, 0, 16)), Chunk("data", pcm)})},
      {"short fmt", Riff({Chunk("fmt ", Bytes(14, 1)), Chunk("data", pcm)})},
      {"no data chunk", Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 16))})},
      {"no fmt chunk", Riff({Chunk("data", pcm)})},
      {"data past the end", [&] {
         Bytes w = PcmWav16(1, 8000, {1, 2, 3, 4});
         w.resize(w.size() - 3);
         return w;
       }()},
      {"header only", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}},
      {"not RIFF", Bytes(64, 0x11)},
      {"empty", Bytes{}},
      {"MIDI", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}},
  };
  int32_t before = LiveBlocks();
  for (auto& [name, data] : bad) {
    OpenedSource s(data);
    EXPECT_EQ(s.source, nullptr) << name;
  }
  EXPECT_EQ(LiveBlocks(), before);
}

TEST(WavParse, SeeksToAFrame) {
  OpenedSource s(PcmWav16(2, 8000, {1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_NE(s.source, nullptr);
  ASSERT_EQ(SoundSourceSeek(s.source, 2), 0);
  EXPECT_EQ(ReadAll(s.source), Pcm16({5, 6, 7, 8}));
  ASSERT_EQ(SoundSourceSeek(s.source, 0), 0);
  EXPECT_EQ(ReadAll(s.source).size(), 16u);
}

}  // namespace
