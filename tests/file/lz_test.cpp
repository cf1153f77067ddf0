// The archive key, the descrambler, search names and the LZ coder.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "file/lzencode.h"
#include "file/vlkformat.h"
#include "file_test_util.h"

namespace {

std::vector<uint8_t> Block(uint32_t decoded, uint8_t escape, std::vector<uint8_t> codes) {
  std::vector<uint8_t> b(9);
  uint32_t encoded = static_cast<uint32_t>(9 + codes.size());
  std::memcpy(b.data(), &decoded, 4);
  std::memcpy(b.data() + 4, &encoded, 4);
  b[8] = escape;
  b.insert(b.end(), codes.begin(), codes.end());
  return b;
}

int64_t Decode(const std::vector<uint8_t>& block, std::vector<uint8_t>* out) {
  uint32_t decoded;
  std::memcpy(&decoded, block.data(), 4);
  out->assign(decoded, 0xAA);
  return DecodeArchiveLz(block.data(), block.size(), out->data(), out->size());
}

TEST(ArchiveLz, DecoderVectors) {
  std::vector<uint8_t> out;
  // E E is one literal E.
  ASSERT_EQ(Decode(Block(1, 0x40, {0x40, 0x40}), &out), 1);
  EXPECT_EQ(out[0], 0x40);
  // One literal, then E 00 00: length 4 at distance 0 repeats it four times.
  ASSERT_EQ(Decode(Block(5, 0x40, {'z', 0x40, 0x00, 0x00}), &out), 5);
  EXPECT_EQ(std::string(out.begin(), out.end()), "zzzzz");
  // With escape 0x80 the code 0x81 is 0x80: length 20, one distance byte.
  ASSERT_EQ(Decode(Block(22, 0x80, {'a', 'b', 0x80, 0x81, 0x01}), &out), 22);
  EXPECT_EQ(std::string(out.begin(), out.end()),
            "abababababababababab"
            "ab");
  // Bit 2 with x: length ((c >> 3) | (x << 5)) + 4; two distance bytes.
  ASSERT_EQ(Decode(Block(1 + 8195, 0x00, {'q', 0x00, 0xFE, 0xFF, 0x00, 0x00}), &out), 8196);
  EXPECT_EQ(std::count(out.begin(), out.end(), 'q'), 8196);
  // Three distance bytes.
  ASSERT_EQ(Decode(Block(6, 0x01, {'x', 'y', 0x01, 0x02 + 1, 0x01, 0x00, 0x00}), &out), 6);
  EXPECT_EQ(std::string(out.begin(), out.end()), "xyxyxy");
  // Distance code 3: the previous distance plus one.
  ASSERT_EQ(Decode(Block(3 + 4 + 4, 0xFF, {'a', 'b', 'c', 0xFF, 0x00, 0x00, 0xFF, 0x03}), &out), 11);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abccccccccc");
  // An empty code stream is an empty member.
  EXPECT_EQ(Decode(Block(0, 0x00, {}), &out), 0);
  // A null output asks only for the size.
  auto b = Block(5, 0x40, {'z', 0x40, 0x00, 0x00});
  EXPECT_EQ(DecodeArchiveLz(b.data(), b.size(), nullptr, 0), 5);
}

TEST(ArchiveLz, DecoderRefusesUnsoundBlocks) {
  std::vector<uint8_t> out;
  EXPECT_EQ(Decode(Block(1, 0x40, {0x40}), &out), -1);                   // escape at the end
  EXPECT_EQ(Decode(Block(5, 0x40, {0x40, 0x00, 0x00}), &out), -1);       // match before any output
  EXPECT_EQ(Decode(Block(6, 0x40, {'a', 0x40, 0x00, 0x01}), &out), -1);  // reaches before the start
  EXPECT_EQ(Decode(Block(4, 0x40, {'a', 0x40, 0x00, 0x00}), &out), -1);  // past the output's end
  EXPECT_EQ(Decode(Block(9, 0x40, {'a', 0x40, 0x00, 0x00}), &out), -1);  // output not filled
  EXPECT_EQ(Decode(Block(5, 0x40, {'a', 0x40, 0x03}), &out), -1);        // code 3 before a match
  EXPECT_EQ(Decode(Block(40, 0x40, {'a', 0x40, 0x05}), &out), -1);       // missing length byte
  EXPECT_EQ(Decode(Block(5, 0x40, {'a', 0x40, 0x01, 0x00}), &out), -1);  // short distance
  EXPECT_EQ(Decode(Block(1, 0x00, {}), &out), -1);                       // empty stream, size 1
  auto b = Block(5, 0x40, {'z', 0x40, 0x00, 0x00});
  std::vector<uint8_t> small(4);
  EXPECT_EQ(DecodeArchiveLz(b.data(), b.size(), small.data(), small.size()), -1);
  EXPECT_EQ(DecodeArchiveLz(b.data(), b.size() - 1, small.data(), 5), -1);  // header disagrees
  EXPECT_EQ(DecodeArchiveLz(b.data(), 8, small.data(), 5), -1);
  auto huge = Block(0xFFFFFFFF, 0x40, {'z'});
  EXPECT_EQ(DecodeArchiveLz(huge.data(), huge.size(), nullptr, 0), -1);  // more than it can describe
}

void RoundTrip(const std::vector<uint8_t>& data, int escape = -1) {
  auto block = escape < 0 ? EncodeArchiveLz(data.data(), data.size())
                          : EncodeArchiveLzWithEscape(data.data(), data.size(), static_cast<uint8_t>(escape));
  std::vector<uint8_t> out(data.size() + 1, 0x5A);
  ASSERT_EQ(DecodeArchiveLz(block.data(), block.size(), out.data(), data.size()),
            static_cast<int64_t>(data.size()));
  out.resize(data.size());
  ASSERT_EQ(out, data);
}

TEST(ArchiveLz, EncoderRoundTrips) {
  RoundTrip({});
  RoundTrip({7});
  RoundTrip(filetest::RandomBytes(5000, 1));
  RoundTrip(filetest::CompressibleBytes(200000, 2));
  // Literals equal to the escape byte, and escape values at both ends.
  std::vector<uint8_t> escapes(3000);
  for (size_t i = 0; i < escapes.size(); ++i) escapes[i] = static_cast<uint8_t>(i % 3 == 0 ? 0x80 : i * 7);
  for (int e : {0x00, 0x80, 0xFF, 0xFE}) RoundTrip(escapes, e);
  // Distance-0 runs and every length from 4 to 8,195 and beyond.
  std::vector<uint8_t> runs;
  for (size_t len = 1; len < 8300; len += len < 64 ? 1 : 97) {
    runs.insert(runs.end(), len, static_cast<uint8_t>(len));
    runs.push_back(0xFF);
  }
  RoundTrip(runs);
  for (int e = 0; e < 256; e += 51) RoundTrip(runs, e);
  // 1-, 2- and 3-byte distances: a pattern repeated after gaps of each size.
  auto pattern = filetest::RandomBytes(300, 5);
  std::vector<uint8_t> far;
  for (size_t gap : {10, 200, 5000, 60000, 70000, 300000}) {
    far.insert(far.end(), pattern.begin(), pattern.end());
    auto filler = filetest::RandomBytes(gap, static_cast<uint32_t>(gap));
    far.insert(far.end(), filler.begin(), filler.end());
  }
  far.insert(far.end(), pattern.begin(), pattern.end());
  RoundTrip(far);
  auto block = EncodeArchiveLz(far.data(), far.size());
  EXPECT_LT(block.size(), far.size());
}

TEST(ArchiveLz, EncoderCompressesText) {
  auto text = filetest::CompressibleBytes(100000, 11);
  auto block = EncodeArchiveLz(text.data(), text.size());
  EXPECT_LT(block.size(), text.size() / 2);
}

// Seeded corruptions of valid blocks: every result is an error or a decode
// that stays inside its buffers (the sanitizers watch the rest).
TEST(ArchiveLz, MutatedBlocksNeverCrash) {
  std::mt19937 rng(20240607);
  std::vector<std::vector<uint8_t>> seeds;
  seeds.push_back(EncodeArchiveLz(filetest::CompressibleBytes(600, 1).data(), 600));
  auto runs = std::vector<uint8_t>(500, 'r');
  runs[250] = 0;
  seeds.push_back(EncodeArchiveLzWithEscape(runs.data(), runs.size(), 'r'));
  auto mixed = filetest::RandomBytes(300, 4);
  auto text = filetest::CompressibleBytes(300, 6);
  mixed.insert(mixed.end(), text.begin(), text.end());
  seeds.push_back(EncodeArchiveLz(mixed.data(), mixed.size()));
  int decodedOk = 0;
  const int kMutations = 8000;
  for (int i = 0; i < kMutations; ++i) {
    std::vector<uint8_t> b = seeds[i % seeds.size()];
    uint32_t decoded;
    std::memcpy(&decoded, b.data(), 4);
    switch (rng() % 5) {
      case 0:  // bit flips
        for (int k = 0, n = 1 + rng() % 4; k < n; ++k)
          b[rng() % b.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:  // truncation (the header may or may not follow)
        b.resize(rng() % b.size());
        if (b.size() >= 8 && rng() % 2) {
          uint32_t e = static_cast<uint32_t>(b.size());
          std::memcpy(b.data() + 4, &e, 4);
        }
        break;
      case 2: {  // extreme sizes
        static const uint32_t kValues[] = {0, 1, 8, 9, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0};
        uint32_t v = kValues[rng() % 8];
        std::memcpy(b.data() + (rng() % 2) * 4, &v, 4);
        break;
      }
      case 3:  // a random byte over a code byte
        b[9 + rng() % (b.size() - 9)] = static_cast<uint8_t>(rng());
        break;
      default:  // a new escape value
        b[8] = static_cast<uint8_t>(rng());
        break;
    }
    uint32_t claimed = b.size() >= 4 ? (std::memcpy(&decoded, b.data(), 4), decoded) : 0;
    std::vector<uint8_t> out(std::min<uint32_t>(claimed, 1u << 20));
    int64_t r = DecodeArchiveLz(b.data(), b.size(), out.data(), out.size());
    ASSERT_TRUE(r == -1 || (r >= 0 && static_cast<size_t>(r) == out.size())) << "mutation " << i;
    decodedOk += r >= 0;
  }
  EXPECT_LT(decodedOk, kMutations);
}

TEST(ArchiveKeyXor, EveryStartPositionMatchesTheBytewiseRule) {
  ArchiveKey key;
  MakeArchiveKey(&key);
  auto plain = filetest::RandomBytes(1000, 8);
  for (uint64_t start = 0; start < 24; ++start) {
    for (size_t size : {0, 1, 11, 12, 13, 95, 96, 97, 500, 1000}) {
      std::vector<uint8_t> buf(plain.begin(), plain.begin() + size);
      ArchiveKeyXor(size, buf.data(), start, &key);
      for (size_t i = 0; i < size; ++i)
        ASSERT_EQ(buf[i], plain[i] ^ key.Bytes[(start + i) % 12]) << start << " " << size << " " << i;
      ArchiveKeyXor(size, buf.data(), start, &key);
      ASSERT_TRUE(std::equal(buf.begin(), buf.end(), plain.begin()));
    }
  }
  // A read at file position 13 starts with key byte 1.
  uint8_t zero = 0;
  ArchiveKeyXor(1, &zero, 13, &key);
  EXPECT_EQ(zero, key.Bytes[1]);
  ArchiveKey fallback;
  MakeArchiveFallbackKey(&fallback);
  for (int i = 1; i < 12; ++i) EXPECT_EQ(fallback.Bytes[i], fallback.Bytes[0]);
  EXPECT_NE(std::memcmp(key.Bytes, fallback.Bytes, 12), 0);
}

TEST(ArchiveSearchName, UnitsCheckSumAndCase) {
  ArchiveSearchName a, b;
  EXPECT_EQ(MakeArchiveSearchName("ABCD", &a), 4);
  EXPECT_EQ(a.UnitCount, 2);
  EXPECT_EQ(MakeArchiveSearchName("abc\\rest", &a), 3);
  EXPECT_EQ(a.UnitCount, 1);
  EXPECT_EQ(a.CheckSum, 'A' + 'B' + 'C');
  EXPECT_EQ(std::memcmp(a.Name, "ABC", 4), 0);
  MakeArchiveSearchName("Bg_Data.bmp", &a);
  MakeArchiveSearchName("BG_DATA.BMP", &b);
  EXPECT_EQ(a.UnitCount, b.UnitCount);
  EXPECT_EQ(a.CheckSum, b.CheckSum);
  EXPECT_EQ(std::memcmp(a.Name, b.Name, a.UnitCount * 4u), 0);
  // Shift-JIS pairs are kept: a trail byte in a-z or '\' is not touched.
  EXPECT_EQ(MakeArchiveSearchName("\x83\x61\x95\x5C", &a), 4);
  EXPECT_EQ(std::memcmp(a.Name, "\x83\x61\x95\x5C", 4), 0);
  EXPECT_EQ(MakeArchiveSearchName(std::string(1023, 'n').c_str(), &a), 1023);
  EXPECT_EQ(MakeArchiveSearchName(std::string(1024, 'n').c_str(), &a), -1);
}

}  // namespace
