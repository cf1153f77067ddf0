// The packet-framed reader against streams of random packets, cut at random
// points, with length prefixes beyond what a ring can hold: whole packets come
// out in order, a refused prefix puts the handle in error with one log line,
// and nothing is read or written out of bounds (run under the sanitizers).
#include <algorithm>
#include <thread>

#include "net_test_util.h"

using namespace nettest;

namespace {

class FramingMutation : public NetFixture {};

TEST_F(FramingMutation, RandomPacketsAndSplitsComeOutWholeOrFailCleanly) {
  SetNetWorkAutoCloseOff(1);
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE(seed);
    PacketStream s = MakePacketStream(seed);
    PlatSocket peer;
    int h = Accept(&peer);
    ASSERT_GE(h, 0);
    int refusalsBefore = LogCount("受信データを保存するリングバッファのリサイズに失敗しました");

    std::thread writer([&] {
      std::mt19937 rng(seed * 7919u);
      size_t at = 0;
      while (at < s.Bytes.size()) {
        size_t n = std::min(s.Bytes.size() - at, size_t(1 + rng() % 700));
        if (!SendAll(peer, s.Bytes.data() + at, n)) break;
        at += n;
        if (rng() % 4 == 0) PlatSleep(rng() % 2);
      }
    });
    std::vector<uint8_t> got;
    NetWorkRecord* r = GetNetWorkRecord(h);
    bool done = PumpUntil(
        [&] {
          if (r->Error == 0) {
            int n = GetNetWorkDataLength(h);
            if (n > 0) {
              // The receive takes the socket's news first: a refused prefix that
              // arrives in between puts the handle in error, and then it is refused.
              std::vector<uint8_t> piece(size_t(n), 0);
              if (NetWorkRecv(h, piece.data(), n) == 0) {
                got.insert(got.end(), piece.begin(), piece.end());
              } else {
                EXPECT_EQ(r->Error, 1) << "a receive is refused only once the handle is in error";
              }
            }
          }
          // Once in error the handle gives nothing more: what came before it was whole.
          return s.Refused ? r->Error == 1 : got.size() >= s.Expected.size();
        },
        0);
    writer.join();
    ASSERT_TRUE(done) << got.size() << " of " << s.Expected.size();
    ASSERT_LE(got.size(), s.Expected.size());
    if (!s.Refused) {
      EXPECT_EQ(got.size(), s.Expected.size());
    }
    EXPECT_TRUE(std::equal(got.begin(), got.end(), s.Expected.begin()));
    EXPECT_EQ(r->Error, s.Refused ? 1 : 0);
    EXPECT_EQ(LogCount("受信データを保存するリングバッファのリサイズに失敗しました") - refusalsBefore,
              s.Refused ? 1 : 0);
    if (!s.Refused) {
      EXPECT_EQ(GetNetWorkDataLength(h), 0);
    }
    uint32_t before = ClockNow().load();
    EXPECT_EQ(CloseNetWorkHandle(h), 0);
    EXPECT_LT(ClockNow().load() - before, 1200u) << "each drain ends within its time";
    PlatSocketClose(peer);
    DropPeer(peer);
  }
}

TEST_F(FramingMutation, ClosingWithHalfAPacketWaitsItsTimeAndDropsTheRest) {
  PlatSocket peer;
  int h = Accept(&peer);
  std::vector<uint8_t> packet = Packet(Pattern(500, 77));
  ASSERT_TRUE(SendAll(peer, packet.data(), 200));
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_TRUE(PumpUntil([&] { return r->IncomingLeft == 304; }, 0));
  EXPECT_EQ(GetNetWorkDataLength(h), 0);
  uint32_t before = ClockNow().load();
  EXPECT_EQ(CloseNetWorkHandle(h), 0);
  uint32_t spent = ClockNow().load() - before;
  EXPECT_GE(spent, 1000u);
  EXPECT_LT(spent, 1100u);
  EXPECT_EQ(GetNetWorkRecord(h), nullptr);
}

TEST_F(FramingMutation, ClosingAHandleInErrorMidPacketEndsTheDrainAtOnce) {
  PlatSocket peer;
  int h = Accept(&peer);
  std::vector<uint8_t> packet = Packet(Pattern(500, 78));
  ASSERT_TRUE(SendAll(peer, packet.data(), 200));
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_TRUE(PumpUntil([&] { return r->IncomingLeft == 304; }, 0));
  r->Error = 1;  // as a failed growth leaves it
  uint32_t before = ClockNow().load();
  EXPECT_EQ(CloseNetWorkHandle(h), 0);
  EXPECT_LT(ClockNow().load() - before, 100u);
  EXPECT_LE(LogCount("このネットワークハンドルにはエラーが発生しています in RecvSocket"), 1);
}

TEST_F(FramingMutation, ASendQueueThatCannotGrowPutsTheHandleInError) {
  PlatSocket peer;
  int h = Accept(&peer);
  char small[16] = {};
  // Far beyond what a ring can hold: refused before a byte is read.
  EXPECT_EQ(NetWorkSend(h, small, 0x7FFFFFF0), -1);
  EXPECT_EQ(LogCount("送信データ 2147483632 byte の追加に失敗しました in NewWorkSend"), 1);
  NetWorkRecord* r = GetNetWorkRecord(h);
  EXPECT_EQ(r->Error, 1);
  EXPECT_EQ(NetWorkSend(h, small, 1), -1);
  EXPECT_EQ(LogCount("このネットワークハンドルにはエラーが発生しています in NetWorkSend"), 1);
  PumpNetWorkMessages(1);
  EXPECT_EQ(GetNetWorkRecord(h), nullptr);
}

}  // namespace
