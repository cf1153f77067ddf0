// Buffered receive and send: the packet mode's framing and rings, short
// sends, re-entry, direct mode and lines.
#include <thread>

#include "net_test_util.h"

using namespace nettest;

namespace {

class NetTransfer : public NetFixture {};

TEST_F(NetTransfer, HelloGoesOutAsOnePacketAndComesBack) {
  PlatSocket peer;
  int h = Accept(&peer);
  ASSERT_EQ(NetWorkSend(h, "hello", 5), 0);
  const std::vector<uint8_t> wire = {0x05, 0x00, 0x00, 0x00, 0x68, 0x65, 0x6C, 0x6C, 0x6F};
  EXPECT_EQ(RecvExactly(peer, 9), wire);
  EXPECT_EQ(GetNetWorkRecord(h)->SendRing.Stored, 0);
  EXPECT_EQ(GetNetWorkRecord(h)->OutgoingLeft, 0u);

  ASSERT_TRUE(SendAll(peer, wire.data(), wire.size()));
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 5; }));
  char buf[8] = {};
  EXPECT_EQ(NetWorkRecv(h, buf, 6), -1) << "more than held: nothing taken";
  EXPECT_EQ(NetWorkRecvToPeek(h, buf, 5), 0);
  EXPECT_EQ(GetNetWorkDataLength(h), 5);
  EXPECT_EQ(NetWorkRecv(h, buf, 5), 0);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(GetNetWorkDataLength(h), 0);
  EXPECT_EQ(GetNetWorkRecord(h)->RecvRing.Stored, 0);
  EXPECT_EQ(NetWorkRecv(h, buf, -1), -1);
  EXPECT_EQ(NetWorkRecvToPeek(h, buf, -1), -1);
  EXPECT_EQ(NetWorkSend(h, buf, -1), -1);
  EXPECT_EQ(NetWorkRecvLine(h, buf), -1) << "lines are for direct mode";
  // Missing buffers are refused without harm to the handle.
  EXPECT_EQ(NetWorkRecv(h, nullptr, 1), -1);
  EXPECT_EQ(NetWorkRecvToPeek(h, nullptr, 1), -1);
  EXPECT_EQ(NetWorkSend(h, nullptr, 1), -1);
  EXPECT_EQ(NetWorkRecvLine(h, nullptr), -1);
  EXPECT_EQ(GetNetWorkRecord(h)->Error, 0);
  EXPECT_EQ(NetWorkSend(h, nullptr, 0), 0);
}

TEST_F(NetTransfer, FirstHundredBytePacketGrowsTheRingTo1100AndLaterOnesReuseIt) {
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  std::vector<uint8_t> body = Pattern(100, 1);
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(SendAll(peer, Packet(body).data(), 104));
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 100; }));
    EXPECT_EQ(r->RecvRing.Capacity, 1100);
    std::vector<uint8_t> got(100);
    ASSERT_EQ(NetWorkRecv(h, got.data(), 100), 0);
    EXPECT_EQ(got, body);
  }
}

TEST_F(NetTransfer, APrefixInPiecesIsTakenOnlyWhenWholeWithoutAFloodOfNotices) {
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  std::vector<uint8_t> packet = Packet(Pattern(40, 3));
  size_t cuts[] = {1, 3, 4, 20, 44};
  size_t at = 0;
  for (size_t cut : cuts) {
    ASSERT_TRUE(SendAll(peer, packet.data() + at, cut - at));
    at = cut;
    for (int i = 0; i < 20; ++i) {
      PumpNetWorkMessages(1);
      PlatSleep(1);
    }
    // The pump leaves nothing behind and no notice comes back by itself.
    PlatMsg m;
    EXPECT_EQ(PlatPeekMessage(&m, NetWork.NotifyWindow, 0), 0) << "after " << cut << " bytes";
    if (cut < 4) {
      EXPECT_EQ(r->IncomingLeft, 0);
      EXPECT_EQ(r->RecvRing.Capacity, 0) << "nothing taken before the 4th byte";
    }
    if (cut < 44) {
      EXPECT_EQ(GetNetWorkDataLength(h), 0);
    }
  }
  EXPECT_EQ(GetNetWorkDataLength(h), 40);
  EXPECT_EQ(r->IncomingLeft, 0);
}

TEST_F(NetTransfer, PacketsArrivingTogetherAreAllTakenAndAnEmptyOneCountsNothing) {
  PlatSocket peer;
  int h = Accept(&peer);
  std::vector<uint8_t> stream;
  for (size_t n : {10u, 0u, 20u, 30u}) {
    auto p = Packet(Pattern(n, uint32_t(n)));
    stream.insert(stream.end(), p.begin(), p.end());
  }
  ASSERT_TRUE(SendAll(peer, stream.data(), stream.size()));
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 60; }));
  std::vector<uint8_t> got(60);
  ASSERT_EQ(NetWorkRecv(h, got.data(), 60), 0);
  std::vector<uint8_t> want = Pattern(10, 10);
  for (uint32_t n : {20u, 30u}) {
    auto part = Pattern(n, n);
    want.insert(want.end(), part.begin(), part.end());
  }
  EXPECT_EQ(got, want);
}

TEST_F(NetTransfer, PacketsWrapPastTheEndOfBothRings) {
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  // 600 makes both rings 1,600 long; 600 more reach position 1,200; 700 wrap.
  uint32_t seed = 100;
  bool wrappedRecv = false, wrappedSend = false;
  for (size_t n : {600u, 600u, 700u, 900u, 1500u}) {
    std::vector<uint8_t> body = Pattern(n, ++seed);
    int32_t readBefore = r->SendRing.Capacity ? r->SendRing.ReadPos % r->SendRing.Capacity : 0;
    ASSERT_EQ(NetWorkSend(h, body.data(), int(n)), 0);
    if (r->SendRing.Capacity == 1600 && readBefore + int32_t(n) > 1600) wrappedSend = true;
    EXPECT_EQ(RecvExactly(peer, n + 4), Packet(body)) << n;

    int32_t writeBefore = r->RecvRing.Capacity ? r->RecvRing.WritePos % r->RecvRing.Capacity : 0;
    ASSERT_TRUE(SendAll(peer, Packet(body).data(), n + 4));
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == int(n); }));
    if (r->RecvRing.Capacity == 1600 && writeBefore + int32_t(n) > 1600) wrappedRecv = true;
    std::vector<uint8_t> got(n);
    ASSERT_EQ(NetWorkRecv(h, got.data(), int(n)), 0);
    EXPECT_EQ(got, body) << n;
  }
  EXPECT_TRUE(wrappedSend);
  EXPECT_TRUE(wrappedRecv);
}

TEST_F(NetTransfer, ShortSendsResumeOnWriteEventsAndLaterSendsMakeOnePacket) {
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_EQ(PlatSocketSetBufferSizes(r->Socket, 4096, 0), 0);
  ASSERT_EQ(PlatSocketSetBufferSizes(peer, 0, 262144), 0);
  std::vector<uint8_t> big = Pattern(1 << 20, 9);
  ASSERT_EQ(NetWorkSend(h, big.data(), int(big.size())), 0);
  for (int i = 0; i < 20; ++i) {
    PumpNetWorkMessages(1);
    PlatSleep(1);
  }
  ASSERT_GT(r->SendRing.Stored, 0) << "the peer does not read: the packet is under way";
  ASSERT_NE(r->OutgoingLeft, 0u);
  ASSERT_EQ(NetWorkSend(h, "abc", 3), 0);
  ASSERT_EQ(NetWorkSend(h, "defg", 4), 0);
  ASSERT_EQ(NetWorkSend(h, "hijkl", 5), 0);

  std::vector<uint8_t> got;
  std::thread reader([&] { got = RecvExactly(peer, big.size() + 4 + 16); });
  // Only write events move the rest: nothing here calls a send entry.
  bool drained = PumpUntil([&] { return r->SendRing.Stored == 0; });
  reader.join();
  ASSERT_TRUE(drained) << r->SendRing.Stored << " left, " << r->OutgoingLeft << " of the packet, peer got "
                       << got.size();
  std::vector<uint8_t> want = Packet(big);
  auto tail = Packet({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'});
  want.insert(want.end(), tail.begin(), tail.end());
  ASSERT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
}

TEST_F(NetTransfer, APartlySentPrefixGoesOutFirst) {
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  // As if the socket had taken one byte of the prefix 7, 0, 0, 0.
  ASSERT_EQ(PlatSocketSend(r->Socket, "\x07", 1), 1);
  ASSERT_EQ(RingBufferAdd(&r->SendRing, "packet!", 7), 0);
  r->OutgoingLeft = 7;
  r->PrefixLeft = 3;
  ASSERT_EQ(SendSocket(h), 0);
  EXPECT_EQ(RecvExactly(peer, 11), Packet({'p', 'a', 'c', 'k', 'e', 't', '!'}));
  EXPECT_EQ(r->PrefixLeft, 0);
  EXPECT_EQ(r->OutgoingLeft, 0u);
}

TEST_F(NetTransfer, DirectModePassesBytesStraightThrough) {
  SetNetWorkPacketModeOff(1);
  PlatSocket peer;
  int h = Accept(&peer);
  EXPECT_EQ(GetNetWorkRecord(h)->PacketMode, 0);
  EXPECT_EQ(GetNetWorkDataLength(h), -1) << "nothing waits";
  EXPECT_EQ(NetWorkSend(h, "raw", 3), 3);
  EXPECT_EQ(RecvExactly(peer, 3), (std::vector<uint8_t>{'r', 'a', 'w'}));

  ASSERT_TRUE(SendAll(peer, "abc\r\nde", 7));
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 1; }));
  char line[256];
  ASSERT_EQ(NetWorkRecvLine(h, line), 0);
  EXPECT_STREQ(line, "abc\r");
  char rest[8] = {};
  EXPECT_EQ(NetWorkRecvToPeek(h, rest, 8), 2) << "the line and its LF were taken, 5 bytes";
  EXPECT_EQ(NetWorkRecvLine(h, line), -1) << "no line end yet";
  EXPECT_EQ(NetWorkRecv(h, rest, 8), 2);
  EXPECT_EQ(std::string(rest, 2), "de");

  // A two-byte character whose second byte is 0x0A is no line end.
  ASSERT_TRUE(SendAll(peer,
                      "\x83\x0A"
                      "x\n",
                      4));
  ASSERT_TRUE(PumpUntil([&] { return PlatSocketPending(GetNetWorkRecord(h)->Socket) == 4; }));
  ASSERT_EQ(NetWorkRecvLine(h, line), 0);
  EXPECT_STREQ(line,
               "\x83\x0A"
               "x");

  // A zero byte before the line end.
  ASSERT_TRUE(SendAll(peer, "a\0b\n", 4));
  ASSERT_TRUE(PumpUntil([&] { return PlatSocketPending(GetNetWorkRecord(h)->Socket) == 4; }));
  EXPECT_EQ(NetWorkRecvLine(h, line), -1);
  EXPECT_EQ(NetWorkRecv(h, rest, 4), 4);

  // No line end among the first 255 bytes waiting.
  std::string longLine(300, 'q');
  longLine += "\n";
  ASSERT_TRUE(SendAll(peer, longLine.data(), longLine.size()));
  ASSERT_TRUE(PumpUntil([&] { return PlatSocketPending(GetNetWorkRecord(h)->Socket) == 301; }));
  EXPECT_EQ(NetWorkRecvLine(h, line), -1);
  EXPECT_EQ(NetWorkRecvLine(h, line), -1);

  PlatSocketClose(peer);
  DropPeer(peer);
  std::vector<char> sink(400);
  ASSERT_TRUE(PumpUntil(
      [&] {
        NetWorkRecv(h, sink.data(), int(sink.size()));
        return GetNetWorkDataLength(h) == 0;
      },
      0));
}

TEST_F(NetTransfer, NoticesDispatchedInsideAReceiveOrSendDoNotEnterThemAgain) {
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  std::vector<uint8_t> body = Pattern(3000, 5);
  ASSERT_TRUE(SendAll(peer, Packet(body).data(), body.size() + 4));
  // Extra notices wait in the queue: the pumps inside the receive and the
  // send dispatch them while those run.
  for (int i = 0; i < 50; ++i) {
    PlatPostMessage(NetWork.NotifyWindow, SocketNotifyMessage, r->Socket, PLAT_FD_READ);
    PlatPostMessage(NetWork.NotifyWindow, SocketNotifyMessage, r->Socket, PLAT_FD_WRITE);
  }
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 3000; }));
  std::vector<uint8_t> got(3000);
  ASSERT_EQ(NetWorkRecv(h, got.data(), 3000), 0);
  EXPECT_EQ(got, body);
  for (int i = 0; i < 50; ++i)
    PlatPostMessage(NetWork.NotifyWindow, SocketNotifyMessage, r->Socket, PLAT_FD_WRITE);
  ASSERT_EQ(NetWorkSend(h, body.data(), 3000), 0);
  EXPECT_EQ(RecvExactly(peer, 3004), Packet(body));
  EXPECT_EQ(RecvSocket(h), 0);
  EXPECT_EQ(SendSocket(h), 0);
}

TEST_F(NetTransfer, AReadNoticeRefusedByTheGuardIsServedOnceTheReceiveEnds) {
  PlatSocket peerA, peerB;
  int a = Accept(&peerA);
  int b = Accept(&peerB);
  NetWorkRecord* rb = GetNetWorkRecord(b);
  ASSERT_TRUE(SendAll(peerB, Packet(Pattern(50, 4)).data(), 54));
  // Wait for the bytes without taking any message, so B's notice is still to come.
  for (int i = 0; i < 2000 && PlatSocketPending(rb->Socket) < 54; ++i) PlatSleep(1);
  ASSERT_EQ(PlatSocketPending(rb->Socket), 54);
  // A's receive dispatches B's notice inside itself, where the guard refuses it.
  EXPECT_EQ(RecvSocket(a), 0);
  EXPECT_EQ(rb->CompleteBytes, 50) << "B's data was taken after A's receive ended";
}

}  // namespace
