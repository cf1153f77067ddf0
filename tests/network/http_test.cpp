// HTTP transfers against a scripted server on a test thread.
#include "http_test_util.h"

using namespace nettest;

namespace {

std::string Text(const void* block, int n) { return std::string(static_cast<const char*>(block), size_t(n)); }

}  // namespace

TEST(HttpParse, NumberAfterTheFirstBlank) {
  EXPECT_EQ(ParseIntAfterSpace("HTTP/1.0 200 OK"), 200);
  EXPECT_EQ(ParseIntAfterSpace("HTTP/1.1 404 Not Found"), 404);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: 5120"), 5120);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length:12"), -1);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: -7"), -7);
  EXPECT_EQ(ParseIntAfterSpace("X: -"), 0);
  EXPECT_EQ(ParseIntAfterSpace("X: none"), -1);
  EXPECT_EQ(ParseIntAfterSpace(""), -1);
  // A blank inside a two-byte character is not a blank.
  EXPECT_EQ(ParseIntAfterSpace("\x81\x20"
                               "5"),
            -1);
  EXPECT_EQ(ParseIntAfterSpace("\x81\x20 6"), 6);
  // A number that 32 bits cannot hold reads as none.
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: 2147483647"), 2147483647);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: 2147483648"), -1);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: 000000000000000000000000000000000000012"), 12);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: 99999999999999999999999999999999999999"), -1);
  EXPECT_EQ(ParseIntAfterSpace("Content-Length: -2147483648"), INT32_MIN);
}

TEST(HttpRequest, TextsByteForByte) {
  HttpTransfer t{};
  std::strcpy(t.Host, "127.0.0.1");
  std::strcpy(t.Path, "/a");
  t.Port = 8080;
  char text[HTTP_GET_TEXT_SIZE];
  t.Method = HTTP_GET;
  ASSERT_EQ(FormatHttpRequest(&t, text, HTTP_GET_TEXT_SIZE), 60);
  EXPECT_STREQ(text, "GET /a HTTP/1.0\r\nHost: 127.0.0.1:8080\r\nConnection: close\r\n\r\n");
  t.Method = HTTP_POST;
  t.PostLength = 12;
  ASSERT_GT(FormatHttpRequest(&t, text, HTTP_SHORT_TEXT_SIZE), 0);
  EXPECT_STREQ(text, "POST /a HTTP/1.0\nHost: 127.0.0.1:8080\nContent-Length: 12\n\n");
  t.Method = HTTP_HEAD;
  ASSERT_GT(FormatHttpRequest(&t, text, HTTP_SHORT_TEXT_SIZE), 0);
  EXPECT_STREQ(text, "HEAD /a HTTP/1.0\n\n");
  t.Method = 3;
  EXPECT_EQ(FormatHttpRequest(&t, text, HTTP_SHORT_TEXT_SIZE), -1);
}

TEST_F(HttpFixture, TheLongestRequestsThatFitAreTakenAndLongerOnesRefused) {
  // HEAD: 16 fixed characters and the path in 255.
  std::string head239(239, 'h'), head240(240, 'h');
  head239[0] = head240[0] = '/';
  // POST: 41 fixed characters, the host (9), the port (4) and the length (1).
  std::string post201(201, 'p');
  // GET always fits: the longest path is the path's own limit.
  std::string get255(255, 'g'), get256(256, 'g');
  EXPECT_EQ(
      CreateHttpTransfer(HTTP_HEAD, "127.0.0.1", 8080, head240.c_str(), nullptr, nullptr, nullptr, 0, 100),
      -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_POST, "127.0.0.1", 8080, post201.c_str(), file_.c_str(), nullptr, "12345",
                               5, 100),
            -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", 8080, get256.c_str(), file_.c_str(), nullptr, nullptr,
                               0, 100),
            -1);
  EXPECT_EQ(LogCount("リクエストが長すぎます"), 2);
  EXPECT_EQ(GetHttpTransferCount(), 0);

  for (int method : {HTTP_HEAD, HTTP_POST, HTTP_GET}) {
    ScriptedHttpServer server({Say("HTTP/1.0 404 Not Found\r\n\r\n")});
    std::string port = std::to_string(server.Port());
    std::string path = method == HTTP_HEAD  ? head239
                       : method == HTTP_GET ? get255
                                            : std::string(200 + 4 - port.size(), 'p');
    std::string expected =
        method == HTTP_HEAD ? "HEAD " + path + " HTTP/1.0\n\n"
        : method == HTTP_POST
            ? "POST " + path + " HTTP/1.0\nHost: 127.0.0.1:" + port + "\nContent-Length: 5\n\n12345"
            : "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1:" + port + "\r\nConnection: close\r\n\r\n";
    const char* out = method == HTTP_HEAD ? nullptr : file_.c_str();
    if (method == HTTP_POST) {
      EXPECT_EQ(expected.size(), 255u + 5u);
      EXPECT_EQ(CreateHttpTransfer(method, "127.0.0.1", server.Port(), (path + "p").c_str(), out, nullptr,
                                   "12345", 5, 100),
                -1);
    }
    int slot =
        CreateHttpTransfer(method, "127.0.0.1", server.Port(), path.c_str(), out, nullptr, "12345", 5, 3000);
    ASSERT_GE(slot, 0) << method;
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NOT_FOUND);
    server.Join();
    EXPECT_EQ(server.Request(), expected);
    EXPECT_EQ(DeleteHttpTransfer(slot), 0);
  }
}

TEST_F(HttpFixture, CreationRefusesBadArguments) {
  void* block = nullptr;
  void* held = &block;
  EXPECT_EQ(CreateHttpTransfer(7, "127.0.0.1", 80, "/", file_.c_str(), nullptr, nullptr, 0, 100), -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "", 80, "/", file_.c_str(), nullptr, nullptr, 0, 100), -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, std::string(128, 'h').c_str(), 80, "/", file_.c_str(), nullptr,
                               nullptr, 0, 100),
            -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", 0, "/", file_.c_str(), nullptr, nullptr, 0, 100), -1);
  // Nothing may add lines to the request.
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", 80, "/a HTTP/1.0\r\nX: y", file_.c_str(), nullptr,
                               nullptr, 0, 100),
            -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1\n", 80, "/", file_.c_str(), nullptr, nullptr, 0, 100),
            -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "host name", 80, "/", file_.c_str(), nullptr, nullptr, 0, 100), -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", 80, "/", nullptr, nullptr, nullptr, 0, 100), -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", 80, "/", file_.c_str(), &block, nullptr, 0, 100), -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", 80, "/", nullptr, &held, nullptr, 0, 100), -1);
  EXPECT_EQ(CreateHttpTransfer(HTTP_POST, "127.0.0.1", 80, "/", file_.c_str(), nullptr, nullptr, 5, 100), -1);
  // Nobody listens: the connection is refused and nothing is kept.
  PlatSocket probe = PlatSocketListen(kLoopback, 0, 1);
  int closedPort = PlatSocketLocalPort(probe);
  PlatSocketClose(probe);
  EXPECT_EQ(CreateHttpTransfer(HTTP_GET, "127.0.0.1", closedPort, "/", nullptr, &block, nullptr, 0, 1000),
            -1);
  EXPECT_EQ(GetHttpTransferCount(), 0);
  EXPECT_EQ(NetWork.HandleCount, 0);
}

TEST_F(HttpFixture, EmptyTableAndBadSlots) {
  EXPECT_EQ(StepAllHttpTransfers(), 0);
  EXPECT_EQ(DeleteAllHttpTransfers(), 0);
  EXPECT_EQ(DeleteHttpTransfer(100), -1);
  EXPECT_EQ(DeleteHttpTransfer(-1), -1);
  EXPECT_EQ(DeleteHttpTransfer(5), -1);
  EXPECT_EQ(StepHttpTransfer(5), -1);
  EXPECT_EQ(HttpStepGet(5), -1);
  EXPECT_EQ(HttpStepPost(5), -1);
  EXPECT_EQ(HttpStepHead(5), -1);
  EXPECT_EQ(FinishHttpTransfer(5, 0, -1), -1);
  EXPECT_EQ(FinishHttpTransfer(100, 0, -1), -1);
}

TEST_F(HttpFixture, GetToFileWithALengthInPiecesWhileTheConnectionStaysOpen) {
  std::string body = Body(20000, 1);
  ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nServer: test\r\nContent-Length: 20000\r\n"), Pause(20),
                             Say("\r\n" + body.substr(0, 7000)), Pause(20), Say(body.substr(7000)),
                             KeepOpen()});
  int slot = Get(server, "/file");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(GetHttpTransferCount(), 1);
  EXPECT_TRUE(IsHttpTransferSlotLive(slot));
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  EXPECT_EQ(GetHttpTransfer(slot)->ContentLength, 20000);
  EXPECT_EQ(GetHttpTransfer(slot)->Received, 20000);
  EXPECT_EQ(GetHttpTransfer(slot)->NetHandle, -1);
  EXPECT_EQ(FileText(), body);
  // Finishing twice changes nothing.
  EXPECT_EQ(FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED), 0);
  ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  server.Release();
  server.Join();
  EXPECT_EQ(server.Request().substr(0, 10), "GET /file ");
}

TEST_F(HttpFixture, GetToMemoryHandsTheBlockOver) {
  std::string body = Body(5000, 2);
  ScriptedHttpServer server({Say("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body.substr(0, 100)),
                             Pause(10), Say(body.substr(100)), CloseIt()});
  void* block = nullptr;
  int slot = Get(server, "/m", &block);
  ASSERT_GE(slot, 0);
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Text(block, 5000), body);
  // Deleting it does not take the block back.
  EXPECT_EQ(DeleteHttpTransfer(slot), 0);
  EXPECT_FALSE(IsHttpTransferSlotLive(slot));
  EXPECT_EQ(Text(block, 5000), body);
  TrackedFree(block);
}

TEST_F(HttpFixture, StatusCodesOtherThan200Fail) {
  struct Case {
    const char* Line;
    int Detail;
    int Logged;
  } cases[] = {{"HTTP/1.1 404 Not Found\r\n", HTTP_DETAIL_NOT_FOUND, 404},
               {"HTTP/1.0 500 Server Error\r\n", HTTP_DETAIL_STATUS, 500},
               {"HTTP/1.0 301 Moved\r\n", HTTP_DETAIL_STATUS, 301},
               {"HTTP/1.0\r\n", HTTP_DETAIL_STATUS, -1}};
  for (const Case& c : cases) {
    ScriptedHttpServer server({Say(std::string(c.Line) + "Content-Length: 3\r\n\r\nabc"), KeepOpen()});
    void* block = nullptr;
    int slot = Get(server, "/", &block);
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, c.Detail);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(LogCount("接続に失敗しました (戻り値:" + std::to_string(c.Logged) + ")"), 1) << c.Line;
    // Deleting a failed transfer keeps its result as it was.
    EXPECT_EQ(DeleteHttpTransfer(slot), 0);
    server.Release();
  }
  // POST and HEAD write no line.
  LogText().clear();
  for (int method : {HTTP_POST, HTTP_HEAD}) {
    ScriptedHttpServer server({Say("HTTP/1.0 404 Not Found\n\n")});
    int slot = CreateHttpTransfer(method, "127.0.0.1", server.Port(), "/",
                                  method == HTTP_POST ? file_.c_str() : nullptr, nullptr, "x", 1, 3000);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NOT_FOUND);
    DeleteHttpTransfer(slot);
  }
  EXPECT_EQ(LogCount("接続に失敗しました"), 0);
}

TEST_F(HttpFixture, AnAnswerWithoutLengthEndsWithTheServersClose) {
  // However the close falls between the steps, a body read to the close is complete.
  for (int pause : {0, 30}) {
    std::string body = Body(9000, 3);
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Type: x\r\n\r\n" + body.substr(0, 4000)),
                               Pause(pause), Say(body.substr(4000)), Pause(pause), CloseIt()});
    int slot = Get(server, "/");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(GetHttpTransfer(slot)->ContentLength, -1);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, 9000);
    EXPECT_EQ(FileText(), body);
    DeleteHttpTransfer(slot);
  }
  // A close that the steps see only after the whole body has been taken.
  ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\n\r\nhello"), Pause(50), CloseIt()});
  int slot = Get(server, "/");
  for (int i = 0; i < 20; ++i) {
    PumpNetWorkMessages(1);
    StepAllHttpTransfers();
    PlatSleep(1);
  }
  EXPECT_EQ(GetHttpTransfer(slot)->Received, 5);
  server.Join();
  PlatSleep(20);
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  EXPECT_EQ(FileText(), "hello");
}

TEST_F(HttpFixture, ContentLengthVariants) {
  // Length 0 in memory mode: an empty block, finished.
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"), KeepOpen()});
    void* block = nullptr;
    int slot = Get(server, "/", &block);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_NE(block, nullptr);
    TrackedFree(block);
    DeleteHttpTransfer(slot);
  }
  // A negative length in memory mode fails without asking the allocator (no allocation list in the log).
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: -20\r\n\r\nabc"), KeepOpen()});
    void* block = nullptr;
    int before = SystemState.Kept.Alloc.BlockCount;
    int slot = Get(server, "/", &block);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, before + 1);  // the transfer alone
    EXPECT_EQ(LogCount("Alloc num"), 0);
    DeleteHttpTransfer(slot);
  }
  // A negative length other than -1 in file mode finishes after the first receive.
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: -20\r\n\r\nabc"), KeepOpen()});
    int slot = Get(server, "/");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(FileText(), "abc");
    DeleteHttpTransfer(slot);
  }
  // A repeated length: the earlier block goes back, the last length holds.
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: 900\r\nContent-Length: 10\r\n"
                                   "Content-Length: 4\r\n\r\nwxyz"),
                               KeepOpen()});
    void* block = nullptr;
    int slot = Get(server, "/", &block);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(Text(block, 4), "wxyz");
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks_ + 2);  // the block and the transfer
    TrackedFree(block);
    DeleteHttpTransfer(slot);
  }
  // Other letter case and a missing blank are not a length: the body runs to the close.
  {
    ScriptedHttpServer server(
        {Say("HTTP/1.0 200 OK\r\ncontent-length: 2\r\nContent-Length:3\r\n\r\nabcdef"), CloseIt()});
    int slot = Get(server, "/");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(GetHttpTransfer(slot)->ContentLength, -1);
    EXPECT_EQ(FileText(), "abcdef");
    DeleteHttpTransfer(slot);
  }
  // An answer cut short before its length fails once the server has closed.
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"), CloseIt()});
    void* block = nullptr;
    int slot = Get(server, "/", &block);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
    EXPECT_EQ(block, nullptr);
    DeleteHttpTransfer(slot);
  }
  // Memory mode without a length takes nothing and stays running while the connection stands.
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\n\r\nabc"), KeepOpen()});
    void* block = nullptr;
    int slot = Get(server, "/", &block);
    for (int i = 0; i < 30; ++i) {
      PumpNetWorkMessages(1);
      StepAllHttpTransfers();
      PlatSleep(1);
    }
    ExpectResult(slot, HTTP_RUNNING, HTTP_DETAIL_NONE);
    EXPECT_EQ(GetHttpTransfer(slot)->Step, 3u);
    // Deleting it records it as finished; the caller keeps what it holds (nothing).
    DeleteHttpTransfer(slot);
    EXPECT_EQ(block, nullptr);
  }
}

// An answer line that can never be taken is an answer that cannot be used,
// as a bad status code is: the detail stays among those callers know.
TEST_F(HttpFixture, UnreadableAnswerLinesFailTheTransfer) {
  struct Case {
    std::string Answer;
    int Detail;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nX-Long: " + std::string(300, 'a') + "\r\n\r\nbody", HTTP_DETAIL_STATUS},
      {std::string("HTTP/1.0 200 OK\r\nX-Zero: a\0b\r\n\r\nbody", 34), HTTP_DETAIL_STATUS},
      {std::string(300, 'S') + "\r\n", HTTP_DETAIL_STATUS},
      {"HTTP/1.0 200 OK\r\nContent-Len", HTTP_DETAIL_CLOSED},
  };
  for (const Case& c : cases) {
    for (bool toMemory : {false, true}) {
      ScriptedHttpServer server({Say(c.Answer), c.Detail == HTTP_DETAIL_CLOSED ? CloseIt() : KeepOpen()});
      void* block = nullptr;
      int slot = Get(server, "/", toMemory ? &block : nullptr);
      ASSERT_TRUE(StepUntilDone(slot)) << c.Answer.substr(0, 40);
      ExpectResult(slot, HTTP_FAILED, c.Detail);
      EXPECT_EQ(block, nullptr);
      DeleteHttpTransfer(slot);
    }
  }
  // A HEAD answer's long line is as unreadable.
  ScriptedHttpServer server(
      {Say("HTTP/1.0 200 OK\n" + std::string(280, 'x') + "\nContent-Length: 5\n\n"), KeepOpen()});
  int slot =
      CreateHttpTransfer(HTTP_HEAD, "127.0.0.1", server.Port(), "/", nullptr, nullptr, nullptr, 0, 3000);
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_STATUS);
}

TEST_F(HttpFixture, IntoMemoryWithoutALengthFailsOnceTheServerClosedWithNothingWaiting) {
  for (int method : {HTTP_GET, HTTP_POST}) {
    // However the close falls between the steps, there is no block to hand
    // over: the caller is told of a failure, not of an empty success.
    for (int pause : {0, 30}) {
      SCOPED_TRACE(testing::Message() << "method " << method << ", pause " << pause);
      ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Type: x\r\n\r\n"), Pause(pause), CloseIt()});
      void* block = nullptr;
      int slot = CreateHttpTransfer(method, "127.0.0.1", server.Port(), "/", nullptr, &block, "p", 1, 3000);
      ASSERT_GE(slot, 0);
      ASSERT_TRUE(StepUntilDone(slot));
      ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
      EXPECT_EQ(block, nullptr);
      EXPECT_EQ(GetHttpTransfer(slot)->NetHandle, -1);
      EXPECT_EQ(DeleteHttpTransfer(slot), 0);
    }
    // A body waiting behind the close is never taken: the transfer runs until deleted.
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\n\r\nabc"), CloseIt()});
    void* block = nullptr;
    int slot = CreateHttpTransfer(method, "127.0.0.1", server.Port(), "/", nullptr, &block, "p", 1, 3000);
    ASSERT_GE(slot, 0);
    server.Join();
    for (int i = 0; i < 40; ++i) {
      PumpNetWorkMessages(1);
      StepAllHttpTransfers();
      PlatSleep(1);
    }
    ExpectResult(slot, HTTP_RUNNING, HTTP_DETAIL_NONE);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, 0);
    EXPECT_EQ(DeleteHttpTransfer(slot), 0);
    EXPECT_EQ(block, nullptr);
  }
}

TEST_F(HttpFixture, ResetAndSilentServersFailWithTheClose) {
  {
    ScriptedHttpServer server(
        {Say("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nab"), Pause(10), ResetIt()});
    int slot = Get(server, "/");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
  }
  {
    ScriptedHttpServer server({CloseIt()});
    int slot = Get(server, "/");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
  }
}

TEST_F(HttpFixture, HeadReadsTheLength) {
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nServer: t\r\n\r\n"), Pause(20),
                               Say("Content-Length: 777\r\nX: y\r\n"), KeepOpen()});
    int slot =
        CreateHttpTransfer(HTTP_HEAD, "127.0.0.1", server.Port(), "/h", nullptr, nullptr, nullptr, 0, 3000);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(GetHttpTransfer(slot)->ContentLength, 777);
    EXPECT_EQ(GetHttpTransfer(slot)->Step, 3u);
    server.Release();
    server.Join();
    EXPECT_EQ(server.Request(), "HEAD /h HTTP/1.0\n\n");
  }
  {
    ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nServer: t\r\n\r\n"), CloseIt()});
    int slot =
        CreateHttpTransfer(HTTP_HEAD, "localhost", server.Port(), "/h", nullptr, nullptr, nullptr, 0, 3000);
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
  }
}

TEST_F(HttpFixture, AFourMebibytePostGoesOutWhole) {
  std::string post = Body(4 << 20, 4);
  std::string answer = Body(3000, 5);
  ScriptedHttpServer server({Say("HTTP/1.0 200 OK\nContent-Length: 3000\n\n" + answer), CloseIt()});
  void* block = nullptr;
  int slot = CreateHttpTransfer(HTTP_POST, "127.0.0.1", server.Port(), "/up", nullptr, &block, post.data(),
                                int(post.size()), 3000);
  ASSERT_GE(slot, 0);
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Text(block, 3000), answer);
  TrackedFree(block);
  server.Join();
  std::string head =
      "POST /up HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\nContent-Length: 4194304\n\n";
  ASSERT_EQ(server.Request().size(), head.size() + post.size());
  EXPECT_EQ(server.Request().substr(0, head.size()), head);
  EXPECT_TRUE(server.Request().compare(head.size(), post.size(), post) == 0);
}

// Bodies of several write gathers and a part: the file holds every byte, in
// order, once the transfer has finished, failed or been deleted, whenever
// the server's pieces fall.
TEST_F(HttpFixture, AFileHoldsEveryByteReceivedWhenTheTransferEnds) {
  const int big = 3 * HTTP_WRITE_BEHIND_SIZE + 1234;
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(big) + "\r\n\r\n";
  // Finished by its length while the connection stays open.
  {
    std::string body = Body(size_t(big), 21);
    ScriptedHttpServer server({Say(head + body.substr(0, 70001)), Pause(10), Say(body.substr(70001, 3)),
                               Pause(10), Say(body.substr(70004)), KeepOpen()});
    int slot = Get(server, "/whole");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_TRUE(FileText() == body) << FileText().size() << " bytes of " << body.size();
    DeleteHttpTransfer(slot);
  }
  // Failed: the server closes part way through the announced length.
  {
    std::string body = Body(size_t(big), 22);
    const size_t sent = size_t(HTTP_WRITE_BEHIND_SIZE) * 2 + 17;
    ScriptedHttpServer server({Say(head + body.substr(0, sent)), Pause(10), CloseIt()});
    int slot = Get(server, "/cut");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, int(sent));
    EXPECT_TRUE(FileText() == body.substr(0, sent)) << FileText().size() << " bytes of " << sent;
    DeleteHttpTransfer(slot);
  }
  // Deleted while running: what had arrived.
  {
    std::string body = Body(size_t(big), 23);
    const size_t sent = size_t(HTTP_WRITE_BEHIND_SIZE) + 5;
    ScriptedHttpServer server({Say(head + body.substr(0, sent)), KeepOpen()});
    int slot = Get(server, "/half");
    ASSERT_TRUE(StepUntilReceived(slot, int(sent)));
    EXPECT_EQ(DeleteHttpTransfer(slot), 0);
    EXPECT_TRUE(FileText() == body.substr(0, sent)) << FileText().size() << " bytes of " << sent;
  }
}

TEST_F(HttpFixture, PostToFileWithoutLengthTakesOneReceivePerStep) {
  std::string answer = Body(3000, 6);
  ScriptedHttpServer server({Say("HTTP/1.0 200 OK\n\n" + answer), Pause(10), CloseIt()});
  int slot =
      CreateHttpTransfer(HTTP_POST, "127.0.0.1", server.Port(), "/p", file_.c_str(), nullptr, "", 0, 3000);
  ASSERT_GE(slot, 0);
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  EXPECT_EQ(FileText(), answer);
}

TEST_F(HttpFixture, DeletingARunningTransferRecordsItFinished) {
  ScriptedHttpServer server({Say("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"), KeepOpen()});
  void* block = nullptr;
  int slot = Get(server, "/", &block);
  for (int i = 0; i < 3000 && (!GetHttpTransfer(slot) || GetHttpTransfer(slot)->Received < 3); ++i) {
    PumpNetWorkMessages(1);
    StepAllHttpTransfers();
    PlatSleep(1);
  }
  ASSERT_EQ(GetHttpTransfer(slot)->Received, 3);
  ASSERT_EQ(FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE), 0);
  // The caller keeps the block it holds, and the transfer no longer touches its variable.
  ASSERT_NE(block, nullptr);
  void* kept = block;
  block = reinterpret_cast<void*>(uintptr_t(0x1234));
  EXPECT_EQ(FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED), 0);
  EXPECT_EQ(DeleteHttpTransfer(slot), 0);
  EXPECT_EQ(block, reinterpret_cast<void*>(uintptr_t(0x1234)));
  EXPECT_EQ(Text(kept, 3), "abc");
  TrackedFree(kept);
}

TEST_F(HttpFixture, TransfersInSeveralSlotsRunSideBySide) {
  std::vector<std::unique_ptr<ScriptedHttpServer>> servers;
  std::vector<void*> blocks(5, nullptr);
  std::vector<int> slots;
  for (int i = 0; i < 5; ++i) {
    std::string body = Body(size_t(1000 * (i + 1)), uint32_t(10 + i));
    servers.push_back(std::make_unique<ScriptedHttpServer>(std::vector<ServerAction>{
        Say("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n"), Pause(5 * i),
        Say(body), CloseIt()}));
    slots.push_back(Get(*servers.back(), "/", &blocks[size_t(i)]));
    EXPECT_EQ(slots.back(), i);
  }
  EXPECT_EQ(GetHttpTransferCount(), 5);
  for (int slot : slots) ASSERT_TRUE(StepUntilDone(slot));
  for (int i = 0; i < 5; ++i) {
    ExpectResult(i, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(Text(blocks[size_t(i)], 1000 * (i + 1)), Body(size_t(1000 * (i + 1)), uint32_t(10 + i)));
    TrackedFree(blocks[size_t(i)]);
  }
  // A slot freed in the middle is the next one taken.
  DeleteHttpTransfer(2);
  ScriptedHttpServer again({CloseIt()});
  EXPECT_EQ(Get(again, "/"), 2);
}

TEST_F(HttpFixture, ATransferWhoseHandleDiedKeepsItsSlotUntilDeleted) {
  ScriptedHttpServer server({KeepOpen()});
  void* block = nullptr;
  int slot = Get(server, "/", &block);
  ASSERT_GE(slot, 0);
  ASSERT_EQ(CloseNetWorkHandle(GetHttpTransfer(slot)->NetHandle), 0);
  for (int i = 0; i < 20; ++i) {
    PumpNetWorkMessages(1);
    EXPECT_EQ(StepAllHttpTransfers(), 0);
  }
  ExpectResult(slot, HTTP_RUNNING, HTTP_DETAIL_NONE);
  EXPECT_EQ(GetHttpTransferCount(), 1);
  // So does one whose network layer has ended.
  ScriptedHttpServer second({KeepOpen()});
  int other = Get(second, "/");
  EndNetWorkSystem();
  EXPECT_EQ(StepHttpTransfer(other), 0);
  ExpectResult(other, HTTP_RUNNING, HTTP_DETAIL_NONE);
  EXPECT_EQ(DeleteHttpTransfer(slot), 0);
  EXPECT_EQ(DeleteHttpTransfer(other), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(GetHttpTransferCount(), 0);
}
