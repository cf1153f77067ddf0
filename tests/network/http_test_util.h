// An HTTP server on a test thread, on loopback, driven by a script: it takes
// one connection, reads the request (up to its blank line and then as many
// bytes as its Content-Length names), then sends, waits and ends as the
// script says. Every wait is bounded.
#pragma once
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/alloc.h"
#include "core/system_state.h"
#include "net_test_util.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/thread.h"

namespace nettest {

struct ServerAction {
  enum Kind { Send, Pause, Close, Reset, KeepOpen } What;
  std::string Bytes;  // Send
  int Ms = 0;         // Pause
};
inline ServerAction Say(std::string bytes) { return {ServerAction::Send, std::move(bytes), 0}; }
inline ServerAction Pause(int ms) { return {ServerAction::Pause, {}, ms}; }
inline ServerAction CloseIt() { return {ServerAction::Close, {}, 0}; }
inline ServerAction ResetIt() { return {ServerAction::Reset, {}, 0}; }
// Holds the connection open until the server is released (or five seconds pass).
inline ServerAction KeepOpen() { return {ServerAction::KeepOpen, {}, 0}; }

class ScriptedHttpServer {
 public:
  explicit ScriptedHttpServer(std::vector<ServerAction> script) : script_(std::move(script)) {
    listener_ = PlatSocketListen(kLoopback, 0, 4);
    PlatSocketSetTimeouts(listener_, 5000, 5000);
    port_ = PlatSocketLocalPort(listener_);
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedHttpServer() {
    Release();
    Join();
  }
  int Port() const { return port_; }
  // Ends a KeepOpen.
  void Release() { released_ = true; }
  void Join() {
    if (thread_.joinable()) thread_.join();
    if (listener_ != PLAT_INVALID_SOCKET) PlatSocketClose(listener_);
    listener_ = PLAT_INVALID_SOCKET;
  }
  // The request as received (after Join).
  const std::string& Request() const { return request_; }

 private:
  static size_t HeaderEnd(const std::string& text) {
    size_t crlf = text.find("\r\n\r\n"), lf = text.find("\n\n");
    if (crlf != std::string::npos && (lf == std::string::npos || crlf + 2 <= lf)) return crlf + 4;
    return lf == std::string::npos ? std::string::npos : lf + 2;
  }
  static void SendWhole(PlatSocket s, const std::string& bytes) {
    size_t at = 0;
    for (int interrupted = 0; at < bytes.size();) {
      int r = PlatSocketSend(s, bytes.data() + at, int(bytes.size() - at));
      if (r < 0 && PlatSocketGetLastError() == PLAT_WSAEINTR && ++interrupted < 100) continue;
      if (r <= 0) return;
      at += size_t(r);
    }
  }
  void Run() {
    // The listener does not block: the connection is waited for, five seconds at most.
    PlatSocket s = PLAT_INVALID_SOCKET;
    for (int tries = 0; s == PLAT_INVALID_SOCKET && tries < 5000; ++tries) {
      s = PlatSocketAccept(listener_, nullptr, nullptr);
      if (s != PLAT_INVALID_SOCKET) break;
      int error = PlatSocketGetLastError();
      if (error != PLAT_WSAEINTR && error != PLAT_WSAEWOULDBLOCK) break;
      PlatSleep(1);
    }
    if (s == PLAT_INVALID_SOCKET) return;
    PlatSocketSetTimeouts(s, 5000, 5000);
    std::vector<char> buffer(64 * 1024);
    size_t want = std::string::npos;
    int interrupted = 0;
    while (want == std::string::npos || request_.size() < want) {
      int n = PlatSocketRecv(s, buffer.data(), int(buffer.size()), 0);
      if (n < 0 && PlatSocketGetLastError() == PLAT_WSAEINTR && ++interrupted < 100) continue;
      if (n <= 0) break;
      request_.append(buffer.data(), size_t(n));
      if (want == std::string::npos) {
        size_t end = HeaderEnd(request_);
        if (end == std::string::npos) continue;
        size_t at = request_.find("Content-Length: ");
        want = end + (at < end ? size_t(std::stoul(request_.substr(at + 16))) : 0);
      }
    }
    bool closed = false;
    for (const ServerAction& a : script_) {
      if (a.What == ServerAction::Send) {
        SendWhole(s, a.Bytes);
      } else if (a.What == ServerAction::Pause) {
        PlatSleep(uint32_t(a.Ms));
      } else if (a.What == ServerAction::Reset) {
        PlatSocketAbort(s);
        closed = true;
        break;
      } else if (a.What == ServerAction::KeepOpen) {
        for (int i = 0; i < 5000 && !released_; ++i) PlatSleep(1);
      } else {
        break;
      }
    }
    if (!closed) PlatSocketClose(s);
  }

  std::vector<ServerAction> script_;
  PlatSocket listener_ = PLAT_INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> released_{false};
  std::string request_;
  std::thread thread_;
};

// Steps the transfers as the message pump does until the slot's transfer has
// ended or about three seconds pass; returns whether it ended.
inline bool StepUntilDone(int slot) {
  for (int i = 0; i < 3000; ++i) {
    PumpNetWorkMessages(1);
    StepAllHttpTransfers();
    const HttpTransfer* t = GetHttpTransfer(slot);
    if (!t || t->Result.Status != HTTP_RUNNING) return true;
    PlatSleep(1);
  }
  const HttpTransfer* t = GetHttpTransfer(slot);
  ADD_FAILURE() << "transfer " << slot << " still running at step " << t->Step << ", length "
                << t->ContentLength << ", received " << t->Received << ", request bytes sent "
                << t->RequestSent << ", count " << GetHttpTransferCount();
  return false;
}

// Steps the transfers until the slot's transfer has received count body
// bytes or about three seconds pass; returns whether it has.
inline bool StepUntilReceived(int slot, int count) {
  for (int i = 0; i < 3000 && GetHttpTransfer(slot)->Received < count; ++i) {
    PumpNetWorkMessages(1);
    StepAllHttpTransfers();
    PlatSleep(1);
  }
  return GetHttpTransfer(slot)->Received == count;
}

inline std::string Body(size_t n, uint32_t seed) {
  auto bytes = Pattern(n, seed);
  return std::string(bytes.begin(), bytes.end());
}

inline void ExpectResult(int slot, int status, int detail) {
  const HttpTransfer* t = GetHttpTransfer(slot);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Result.Status, status);
  EXPECT_EQ(t->Result.Detail, detail);
}

// A started network layer (no listener), a captured log and a check that
// every transfer, record, socket and block is gone at the end.
class HttpFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    sockets_ = PlatSocketCount();
    blocks_ = SystemState.Kept.Alloc.BlockCount;
    ClearHttpTransferTable();
    ASSERT_EQ(InitNetWorkSystem(-1), 0);
  }
  void TearDown() override {
    // The seams a test may have left set when it stopped early.
    PlatFileFailWritesAfter(PLAT_INVALID_FILE, 0);
    PlatHeapFailAfter(-1);
    DeleteAllHttpTransfers();
    EXPECT_EQ(GetHttpTransferCount(), 0);
    EndNetWorkSystem();
    EXPECT_EQ(PlatSocketCount(), sockets_);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks_) << "transfers, bodies or records left behind";
    teststate::ResetProcessState();
  }
  // A GET of the path from the server, into memory when out is given, else into file_.
  int Get(const ScriptedHttpServer& server, const char* path, void** out = nullptr) {
    return CreateHttpTransfer(HTTP_GET, "127.0.0.1", server.Port(), path, out ? nullptr : file_.c_str(), out,
                              nullptr, 0, 3000);
  }
  std::string FileText() {
    std::string text;
    PlatFile f = PlatOpenFile(file_.c_str(), PLAT_OPEN_READ);
    if (f == PLAT_INVALID_FILE) return text;
    char buffer[65536];
    for (int64_t n; (n = PlatReadFile(f, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    PlatCloseFile(f);
    return text;
  }

  CapturedLog log_;
  int sockets_ = 0;
  int blocks_ = 0;
  std::string file_ = (std::filesystem::temp_directory_path() /
                       ("vx_http_" + std::to_string(std::random_device{}()) + ".bin"))
                          .string();
  ~HttpFixture() override {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
  }
};

}  // namespace nettest
