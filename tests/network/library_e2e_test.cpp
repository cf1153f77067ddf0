// The network layer inside the running library on SDL's dummy drivers: a
// connection accepted and packets exchanged with nothing but the library's
// frames (its message pump) moving them, and the library's end closing it all.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "net_test_util.h"
#include "vexlo.h"

using namespace nettest;

namespace {
class NetWorkInLibrary : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(NetWorkInLibrary, PacketsFlowThroughThePumpAndTheEndClosesEverything) {
  namespace fs = std::filesystem;
  std::random_device rd;
  fs::path dir = fs::temp_directory_path() / ("vx_net_e2e_" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  fs::path previous = fs::current_path();
  fs::current_path(dir);
  std::string title = "VexloNet" + std::to_string(rd());
  SetMainWindowTitle(title.c_str());
  ChangeWindowMode(1);
  SetLogFileOutput(1);
  ASSERT_EQ(InitLibrary(), 0);
  int sockets = PlatSocketCount();
  ASSERT_EQ(InitNetWorkSystem(0), 0);
  int port = GetNetWorkListenPort();

  // The peer sends two packets and answers the reply, all on its own thread.
  std::vector<uint8_t> reply;
  std::thread peer([&] {
    PlatSocket s = ConnectPeer(port);
    if (s == PLAT_INVALID_SOCKET) return;
    auto a = Packet({'p', 'i', 'n', 'g'});
    auto b = Packet(Pattern(2000, 3));
    SendAll(s, a.data(), a.size());
    SendAll(s, b.data(), b.size());
    reply = RecvExactly(s, 4 + 6);
    PlatSocketClose(s);
  });

  int h = -1;
  int frame = 0;
  for (; frame < 3000 && (h < 0 || GetNetWorkRecord(h)->CompleteBytes < 2004); ++frame) {
    ASSERT_EQ(PumpWindowMessages(), 0);
    if (h < 0 && NetWork.HandleCount == 2) h = GetNewestNetWorkHandle();
    PlatSleep(1);
  }
  ASSERT_GE(h, 0);
  ASSERT_EQ(GetNetWorkDataLength(h), 2004);
  std::vector<uint8_t> got(2004);
  ASSERT_EQ(NetWorkRecv(h, got.data(), 2004), 0);
  EXPECT_EQ(std::string(got.begin(), got.begin() + 4), "ping");
  EXPECT_TRUE(std::equal(got.begin() + 4, got.end(), Pattern(2000, 3).begin()));
  ASSERT_EQ(NetWorkSend(h, "pong!!", 6), 0);
  peer.join();
  EXPECT_EQ(reply, Packet({'p', 'o', 'n', 'g', '!', '!'}));

  // The peer is gone: the frames see the close, the loss is reported, the next frame closes it.
  for (frame = 0; frame < 3000 && GetNetWorkRecord(h)->Connected; ++frame) {
    ASSERT_EQ(PumpWindowMessages(), 0);
    PlatSleep(1);
  }
  EXPECT_EQ(GetNetWorkAcceptState(h), 0);
  ASSERT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(GetNetWorkRecord(h), nullptr);
  EXPECT_EQ(NetWork.HandleCount, 1);

  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(NetWork.Initialized, 0);
  EXPECT_EQ(PlatSocketCount(), sockets);
  std::ifstream in(dir / "Log.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string log = text.str();
  size_t begin = log.find("ネットワーク関連の終了処理を行います \r\n");
  size_t end = log.find("ネットワーク関連の終了処理は完了しました\r\n");
  EXPECT_NE(begin, std::string::npos);
  EXPECT_NE(end, std::string::npos);
  EXPECT_LT(begin, end);
  SetLogFileOutput(0);
  fs::current_path(previous);
  std::error_code ec;
  fs::remove_all(dir, ec);
}
