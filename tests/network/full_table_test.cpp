// Every connection slot taken. A connection that arrives then is refused
// with one log line and left waiting on the listener; once a slot frees it is
// taken within a few pumps, and however often the frames pump meanwhile the
// refusal is told once per change. Filling the table on loopback takes more
// than 8,192 descriptors (both ends of every connection): the soft limit is
// raised for the test and put back after it.
#include <sys/resource.h>

#include "net_test_util.h"

using namespace nettest;

namespace {

const char kRefusedLine[] = "空きソケットデータがなかったので accept を拒否しました \r\n";
constexpr int kFullCount = NETWORK_CONNECTION_SLOTS + 1;  // with the listener

class FullTable : public NetFixture {
 protected:
  void SetUp() override {
    NetFixture::SetUp();
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved_), 0);
    // Both ends of every connection, a few waiting ones, and room to spare.
    int highest = HighestOpenDescriptor();
    if (highest < 0) highest = 1024;  // a guess, when it cannot be seen
    rlim_t wanted = rlim_t(highest) + 2 * (NETWORK_CONNECTION_SLOTS + 8) + 64;
    if (saved_.rlim_max != RLIM_INFINITY && saved_.rlim_max < wanted)
      GTEST_SKIP() << "the hard limit of open descriptors (" << saved_.rlim_max << ") is below the " << wanted
                   << " that 4,096 loopback connections and their peers need";
    if (saved_.rlim_cur < wanted) {
      rlimit raised = saved_;
      raised.rlim_cur = wanted;
      ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
      raised_ = true;
    }
  }
  void TearDown() override {
    // Ended before the peers close, whose 4,096 close notices, each looked
    // up along the whole socket list, would take seconds under the sanitizers.
    EndNetWorkSystem();
    NetFixture::TearDown();  // every socket of both ends closed
    if (raised_) setrlimit(RLIMIT_NOFILE, &saved_);
  }

  // Pumps without pausing (and without the walk that closes finished
  // handles, of which there are none) until the condition holds or ten
  // seconds pass.
  static bool PumpBriskly(const std::function<bool()>& done) {
    auto start = std::chrono::steady_clock::now();
    while (!done()) {
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) return false;
      PumpNetWorkMessages(0);
    }
    return true;
  }

  // Every connection slot taken by a loopback peer; peer i holds slot i. The
  // pumps keep up with the peers, so the listener's queue stays short.
  bool Fill() {
    peers_.reserve(NETWORK_CONNECTION_SLOTS + 8);
    for (int i = 0; i < NETWORK_CONNECTION_SLOTS; ++i) {
      PlatSocket peer = ConnectPeer(port_);
      if (peer == PLAT_INVALID_SOCKET) return false;
      peers_.push_back(peer);
      if ((i % 64 == 63 || i == NETWORK_CONNECTION_SLOTS - 1) &&
          !PumpBriskly([&] { return NetWork.HandleCount == i + 2; }))
        return false;
    }
    return NetWork.HandleCount == kFullCount;
  }

  // A peer that connects while the table is full, and waits.
  PlatSocket Waiting() {
    PlatSocket peer = ConnectPeer(port_);
    EXPECT_NE(peer, PLAT_INVALID_SOCKET);
    peers_.push_back(peer);
    return peer;
  }

  rlimit saved_{};
  bool raised_ = false;
};

// Packets go both ways between a peer and the handle that accepted it.
void ExpectExchange(PlatSocket peer, int handle) {
  EXPECT_EQ(GetNetWorkAcceptState(handle), 1);
  ASSERT_TRUE(SendAll(peer, Packet({'u', 'p'}).data(), 6));
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 2; })) << handle;
  char got[2] = {};
  ASSERT_EQ(NetWorkRecv(handle, got, 2), 0);
  EXPECT_EQ(std::string(got, 2), "up");
  ASSERT_EQ(NetWorkSend(handle, "dn", 2), 0);
  EXPECT_EQ(RecvExactly(peer, 6), Packet({'d', 'n'}));
}

TEST_F(FullTable, RefusesOncePerChangeAndTakesWaitingConnectionsAsSlotsFree) {
  ASSERT_TRUE(Fill());
  // The listener took check 0, slot i took i + 1, wrapping after 2047.
  EXPECT_EQ(NetWork.Records[2045]->Check, 2046);
  EXPECT_EQ(NetWork.Records[2046]->Check, 2047);
  EXPECT_EQ(NetWork.Records[2047]->Check, 0);
  EXPECT_EQ(NetWork.Records[2048]->Check, 1);
  EXPECT_EQ(GetNetWorkAcceptState(MakeNetWorkHandle(2047, 4095)), -1) << "slot 4095 has check 0";
  EXPECT_EQ(GetNetWorkAcceptState(MakeNetWorkHandle(0, 4095)), 1);

  // A 4,097th connection is refused and left waiting, told once however often the frames pump.
  PlatSocket first = Waiting();
  ASSERT_TRUE(PumpUntil([&] { return LogCount(kRefusedLine) >= 1; }));
  PumpFrames(20);
  EXPECT_EQ(LogCount(kRefusedLine), 1);
  EXPECT_EQ(NetWork.HandleCount, kFullCount);
  NetWorkRecord* listener = NetWork.Records[NETWORK_LISTEN_SLOT];
  EXPECT_EQ(OnSocketMessage(listener->Socket, PLAT_FD_ACCEPT), -1);
  EXPECT_EQ(LogCount(kRefusedLine), 2);

  // A slot frees: the waiting connection comes in by itself, into that slot.
  ASSERT_EQ(CloseNetWorkHandle(MakeNetWorkHandle(0, 4095)), 0);
  int pumps = PumpsUntil([] { return NetWork.HandleCount == kFullCount; }, 300);
  ASSERT_NE(pumps, -1) << "the waiting connection was not taken";
  EXPECT_LE(pumps, 3);
  EXPECT_EQ(GetNewestNetWorkHandle() & 0xFFFF, 4095);
  ExpectExchange(first, GetNewestNetWorkHandle());

  // Two more wait on the full table: one refusal. Two slots free: both come in, with no further refusal.
  PlatSocket second = Waiting();
  PlatSocket third = Waiting();
  ASSERT_TRUE(PumpUntil([&] { return LogCount(kRefusedLine) >= 3; }));
  PumpFrames(20);
  EXPECT_EQ(LogCount(kRefusedLine), 3);
  ASSERT_EQ(CloseNetWorkHandle(MakeNetWorkHandle(11, 10)), 0);
  ASSERT_EQ(CloseNetWorkHandle(MakeNetWorkHandle(12, 11)), 0);
  pumps = PumpsUntil([] { return NetWork.HandleCount == kFullCount; }, 300);
  ASSERT_NE(pumps, -1) << "the waiting connections were not taken";
  EXPECT_LE(pumps, 4);
  PumpFrames(5);
  EXPECT_EQ(LogCount(kRefusedLine), 3);
  int newest = GetNewestNetWorkHandle();
  int older = NetWork.ListHead.Next->Next->Id;
  EXPECT_EQ(older & 0xFFFF, 10);
  EXPECT_EQ(newest & 0xFFFF, 11);
  ExpectExchange(second, older);
  ExpectExchange(third, newest);

  // A refusal still standing when the layer ends: the slots the end frees take nothing in.
  Waiting();
  ASSERT_TRUE(PumpUntil([&] { return LogCount(kRefusedLine) >= 4; }));
  EXPECT_EQ(EndNetWorkSystem(), 0);
  EXPECT_EQ(PlatSocketCount(), baseline_ + int(peers_.size())) << "a connection accepted during the end";
}

}  // namespace
