// Byte streams the network tests send, shared with the fuzz targets' seed
// maker: HTTP answers of many shapes, and peer streams of length-prefixed
// packets (whole, cut short, or with a length no ring can hold).
#pragma once
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace nettest {

inline std::vector<uint8_t> Packet(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(4 + body.size());
  uint32_t n = uint32_t(body.size());
  for (int i = 0; i < 4; ++i) out[size_t(i)] = uint8_t(n >> (8 * i));
  if (!body.empty()) std::memcpy(out.data() + 4, body.data(), body.size());
  return out;
}

inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  std::mt19937 rng(seed);
  for (auto& b : out) b = uint8_t(rng());
  return out;
}

// Answers a server gives: with and without a length, other codes, repeated
// lengths, an empty body, bare line ends.
inline const std::vector<std::string>& SampleHttpAnswers() {
  static const std::vector<std::string> answers = {
      "HTTP/1.0 200 OK\r\nContent-Length: 40\r\nServer: t\r\n\r\n0123456789012345678901234567890123456789",
      "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nno length here, the close ends it",
      "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!",
      "HTTP/1.0 200 OK\nContent-Length: 12\nContent-Length: 3\n\nabc",
      "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n",
  };
  return answers;
}

struct PacketStream {
  std::vector<uint8_t> Bytes;
  std::vector<uint8_t> Expected;  // bodies of the whole packets before any refused prefix
  bool Refused = false;
};

// A peer's stream of one to eight packets, some empty, some long; now and
// then a length no ring can hold (and garbage after it), or a last packet
// cut short.
inline PacketStream MakePacketStream(uint32_t seed) {
  std::mt19937 rng(seed);
  PacketStream s;
  int packets = 1 + int(rng() % 8);
  for (int i = 0; i < packets && !s.Refused; ++i) {
    uint32_t kind = rng() % 100;
    if (kind < 12) {
      // A length no ring can hold: at or above 2^31, or just under it.
      uint32_t length = rng() % 2 ? 0x80000000u | rng() : 0x7FFFFFFFu - rng() % 1000;
      for (int b = 0; b < 4; ++b) s.Bytes.push_back(uint8_t(length >> (8 * b)));
      size_t garbage = rng() % 300;
      for (size_t g = 0; g < garbage; ++g) s.Bytes.push_back(uint8_t(rng()));
      s.Refused = true;
      break;
    }
    size_t length = kind < 22 ? 0 : kind < 70 ? rng() % 64 : rng() % 5000;
    std::vector<uint8_t> body = Pattern(length, rng());
    std::vector<uint8_t> packet = Packet(body);
    s.Bytes.insert(s.Bytes.end(), packet.begin(), packet.end());
    s.Expected.insert(s.Expected.end(), body.begin(), body.end());
  }
  if (!s.Refused && rng() % 3 == 0) {
    // A packet cut short: its prefix (maybe only part of it) and some bytes.
    std::vector<uint8_t> packet = Packet(Pattern(100 + rng() % 900, rng()));
    packet.resize(1 + rng() % (packet.size() - 1));
    s.Bytes.insert(s.Bytes.end(), packet.begin(), packet.end());
  }
  return s;
}

}  // namespace nettest
