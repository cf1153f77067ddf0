// File-mode bodies against output files that do not take them: a transfer
// whose body is lost fails (detail 2, nowhere to put the body) with a log
// line, and the file keeps what it took.
#include "http_test_util.h"

using namespace nettest;

namespace {

constexpr char kLostLine[] = "受信データのファイルへの書き込みに失敗しました";

std::string LengthHead(size_t length) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

class HttpOutput : public HttpFixture {
 protected:
  // A GET (or POST) of the server's answer into the file at path.
  int Fetch(const ScriptedHttpServer& server, const char* path, int method = HTTP_GET) {
    return CreateHttpTransfer(method, "127.0.0.1", server.Port(), "/o", path, nullptr, "p", 1, 3000);
  }
  // The same with no memory for the write-behind block. The allocations
  // before it are let through one more per try: the first try that starts
  // a transfer is the one whose last allocation, that block, failed.
  int FetchWithoutWriteBehind(const ScriptedHttpServer& server, const char* path, int method = HTTP_GET) {
    for (long allowed = 0; allowed < 16; ++allowed) {
      PlatHeapFailAfter(allowed);
      int slot = Fetch(server, path, method);
      PlatHeapFailAfter(-1);
      if (slot >= 0) return slot;
    }
    return -1;
  }
  // Makes the transfer's own file take allowed more bytes, then none.
  static void LimitFile(int slot, int64_t allowed) {
    PlatFileFailWritesAfter(PlatFile(GetHttpTransfer(slot)->OutputFile), allowed);
  }
};

}  // namespace

TEST_F(HttpOutput, AFileThatTakesNothingFailsTheTransfer) {
  // A mebibyte into /dev/full: the first full write-behind block is refused.
  {
    const size_t size = 1 << 20;
    ScriptedHttpServer server({Say(LengthHead(size) + Body(size, 31)), KeepOpen()});
    int slot = Fetch(server, "/dev/full");
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, HTTP_WRITE_BEHIND_SIZE);
    EXPECT_EQ(GetHttpTransfer(slot)->NetHandle, -1);
    EXPECT_EQ(GetHttpTransfer(slot)->OutputFile, PLAT_INVALID_FILE);
    EXPECT_EQ(LogCount(std::string(kLostLine) + "(データサイズ 65536 byte)"), 1) << LogText();
    DeleteHttpTransfer(slot);
    EXPECT_EQ(LogCount(kLostLine), 1);
  }
  // A body smaller than the block is refused by the write at the finish,
  // which turns the would-be success into a failure: GET and POST alike.
  for (int method : {HTTP_GET, HTTP_POST}) {
    LogText().clear();
    ScriptedHttpServer server({Say(LengthHead(1000) + Body(1000, 32)), KeepOpen()});
    int slot = Fetch(server, "/dev/full", method);
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, 1000);
    EXPECT_EQ(LogCount(std::string(kLostLine) + "(データサイズ 1000 byte)"), 1) << method;
    DeleteHttpTransfer(slot);
  }
  // A transfer already failing keeps its own detail; the lost bytes are logged.
  {
    LogText().clear();
    ScriptedHttpServer server({Say(LengthHead(10000) + Body(1000, 33)), Pause(10), CloseIt()});
    int slot = Fetch(server, "/dev/full");
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
    EXPECT_EQ(LogCount(kLostLine), 1);
    DeleteHttpTransfer(slot);
  }
  // Ending a running transfer as deletion does records the failure, and
  // deleting one writes the line.
  for (bool deleteIt : {false, true}) {
    LogText().clear();
    ScriptedHttpServer server({Say(LengthHead(10000) + Body(3000, 34)), KeepOpen()});
    int slot = Fetch(server, "/dev/full");
    ASSERT_TRUE(StepUntilReceived(slot, 3000));
    ExpectResult(slot, HTTP_RUNNING, HTTP_DETAIL_NONE);
    if (deleteIt) {
      EXPECT_EQ(DeleteHttpTransfer(slot), 0);
    } else {
      EXPECT_EQ(FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE), 0);
      ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
      DeleteHttpTransfer(slot);
    }
    EXPECT_EQ(LogCount(std::string(kLostLine) + "(データサイズ 3000 byte)"), 1) << deleteIt;
    server.Release();
  }
}

// A file that fills up part way (a small disk): the transfer fails at the
// first write it takes short, and the file holds every byte up to there.
TEST_F(HttpOutput, AFileThatFillsPartWayKeepsWhatItTook) {
  struct Case {
    size_t Size;      // body bytes the server sends
    int64_t Allowed;  // bytes the file takes
    int Received;     // body bytes received when the transfer fails
  } cases[] = {
      // The second full block is written short.
      {3 * HTTP_WRITE_BEHIND_SIZE + 1234, HTTP_WRITE_BEHIND_SIZE + 1000, 2 * HTTP_WRITE_BEHIND_SIZE},
      // The last part, written at the finish, is written short.
      {HTTP_WRITE_BEHIND_SIZE + 500, HTTP_WRITE_BEHIND_SIZE + 100, HTTP_WRITE_BEHIND_SIZE + 500},
      // The second full block finds the file full to the byte.
      {2 * HTTP_WRITE_BEHIND_SIZE + 7, HTTP_WRITE_BEHIND_SIZE, 2 * HTTP_WRITE_BEHIND_SIZE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Size << " bytes into a file taking " << c.Allowed);
    LogText().clear();
    std::string body = Body(c.Size, uint32_t(c.Size));
    ScriptedHttpServer server({Say(LengthHead(c.Size) + body), KeepOpen()});
    int slot = Fetch(server, file_.c_str());
    ASSERT_GE(slot, 0);
    LimitFile(slot, c.Allowed);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, c.Received);
    EXPECT_EQ(LogCount(kLostLine), 1);
    std::string kept = FileText();
    EXPECT_TRUE(kept == body.substr(0, size_t(c.Allowed))) << kept.size() << " bytes";
    DeleteHttpTransfer(slot);
    EXPECT_EQ(LogCount(kLostLine), 1);
  }
}

// Without memory for its write-behind block a transfer still starts, and
// takes its body a receive at a time through the shared receive buffers
// straight to the file.
TEST_F(HttpOutput, WithoutAWriteBehindBlockTheBodyGoesStraightToTheFile) {
  const size_t size = 2 * HTTP_WRITE_BEHIND_SIZE + 4321;
  // GET with a length; POST to the server's close.
  for (int method : {HTTP_GET, HTTP_POST}) {
    SCOPED_TRACE(method);
    std::string body = Body(size, uint32_t(40 + method));
    std::string head = method == HTTP_GET ? LengthHead(size) : "HTTP/1.0 200 OK\r\n\r\n";
    ScriptedHttpServer server({Say(head + body.substr(0, 5000)), Pause(10), Say(body.substr(5000)),
                               method == HTTP_GET ? KeepOpen() : CloseIt()});
    int slot = FetchWithoutWriteBehind(server, file_.c_str(), method);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(GetHttpTransfer(slot)->WriteBehind, nullptr);
    ASSERT_TRUE(StepUntilDone(slot));
    ExpectResult(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    EXPECT_EQ(GetHttpTransfer(slot)->Received, int(size));
    EXPECT_TRUE(FileText() == body) << FileText().size() << " bytes of " << size;
    DeleteHttpTransfer(slot);
  }
  // A file that fills part way fails the transfer at the receive it takes
  // short, and keeps every byte up to there.
  LogText().clear();
  std::string body = Body(size, 42);
  ScriptedHttpServer server({Say(LengthHead(size) + body), KeepOpen()});
  int slot = FetchWithoutWriteBehind(server, file_.c_str());
  ASSERT_GE(slot, 0);
  EXPECT_EQ(GetHttpTransfer(slot)->WriteBehind, nullptr);
  LimitFile(slot, 10000);
  ASSERT_TRUE(StepUntilDone(slot));
  ExpectResult(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
  EXPECT_GT(GetHttpTransfer(slot)->Received, 10000);
  EXPECT_LE(GetHttpTransfer(slot)->Received, 10000 + HTTP_RECEIVE_BUFFER_SIZE);
  EXPECT_EQ(LogCount(kLostLine), 1);
  EXPECT_TRUE(FileText() == body.substr(0, 10000)) << FileText().size() << " bytes";
}
