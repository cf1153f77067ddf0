// HTTP transfers inside the running library on SDL's dummy drivers: moved by
// nothing but the library's frames (its message pump), and deleted by the
// library's end with nothing left behind.
#include <filesystem>

#include "http_test_util.h"
#include "vexlo.h"

using namespace nettest;

namespace {
class HttpInLibrary : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(HttpInLibrary, FramesStepTransfersAndTheEndDeletesTheLiveOnes) {
  namespace fs = std::filesystem;
  std::random_device rd;
  fs::path dir = fs::temp_directory_path() / ("vx_http_e2e_" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  fs::path previous = fs::current_path();
  fs::current_path(dir);
  std::string title = "VexloHttp" + std::to_string(rd());
  SetMainWindowTitle(title.c_str());
  ChangeWindowMode(1);
  int blocks = SystemState.Kept.Alloc.BlockCount;
  int sockets = PlatSocketCount();
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(InitNetWorkSystem(-1), 0);

  // A body in three pieces, taken by the frames alone.
  std::string body = std::string(30000, 'q') + "end";
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: 30003\r\n"), Pause(10), Say("\r\n"),
                               Say(body.substr(0, 10000)), Pause(10), Say(body.substr(10000)), KeepOpen()});
    void* block = nullptr;
    int slot = CreateHttpTransfer(HTTP_GET, "127.0.0.1", server.Port(), "/frames", nullptr, &block, nullptr,
                                  0, 3000);
    ASSERT_GE(slot, 0);
    int frame = 0;
    for (; frame < 3000 && GetHttpTransfer(slot)->Result.Status == HTTP_RUNNING; ++frame) {
      ASSERT_EQ(PumpWindowMessages(), 0);
      PlatSleep(1);
    }
    ASSERT_EQ(GetHttpTransfer(slot)->Result.Status, HTTP_FINISHED);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(block), body.size()), body);
    TrackedFree(block);
    EXPECT_EQ(DeleteHttpTransfer(slot), 0);
  }

  // Three transfers still running at the end: a file half written, a memory
  // transfer waiting for its status line, and a POST whose body the server
  // never reads.
  ScriptedHttpServer half(
      {Say("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'h')), KeepOpen()});
  ScriptedHttpServer silent({KeepOpen()});
  PlatSocket deaf = PlatSocketListen(kLoopback, 0, 4);
  std::string file = (dir / "half.bin").string();
  void* waiting = nullptr;
  std::string post(8 << 20, 'p');
  ASSERT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", half.Port(), "/half", file.c_str(), nullptr, nullptr, 0,
                               3000),
            0);
  ASSERT_EQ(
      CreateHttpTransfer(HTTP_GET, "127.0.0.1", silent.Port(), "/s", nullptr, &waiting, nullptr, 0, 3000), 1);
  ASSERT_EQ(
      CreateHttpTransfer(HTTP_POST, "127.0.0.1", PlatSocketLocalPort(deaf), "/deaf",
                         (dir / "post.bin").string().c_str(), nullptr, post.data(), int(post.size()), 3000),
      2);
  for (int frame = 0; frame < 3000 && GetHttpTransfer(0)->Received < 5000; ++frame) {
    ASSERT_EQ(PumpWindowMessages(), 0);
    PlatSleep(1);
  }
  EXPECT_EQ(GetHttpTransfer(0)->Received, 5000);
  EXPECT_EQ(GetHttpTransfer(1)->Step, 1u);
  EXPECT_EQ(GetHttpTransfer(2)->Step, 0u);
  EXPECT_LT(GetHttpTransfer(2)->RequestSent, int(post.size()));
  EXPECT_EQ(GetHttpTransferCount(), 3);

  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(GetHttpTransferCount(), 0);
  EXPECT_EQ(NetWork.Initialized, 0);
  EXPECT_EQ(waiting, nullptr);
  EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks) << "a tracked block outlived the library";
  PlatSocketClose(deaf);
  half.Release();
  silent.Release();
  half.Join();
  silent.Join();
  EXPECT_EQ(PlatSocketCount(), sockets);
  EXPECT_EQ(fs::file_size(dir / "half.bin"), 5000u);
  fs::current_path(previous);
  std::error_code ec;
  fs::remove_all(dir, ec);
}
