// Seeded corruptions of valid WAV, MP3 and Ogg Vorbis files: every one must
// open and decode to the end, or be refused, without a crash, a hang, a read
// out of bounds or a block left behind. Runs under the sanitizers in CI.
#include <malloc.h>
#include <ogg/ogg.h>

#include <cstdlib>
#include <random>

#include "sound_test_util.h"

namespace {

constexpr int kMutationsPerFormat = 5000;

Bytes Mutate(const Bytes& original, std::mt19937& rng) {
  Bytes d = original;
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  switch (rng() % 6) {
    case 0: {  // a few bit flips
      int flips = 1 + int(rng() % 8);
      for (int i = 0; i < flips; ++i) d[pick(d.size())] ^= uint8_t(1u << (rng() % 8));
      break;
    }
    case 1:  // truncation
      d.resize(pick(d.size()));
      break;
    case 2: {  // a 32-bit field set to an extreme
      static const uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x10000};
      if (d.size() < 4) break;
      size_t at = pick(d.size() - 3);
      uint32_t v = extremes[rng() % 7];
      for (int i = 0; i < 4; ++i) d[at + i] = uint8_t(v >> (8 * i));
      break;
    }
    case 3: {  // a run of random bytes
      size_t at = pick(d.size()), len = 1 + pick(32);
      for (size_t i = at; i < d.size() && i < at + len; ++i) d[i] = uint8_t(rng());
      break;
    }
    case 4: {  // a 16-bit field set to an extreme
      if (d.size() < 2) break;
      size_t at = pick(d.size() - 1);
      uint16_t v = (rng() & 1) ? 0xFFFF : 0;
      d[at] = uint8_t(v);
      d[at + 1] = uint8_t(v >> 8);
      break;
    }
    default: {  // a block duplicated or removed in the middle
      size_t at = pick(d.size()), len = 1 + pick(64);
      if (rng() & 1) {
        Bytes part(d.begin() + long(at), d.begin() + long(std::min(d.size(), at + len)));
        d.insert(d.begin() + long(at), part.begin(), part.end());
      } else {
        d.erase(d.begin() + long(at), d.begin() + long(std::min(d.size(), at + len)));
      }
    }
  }
  return d;
}

// Rewrites the checksum of every whole Ogg page, so that a corruption reaches
// the Vorbis decoder instead of being dropped by the page layer.
void FixOggChecksums(Bytes& d) {
  size_t pos = 0;
  while (pos + 27 <= d.size()) {
    if (std::memcmp(&d[pos], "OggS", 4) != 0) {
      ++pos;
      continue;
    }
    size_t segments = d[pos + 26], header = 27 + segments;
    if (pos + header > d.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += d[pos + 27 + i];
    if (pos + header + body > d.size()) break;
    ogg_page page{&d[pos], long(header), &d[pos + header], long(body)};
    ogg_page_checksum_set(&page);
    pos += header + body;
  }
}

// Opens and decodes every mutation; returns how many opened.
// VX_SOUND_MUTATION_SEED adds to every seed, so that a developer can run
// other corpora than CI's (failures print the mutation's number).
int RunMutations(const Bytes& original, uint32_t seed, bool oggChecksums = false) {
  if (const char* extra = std::getenv("VX_SOUND_MUTATION_SEED"))
    seed += uint32_t(std::strtoul(extra, nullptr, 10));
  std::mt19937 rng(seed);
  int32_t before = LiveBlocks();
  int opened = 0;
  for (int i = 0; i < kMutationsPerFormat; ++i) {
    Bytes data = Mutate(original, rng);
    if (oggChecksums) FixOggChecksums(data);
    SoundSource* s = OpenMemorySource(data);
    if (!s) continue;
    ++opened;
    uint8_t buf[8192];
    // A decoder may not produce more than a bounded amount from a small
    // file; a runaway would show as a hang here, so it is capped and checked.
    int64_t total = 0;
    for (int reads = 0; reads < 4096; ++reads) {
      int64_t got = SoundSourceRead(s, buf, sizeof(buf));
      if (got <= 0) break;
      total += got;
    }
    EXPECT_LT(total, int64_t(64) << 20) << "mutation " << i;
    if (i % 7 == 0) {  // and a seek back, as a looping stream does
      SoundSourceSeek(s, 0);
      SoundSourceRead(s, buf, sizeof(buf));
    }
    CloseSoundSource(s);
  }
  EXPECT_EQ(LiveBlocks(), before);
  std::printf("%d of %d corrupt files opened\n", opened, kMutationsPerFormat);
  return opened;
}

TEST(SoundMutation, Wav) {
  Bytes fmt8 = FmtBody(1, 2, 22050, 16);
  Bytes wav = Riff(
      {Chunk("LIST", Bytes(9, 'i')), Chunk("fmt ", fmt8), Chunk("data", Pcm16(SineFrames(40, 10, 3000, 2)))});
  int opened = RunMutations(wav, 1234);
  EXPECT_GT(opened, 0);
  EXPECT_LT(opened, kMutationsPerFormat);
}

TEST(SoundMutation, MpegWav) {
  Bytes fmt = FmtBody(0x55, 1, 22050, 0);
  Bytes wav = Riff({Chunk("fmt ", fmt), Chunk("data", FromArray(kMp3MonoShort, kMp3MonoShortSize))});
  EXPECT_GT(RunMutations(wav, 99), 0);
}

TEST(SoundMutation, Mp3) { EXPECT_GT(RunMutations(FromArray(kMp3MonoShort, kMp3MonoShortSize), 4321), 0); }

TEST(SoundMutation, OggVorbis) {
  EXPECT_GT(RunMutations(FromArray(kOggMonoShort, kOggMonoShortSize), 8765, true), 0);
}

// The pages of an Ogg file, each whole.
std::vector<Bytes> OggPages(const Bytes& d) {
  std::vector<Bytes> pages;
  size_t pos = 0;
  while (pos + 27 <= d.size()) {
    size_t header = 27 + d[pos + 26], body = 0;
    for (size_t i = 0; i < d[pos + 26]; ++i) body += d[pos + 27 + i];
    pages.emplace_back(d.begin() + long(pos), d.begin() + long(pos + header + body));
    pos += header + body;
  }
  return pages;
}

// A page moved to another logical stream.
Bytes WithSerial(Bytes page, uint32_t serial) {
  for (int i = 0; i < 4; ++i) page[14 + i] = uint8_t(serial >> (8 * i));
  FixOggChecksums(page);
  return page;
}

// Bytes the C heap holds in use (0 where the sanitizers own the heap; their
// leak check at exit covers those builds).
size_t HeapInUse() { return mallinfo2().uordblks; }

// Chained files whose later link is cut inside its headers: vorbisfile
// refuses them but loses a block on the way, so they are refused before it
// sees them, whatever link the cut one is and whatever serial it reuses.
TEST(OggChains, ALaterLinkCutInItsHeadersIsRefusedUpFront) {
  const std::vector<Bytes> pages = OggPages(FromArray(kOggMonoShort, kOggMonoShortSize));
  ASSERT_EQ(pages.size(), 3u);  // identification; comment and setup; audio
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const Bytes headersOnly = join({pages[0], pages[1]});
  const Bytes wholeLink = join({pages[0], pages[1], pages[2]});
  const Bytes cases[] = {
      join({headersOnly, WithSerial(pages[0], 777)}),  // link 2: its first page only
      join({wholeLink, WithSerial(pages[0], 777)}),
      join({wholeLink, wholeLink, WithSerial(pages[0], 0x3039)}),  // a serial used before
      join({wholeLink, WithSerial(pages[0], 1), WithSerial(pages[1], 1), WithSerial(pages[2], 1),
            WithSerial(pages[0], 2)}),  // link 3
  };
  // Chains whose every link is whole still open and play all their links.
  const Bytes good =
      join({wholeLink, WithSerial(pages[0], 5), WithSerial(pages[1], 5), WithSerial(pages[2], 5)});
  SoundSource* s = OpenMemorySource(good);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->TotalFrames, 2 * 2205);
  CloseSoundSource(s);

  // The heap's in-use count also holds freed blocks that the allocator keeps
  // at hand, so a leak shows as growth over many refusals: 8 bytes lost per
  // refusal would be some 100 KB here.
  const int32_t blocks = LiveBlocks();
  const size_t heap = HeapInUse();
  for (int round = 0; round < 1000; ++round) {
    for (const Bytes& file : cases) {
      SoundSource* opened = OpenMemorySource(file);
      if (opened) {
        ADD_FAILURE() << "opened: " << file.size() << " bytes";
        CloseSoundSource(opened);
      }
    }
    if (HasFailure()) break;
  }
  EXPECT_EQ(LiveBlocks(), blocks);
  EXPECT_LT(HeapInUse(), heap + 16384);
}

// The whole load path (file access, whole decode, buffers, handles) over a
// smaller set of corrupt files, in both load modes.
TEST_F(CaptureSoundTest, CorruptFilesLoadOrFailCleanly) {
  std::mt19937 rng(77);
  const Bytes originals[] = {PcmWav16(1, 8000, SineFrames(64, 8, 2000)),
                             FromArray(kMp3MonoShort, kMp3MonoShortSize),
                             FromArray(kOggMonoShort, kOggMonoShortSize)};
  int32_t before = LiveBlocks();
  for (int i = 0; i < 300; ++i) {
    Bytes data = Mutate(originals[i % 3], rng);
    std::string path = dir_.Write("m" + std::to_string(i % 3), data);
    SetSoundLoadMode(i % 2 ? SOUND_LOAD_FILE_STREAM : SOUND_LOAD_WHOLE);
    int h = LoadSoundFileImpl(path.c_str(), 2, -1);
    if (h == -1) continue;
    PlaySoundHandleImpl(h, SOUND_PLAY_LOOP, 1);
    Mix(4410);
    ProcessAllStreamSounds();
    GetSoundPlayTime(h);
    EXPECT_EQ(DeleteSoundData(h, 0), 0);
  }
  EXPECT_EQ(LiveBlocks(), before);
}

}  // namespace
