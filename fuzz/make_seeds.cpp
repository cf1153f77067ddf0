// Writes the seed corpus of every fuzz target, made by the tests' own file
// makers: fuzz_make_seeds DIR writes DIR/<target>/seed-N.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "clip_maker.h"
#include "file/lzencode.h"
#include "file/vlkformat.h"
#include "file_test_util.h"
#include "image_test_util.h"
#include "jpeg_test_util.h"
#include "network/net_samples.h"
#include "sound_test_util.h"

namespace {

namespace fs = std::filesystem;
using imgtest::Bytes;

void Write(const fs::path& dir, const std::vector<Bytes>& seeds) {
  fs::create_directories(dir);
  for (size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(dir / ("seed-" + std::to_string(i)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(seeds[i].data()), std::streamsize(seeds[i].size()));
  }
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<Bytes> ImageSeeds() {
  Bytes bgra;
  for (int i = 0; i < 3 * 2 * 4; ++i) bgra.push_back(uint8_t(i * 11));
  Bytes bmpPixels(12 * 3, 0x5A);
  Bytes rle;
  for (int i = 0; i < 6; ++i)
    rle.push_back(i % 2 ? 0x81 : 0x01), rle.insert(rle.end(), {uint8_t(i), 2, 3, 4, 5, 6});
  Bytes dxt = imgtest::DdsHeader(0, 4, 4, 0, 4, imgtest::FourCC("DXT5"));
  for (int i = 0; i < 16; ++i) dxt.push_back(uint8_t(i * 37));
  return {
      imgtest::MakeBmp(4, 3, 24, 0, {}, bmpPixels),
      imgtest::MakeBmp(4, 2, 8, 0, imgtest::MakeColorTable(4), Bytes(8, 2), 4),
      imgtest::MakeRgbaPng(5, 4),
      imgtest::MakeRgbaPng(3, 3, true),
      jpegtest::MakeJpeg(8, 8, 3),
      jpegtest::MakeJpeg(9, 5, 1, true),
      imgtest::BgraFile(0x08080808, 3, 2, bgra),
      imgtest::TgaFile(10, 4, 3, 24, 0x00, rle, 0, 0, 0, true),
      imgtest::TgaFile(2, 2, 2, 32, 0x20, Bytes(16, 0x33)),
      dxt,
  };
}

std::vector<Bytes> AlphaSeeds() {
  // Two length bytes (the image's share), the image, its alpha companion.
  const Bytes image = imgtest::MakeRgbaPng(4, 3),
              alpha = imgtest::MakeBmp(4, 3, 24, 0, {}, Bytes(12 * 3, 0x80));
  const Bytes share = {uint8_t(image.size()), uint8_t(image.size() >> 8)};
  const Bytes bgra = imgtest::BgraFile(0x08080808, 1, 1, {1, 2, 3, 4});
  return {Join({share, image, alpha}), Join({{uint8_t(bgra.size()), 0}, bgra, bgra})};
}

std::vector<Bytes> SoundSeeds() {
  return {
      PcmWav16(1, 8000, SineFrames(64, 8, 2000)),
      PcmWav16(2, 22050, SineFrames(40, 10, 3000, 2)),
      Riff({Chunk("fmt ", FmtBody(0x55, 1, 22050, 0)),
            Chunk("data", FromArray(kMp3MonoShort, kMp3MonoShortSize))}),
      FromArray(kMp3MonoShort, kMp3MonoShortSize),
      FromArray(kOggMonoShort, kOggMonoShortSize),
  };
}

std::vector<Bytes> ArchiveSeeds() {
  const std::vector<ArchiveWriterMember> members = {
      {"a.txt", filetest::CompressibleBytes(300, 1), false},
      {"D\\b.bin", filetest::RandomBytes(40, 2), false},
      {"D\\E\\c.txt", filetest::CompressibleBytes(200, 3), false},
      {"z.bin", std::vector<uint8_t>(64, 'z'), false},
  };
  std::vector<Bytes> seeds;
  for (uint16_t version : {uint16_t(1), uint16_t(2)}) {
    ArchiveWriterOptions options;
    options.Version = version;
    Bytes plain = filetest::BuildArchiveBytes(members, options);
    // The target takes archives as they are before scrambling.
    ArchiveKey key;
    MakeArchiveKey(&key);
    ArchiveKeyXor(plain.size(), plain.data(), 0, &key);
    seeds.push_back(plain);
  }
  return seeds;
}

std::vector<Bytes> LzSeeds() {
  const Bytes a = filetest::CompressibleBytes(300, 1), b = filetest::CompressibleBytes(90, 7);
  return {EncodeArchiveLz(a.data(), a.size()), EncodeArchiveLzWithEscape(b.data(), b.size(), 0x80)};
}

std::vector<Bytes> TextSeeds(bool position) {
  const Bytes lead = position ? Bytes{0x35} : Bytes{};
  return {
      Join({lead, Text("Score 1234\nLines 5")}),
      Join({lead, Text("\x82\xA0\x82\xA2\x83\x4E\x83\x8A\x83\x41 %d %s")}),
      Join({lead, Text("\x81\x40\xE0\x40\xFC\xFC tail\x81")}),
  };
}

std::vector<Bytes> HttpAnswerSeeds() {
  std::vector<Bytes> seeds;
  for (const std::string& answer : nettest::SampleHttpAnswers()) seeds.push_back(Text(answer));
  return seeds;
}

std::vector<Bytes> PacketStreamSeeds() {
  std::vector<Bytes> seeds;
  for (uint32_t seed = 1; seed <= 8; ++seed) seeds.push_back(nettest::MakePacketStream(seed).Bytes);
  return seeds;
}

// Small clips of the movie tests' clip maker, in the shapes the reader
// must handle: keyframes apart, a sound track interleaved with packets split
// across pages, repeated frames, 4:4:4 chroma, keyframes the decoder refuses,
// and headers without frames.
std::vector<Bytes> MovieSeeds() {
  std::vector<Bytes> seeds;
  auto add = [&](const movietest::ClipOptions& o) { seeds.push_back(movietest::MakeClip(o).Data); };
  movietest::ClipOptions plain;
  plain.Width = 32;
  plain.Height = 32;
  plain.Pictures = 6;
  plain.KeyframeInterval = 3;
  add(plain);
  movietest::ClipOptions mixed = plain;
  mixed.Sound = true;
  mixed.PageBody = 200;
  mixed.Duplicates = {{1, 2}};
  add(mixed);
  movietest::ClipOptions chroma = plain;
  chroma.PixelFormat = 3;
  chroma.Width = 24;
  chroma.Height = 16;
  add(chroma);
  movietest::ClipOptions refused = plain;
  refused.RefuseKeyframes = true;
  add(refused);
  movietest::ClipOptions empty = plain;
  empty.Pictures = 0;
  add(empty);
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  const fs::path dir = argv[1];
  Write(dir / "image_decoders", ImageSeeds());
  Write(dir / "image_alpha", AlphaSeeds());
  Write(dir / "sound_load", SoundSeeds());
  Write(dir / "archive", ArchiveSeeds());
  Write(dir / "lz_decode", LzSeeds());
  Write(dir / "log_sjis", TextSeeds(false));
  Write(dir / "text_draw", TextSeeds(true));
  Write(dir / "http_answer", HttpAnswerSeeds());
  Write(dir / "packet_stream", PacketStreamSeeds());
  Write(dir / "movie", MovieSeeds());
  return 0;
}
