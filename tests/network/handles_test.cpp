// Network handles: start-up, the handle check, accepting and connecting,
// disconnection and automatic closing, shutdown, and a layer
// that was never started.
#include <thread>

#include "net_test_util.h"

using namespace nettest;

namespace {

const char kNotValid[] = "有効なネットワークハンドルではありません in ";
const char kInError[] = "このネットワークハンドルにはエラーが発生しています in ";

class NetHandles : public NetFixture {};

class NetWorkNotStarted : public teststate::FreshProcessTest {};

TEST_F(NetWorkNotStarted, EveryEntryFailsAtOnceWithoutALogLine) {
  CapturedLog log;
  ASSERT_EQ(NetWork.Initialized, 0);
  int h = MakeNetWorkHandle(0, 0);
  char buf[8] = {};
  EXPECT_EQ(AcceptNetWork(), -1);
  EXPECT_EQ(OnSocketMessage(1, PLAT_FD_READ), 0);
  EXPECT_EQ(OnSocketMessage(1, PLAT_FD_ACCEPT), 0);
  EXPECT_EQ(PumpNetWorkMessages(1), 0);
  EXPECT_EQ(PumpNetWorkMessages(0), 0);
  EXPECT_EQ(CloseNetWorkHandle(h), -1);
  EXPECT_EQ(GetNetWorkAcceptState(h), -1);
  EXPECT_EQ(RecvSocket(h), -1);
  EXPECT_EQ(SendSocket(h), -1);
  EXPECT_EQ(NetWorkRecv(h, buf, 1), -1);
  EXPECT_EQ(NetWorkRecvToPeek(h, buf, 1), -1);
  EXPECT_EQ(NetWorkSend(h, buf, 1), -1);
  EXPECT_EQ(NetWorkRecvLine(h, buf), -1);
  EXPECT_EQ(GetNetWorkDataLength(h), -1);
  EXPECT_EQ(ConnectNetWork(kLoopback, 1), -1);
  EXPECT_EQ(GetNewestNetWorkHandle(), -1);
  EXPECT_EQ(EndNetWorkSystem(), 0);
  EXPECT_EQ(LogText(), "");
}

TEST(NetWorkHandleWords, AreMadeFromCheckNumberAndSlot) {
  EXPECT_EQ(MakeNetWorkHandle(0, 4096), 0x48001000);
  EXPECT_EQ(MakeNetWorkHandle(2047, 4095), 0x4FFF0FFF);
  EXPECT_EQ(MakeNetWorkHandle(5, 3), 0x48050003);
}

TEST_F(NetHandles, TheListenerHasSlot4096AndPassesEveryCheck) {
  int listener = MakeNetWorkHandle(0, NETWORK_LISTEN_SLOT);
  EXPECT_EQ(listener, 0x48001000);
  EXPECT_EQ(GetNewestNetWorkHandle(), listener);
  EXPECT_EQ(GetNetWorkRecord(listener), NetWork.Records[NETWORK_LISTEN_SLOT]);
  EXPECT_EQ(GetNetWorkAcceptState(listener), 1);
  EXPECT_EQ(GetNetWorkDataLength(listener), -1) << "direct mode, nothing waits";
  EXPECT_EQ(NetWork.CheckCounter, 1);
  // A few handles that fail the check: no line.
  EXPECT_EQ(GetNetWorkAcceptState(MakeNetWorkHandle(1, NETWORK_LISTEN_SLOT)), -1);
  EXPECT_EQ(GetNetWorkAcceptState(listener | int(0x80000000u)), -1);
  EXPECT_EQ(GetNetWorkAcceptState(listener ^ 0x08000000), -1);
  EXPECT_EQ(GetNetWorkAcceptState(MakeNetWorkHandle(0, 4097)), -1);
  EXPECT_EQ(GetNetWorkAcceptState(MakeNetWorkHandle(0, 7)), -1);
  EXPECT_EQ(LogText().find(kNotValid), std::string::npos);
}

TEST_F(NetHandles, AcceptedConnectionGetsTheNextHandleAndThePeerAddress) {
  PlatSocket peer;
  int h = Accept(&peer);
  EXPECT_EQ(h, MakeNetWorkHandle(1, 0));
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Used, 1);
  EXPECT_EQ(r->Connected, 1);
  EXPECT_EQ(r->WordA, 0);
  EXPECT_EQ(r->WordB, 1);
  EXPECT_EQ(r->PacketMode, 1);
  EXPECT_EQ(r->AutoClose, 1);
  EXPECT_EQ(std::memcmp(r->PeerAddress, kLoopback, 4), 0);
  EXPECT_NE(r->PeerPort, 0u);
  EXPECT_EQ(NetWork.HandleCount, 2);
  EXPECT_EQ(GetNetWorkAcceptState(h), 1);

  // Closing frees the slot; the old handle then fails silently.
  EXPECT_EQ(CloseNetWorkHandle(h), 0);
  EXPECT_EQ(NetWork.Records[0], nullptr);
  EXPECT_EQ(NetWork.HandleCount, 1);
  EXPECT_EQ(CloseNetWorkHandle(h), -1);
  EXPECT_EQ(GetNetWorkAcceptState(h), -1);
  // The slot is taken again with a new check number.
  PlatSocket peer2;
  EXPECT_EQ(Accept(&peer2), MakeNetWorkHandle(2, 0));
  EXPECT_EQ(LogText().find(kNotValid), std::string::npos);
}

TEST_F(NetHandles, OutgoingConnectionIsConnectedOnceItsConnectEventCame) {
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
  ASSERT_NE(listener, PLAT_INVALID_SOCKET);
  PlatSocketSetTimeouts(listener, 3000, 3000);
  int h = ConnectNetWork(kLoopback, PlatSocketLocalPort(listener));
  ASSERT_GE(h, 0);
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Connected, 0);
  EXPECT_EQ(NetWork.HandleCount, 2);
  ASSERT_TRUE(PumpUntil([&] { return r->Connected == 1; }));
  PlatSocket far = PlatSocketAccept(listener, nullptr, nullptr);
  ASSERT_NE(far, PLAT_INVALID_SOCKET);
  PlatSocketSetTimeouts(far, 3000, 3000);
  ASSERT_EQ(NetWorkSend(h, "hello", 5), 0);
  std::vector<uint8_t> got = RecvExactly(far, 9);
  EXPECT_EQ(got, Packet({'h', 'e', 'l', 'l', 'o'}));
  PlatSocketClose(far);
  PlatSocketClose(listener);
}

TEST_F(NetHandles, RefusedOutgoingConnectionStaysUnconnected) {
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
  int port = PlatSocketLocalPort(listener);
  PlatSocketClose(listener);
  SetNetWorkAutoCloseOff(1);
  int h = ConnectNetWork(kLoopback, port);
  if (h < 0) return;  // refused at once
  NetWorkRecord* r = GetNetWorkRecord(h);
  for (int i = 0; i < 50; ++i) {
    PumpNetWorkMessages(1);
    PlatSleep(1);
  }
  EXPECT_EQ(r->Connected, 0);
  EXPECT_EQ(GetNetWorkAcceptState(h), 0);
  EXPECT_EQ(CloseNetWorkHandle(h), 0);
}

TEST_F(NetHandles, ADirectConnectionStandsAtOncePlainWhateverTheSettingsSay) {
  // The settings ask for packets and auto close; a direct connection takes neither.
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
  ASSERT_NE(listener, PLAT_INVALID_SOCKET);
  int port = PlatSocketLocalPort(listener);
  int h = ConnectNetWorkDirect(kLoopback, port, 3000);
  ASSERT_GE(h, 0);
  EXPECT_EQ(h, MakeNetWorkHandle(1, 0));
  EXPECT_EQ(GetNewestNetWorkHandle(), h);
  EXPECT_EQ(NetWork.HandleCount, 2);
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Connected, 1);
  EXPECT_EQ(r->PacketMode, 0);
  EXPECT_EQ(r->AutoClose, 0);
  EXPECT_EQ(std::memcmp(r->PeerAddress, kLoopback, 4), 0);
  EXPECT_EQ(r->PeerPort, uint32_t(((port & 0xFF) << 8) | (port >> 8)));
  PlatSocket far = PLAT_INVALID_SOCKET;
  for (int i = 0; i < 3000 && far == PLAT_INVALID_SOCKET; ++i) {
    far = PlatSocketAccept(listener, nullptr, nullptr);
    if (far == PLAT_INVALID_SOCKET) PlatSleep(1);
  }
  ASSERT_NE(far, PLAT_INVALID_SOCKET);
  PlatSocketSetTimeouts(far, 3000, 3000);
  EXPECT_EQ(NetWorkSend(h, "hello", 5), 5);
  std::vector<uint8_t> got = RecvExactly(far, 5);
  EXPECT_EQ(std::string(got.begin(), got.end()), "hello") << "no length prefix";
  PlatSocketClose(far);
  PlatSocketClose(listener);

  // Refused: -1 with the connect line, and neither a record nor a check number spent.
  int check = NetWork.CheckCounter;
  EXPECT_EQ(ConnectNetWorkDirect(kLoopback, port, 1000), -1);
  EXPECT_EQ(LogCount("connectに失敗しました"), 1);
  EXPECT_EQ(NetWork.Records[1], nullptr);
  EXPECT_EQ(NetWork.HandleCount, 2);
  EXPECT_EQ(NetWork.CheckCounter, check);
  EXPECT_EQ(GetNewestNetWorkHandle(), h);
  EXPECT_EQ(CloseNetWorkHandle(h), 0);
}

TEST_F(NetHandles, OrderlyCloseLeavesTheDataReadableThenAutoCloseEndsTheHandle) {
  PlatSocket peer;
  int h = Accept(&peer);
  std::vector<uint8_t> body = Pattern(300, 7);
  ASSERT_TRUE(SendAll(peer, Packet(body).data(), 304));
  PlatSocketClose(peer);
  DropPeer(peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  ASSERT_TRUE(PumpUntil([&] { return r->Connected == 0; }, 0));
  EXPECT_EQ(r->DisconnectSeen, 0);
  EXPECT_EQ(GetNetWorkDataLength(h), 300);
  std::vector<uint8_t> got(300);
  EXPECT_EQ(NetWorkRecv(h, got.data(), 300), 0);
  EXPECT_EQ(got, body);
  EXPECT_EQ(NetWorkSend(h, "x", 1), -1) << "no sending once disconnected";
  // The pump leaves it until the loss has been reported.
  PumpNetWorkMessages(1);
  ASSERT_EQ(GetNetWorkRecord(h), r);
  EXPECT_EQ(GetNetWorkAcceptState(h), 0);
  EXPECT_EQ(r->DisconnectSeen, 1);
  PumpNetWorkMessages(1);
  EXPECT_EQ(GetNetWorkRecord(h), nullptr);
  EXPECT_EQ(GetNetWorkAcceptState(h), -1);
  EXPECT_EQ(LogText().find(kNotValid), std::string::npos);
}

TEST_F(NetHandles, ResetWithAutoCloseOffKeepsTheHandleAnsweringZero) {
  SetNetWorkAutoCloseOff(1);
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  EXPECT_EQ(r->AutoClose, 0);
  PlatSocketAbort(peer);
  DropPeer(peer);
  ASSERT_TRUE(PumpUntil([&] { return r->Connected == 0; }));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetNetWorkAcceptState(h), 0);
    PumpNetWorkMessages(1);
  }
  EXPECT_EQ(GetNetWorkRecord(h), r);
  EXPECT_EQ(CloseNetWorkHandle(h), 0);
}

TEST_F(NetHandles, AHandleInErrorIsClosedByThePumpAtOnceEvenWithAutoCloseOff) {
  SetNetWorkAutoCloseOff(1);
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  // A length no ring can hold.
  const uint8_t prefix[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_TRUE(SendAll(peer, prefix, 4));
  ASSERT_TRUE(PumpUntil([&] { return r->Error == 1; }, 0));
  EXPECT_EQ(
      LogCount("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ 4294967295 byte)"),
      1);
  EXPECT_EQ(GetNetWorkAcceptState(h), -1);
  EXPECT_EQ(LogCount(std::string(kInError) + "GetNetWorkAcceptStateh\r\n"), 1);
  char c;
  EXPECT_EQ(NetWorkRecv(h, &c, 1), -1);
  EXPECT_EQ(LogCount(std::string(kInError) + "NetWorkRecv\r\n"), 1);
  uint32_t before = ClockNow().load();
  PumpNetWorkMessages(1);
  EXPECT_EQ(GetNetWorkRecord(h), nullptr);
  EXPECT_LT(ClockNow().load() - before, 100u) << "no drain for a failed handle";
  EXPECT_LE(LogCount(std::string(kInError) + "RecvSocket"), 1);
}

TEST_F(NetHandles, AnUnknownSocketIsReportedAndLeftAlone) {
  EXPECT_EQ(OnSocketMessage(0x7FFFFFF0u, PLAT_FD_READ), 0);
  EXPECT_EQ(LogCount("通信エラー No.1\r\n"), 1);
  // Events nothing handles answer 1; a failed connect leaves connected 0.
  PlatSocket peer;
  int h = Accept(&peer);
  NetWorkRecord* r = GetNetWorkRecord(h);
  EXPECT_EQ(OnSocketMessage(r->Socket, PLAT_FD_OOB), 1);
  r->Connected = 0;
  EXPECT_EQ(OnSocketMessage(r->Socket, PlatSocketEventWord(PLAT_FD_CONNECT, PLAT_WSAECONNREFUSED)), 1);
  EXPECT_EQ(r->Connected, 0);
  EXPECT_EQ(OnSocketMessage(r->Socket, PlatSocketEventWord(PLAT_FD_CONNECT, 0)), 1);
  EXPECT_EQ(r->Connected, 1);
}

TEST_F(NetHandles, EndClosesEverythingWithItsLogLines) {
  PlatSocket a, b;
  int ha = Accept(&a);
  Accept(&b);
  ASSERT_EQ(NetWorkSend(ha, "bye", 3), 0);
  PlatWindow window = NetWork.NotifyWindow;
  EXPECT_EQ(EndNetWorkSystem(), 0);
  EXPECT_EQ(PlatIsWindow(window), 0);
  EXPECT_EQ(LogCount("ネットワーク関連の終了処理を行います \r\n"), 1);
  EXPECT_EQ(LogCount("ネットワーク関連の終了処理は完了しました\r\n"), 1);
  EXPECT_EQ(PlatSocketCount(), baseline_ + 2) << "only the peers are left";
  EXPECT_EQ(RecvExactly(a, 7), Packet({'b', 'y', 'e'})) << "queued bytes went out before the close";
  // A second end finds nothing.
  LogText().clear();
  EXPECT_EQ(EndNetWorkSystem(), 0);
  EXPECT_EQ(LogText(), "");
  EXPECT_EQ(GetNetWorkAcceptState(ha), -1);
}

TEST_F(NetHandles, ConnectionsArrivingDuringTheEndAreNotAcceptedIntoPassedSlots) {
  // Slot 0 free, a handle in slot 1: an accept while slot 1 closes would
  // land in slot 0, which the end has already passed.
  PlatSocket x, a;
  int hx = Accept(&x);
  Accept(&a);
  ASSERT_EQ(CloseNetWorkHandle(hx), 0);
  ASSERT_EQ(NetWork.Records[0], nullptr);
  ASSERT_NE(NetWork.Records[1], nullptr);
  for (int i = 0; i < 3; ++i) peers_.push_back(ConnectPeer(port_));
  EXPECT_EQ(EndNetWorkSystem(), 0);
  EXPECT_EQ(PlatSocketCount(), baseline_ + int(peers_.size())) << "no accepted socket left behind";
}

}  // namespace
