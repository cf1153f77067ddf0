// The socket layer on loopback: notifications through a message-only
// window's queue and the rules that re-arm them, ids, error numbers.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/window.h"
#include "process_state.h"

namespace {

constexpr uint32_t kMsg = 0x505;
const uint8_t kLoopback[4] = {127, 0, 0, 1};

struct Note {
  PlatSocket Socket;
  uint32_t Event;
  int Error;
};

std::vector<Note>& Notes() {
  static std::vector<Note> notes;
  return notes;
}

intptr_t NoteProc(PlatWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
  if (m == kMsg) {
    Notes().push_back(Note{PlatSocket(wp), uint32_t(lp & 0xFFFF), int((uint32_t(lp) >> 16) & 0xFFFF)});
    return 1;
  }
  return PlatDefWindowProc(w, m, wp, lp);
}

class SocketLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    Notes().clear();
    window_ = PlatCreateMessageWindow(NoteProc);
    ASSERT_NE(window_, nullptr);
    baseline_ = PlatSocketCount();
  }
  void TearDown() override {
    for (PlatSocket s : owned_) PlatSocketClose(s);
    PlatDestroyWindow(window_);
    EXPECT_EQ(PlatSocketCount(), baseline_);
    teststate::ResetProcessState();
  }
  PlatSocket Own(PlatSocket s) {
    EXPECT_NE(s, PLAT_INVALID_SOCKET);
    owned_.push_back(s);
    return s;
  }
  void Forget(PlatSocket s) { std::erase(owned_, s); }
  // Dispatches the window's messages once.
  void Pump() {
    PlatMsg m;
    while (PlatPeekMessage(&m, window_, 1)) PlatDispatchMessage(&m);
  }
  // Pumps until `want` notifications of `event` for the socket were seen, or
  // two seconds pass; returns how many were seen.
  int PumpFor(PlatSocket s, uint32_t event, int want = 1) {
    uint32_t start = PlatGetMilliseconds();
    for (;;) {
      Pump();
      if (Count(s, event) >= want || PlatGetMilliseconds() - start > 2000) return Count(s, event);
      PlatSleep(1);
    }
  }
  // Pumps for a short while so late notifications can arrive.
  void Settle() {
    for (int i = 0; i < 20; ++i) {
      Pump();
      PlatSleep(1);
    }
  }
  int Count(PlatSocket s, uint32_t event) {
    int n = 0;
    for (const Note& note : Notes()) n += note.Socket == s && note.Event == event;
    return n;
  }
  const Note* Last(PlatSocket s, uint32_t event) {
    for (auto it = Notes().rbegin(); it != Notes().rend(); ++it)
      if (it->Socket == s && it->Event == event) return &*it;
    return nullptr;
  }
  // A listener on an ephemeral port, a client connected to it and the
  // accepted socket registered for read, write and close.
  void MakePair(PlatSocket* client, PlatSocket* server) {
    PlatSocket listener = Own(PlatSocketListen(kLoopback, 0, 16));
    int port = PlatSocketLocalPort(listener);
    ASSERT_GT(port, 0);
    *client = Own(PlatSocketConnect(kLoopback, port, 1, 2000));
    ASSERT_EQ(PlatSocketSetTimeouts(*client, 2000, 2000), 0);
    uint8_t addr[4];
    uint16_t peerPort = 0;
    *server = Own(PlatSocketAccept(listener, addr, &peerPort));
    EXPECT_EQ(std::memcmp(addr, kLoopback, 4), 0);
    EXPECT_NE(peerPort, 0);
    ASSERT_EQ(PlatSocketAsyncSelect(*server, window_, kMsg, PLAT_FD_READ | PLAT_FD_WRITE | PLAT_FD_CLOSE), 0);
  }
  PlatWindow window_ = nullptr;
  std::vector<PlatSocket> owned_;
  int baseline_ = 0;
};

TEST_F(SocketLayerTest, AcceptIsToldOnceAndReArmedByAccepting) {
  PlatSocket listener = Own(PlatSocketListen(kLoopback, 0, 16));
  ASSERT_EQ(PlatSocketAsyncSelect(listener, window_, kMsg, PLAT_FD_ACCEPT), 0);
  int port = PlatSocketLocalPort(listener);
  Settle();
  EXPECT_EQ(Count(listener, PLAT_FD_ACCEPT), 0);

  Own(PlatSocketConnect(kLoopback, port, 1, 2000));
  Own(PlatSocketConnect(kLoopback, port, 1, 2000));
  EXPECT_EQ(PumpFor(listener, PLAT_FD_ACCEPT), 1);
  Settle();
  EXPECT_EQ(Count(listener, PLAT_FD_ACCEPT), 1) << "not told again before an accept";

  // Accepting one leaves the other waiting: told again at once.
  Own(PlatSocketAccept(listener, nullptr, nullptr));
  EXPECT_EQ(PumpFor(listener, PLAT_FD_ACCEPT, 2), 2);
  Own(PlatSocketAccept(listener, nullptr, nullptr));
  Settle();
  EXPECT_EQ(Count(listener, PLAT_FD_ACCEPT), 2);
  EXPECT_EQ(PlatSocketAccept(listener, nullptr, nullptr), PLAT_INVALID_SOCKET);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAEWOULDBLOCK);
  EXPECT_EQ(Last(listener, PLAT_FD_ACCEPT)->Error, 0);
}

TEST_F(SocketLayerTest, ReadIsToldOnArrivalAndAfterConsumingReceivesButNotAfterPeeks) {
  PlatSocket client, server;
  MakePair(&client, &server);
  EXPECT_EQ(PumpFor(server, PLAT_FD_WRITE), 1) << "writable at registration";
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 0);

  char buf[16];
  EXPECT_EQ(PlatSocketRecv(server, buf, 4, 0), -1);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAEWOULDBLOCK);

  // A short prefix, peeked: one notice, none after the peek.
  ASSERT_EQ(PlatSocketSend(client, "ab", 2), 2);
  EXPECT_EQ(PumpFor(server, PLAT_FD_READ), 1);
  EXPECT_EQ(PlatSocketRecv(server, buf, 4, PLAT_MSG_PEEK), 2);
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 1);

  // More arrives: told again.
  ASSERT_EQ(PlatSocketSend(client, "cd", 2), 2);
  EXPECT_EQ(PumpFor(server, PLAT_FD_READ, 2), 2);

  // A consuming receive that leaves bytes behind is told once more; one that
  // empties the socket is not.
  EXPECT_EQ(PlatSocketRecv(server, buf, 1, 0), 1);
  EXPECT_EQ(PumpFor(server, PLAT_FD_READ, 3), 3);
  EXPECT_EQ(PlatSocketRecv(server, buf, 16, 0), 3);
  EXPECT_EQ(std::memcmp(buf, "bcd", 3), 0);
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 3);
  EXPECT_EQ(Count(server, PLAT_FD_WRITE), 1);
  EXPECT_EQ(Count(server, PLAT_FD_CLOSE), 0);
}

TEST_F(SocketLayerTest, OneReadNoticeQueuedAtMost) {
  PlatSocket client, server;
  MakePair(&client, &server);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(PlatSocketSend(client, "x", 1), 1);
    PlatSleep(1);
    PlatMsg m;
    PlatPeekMessage(&m, window_, 0);  // polls without taking
  }
  Pump();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 1);
}

TEST_F(SocketLayerTest, WriteIsToldAgainOnceAShortSendCanGoOn) {
  PlatSocket client, server;
  MakePair(&client, &server);
  ASSERT_EQ(PlatSocketSetBufferSizes(server, 4096, 0), 0);
  ASSERT_EQ(PlatSocketSetBufferSizes(client, 0, 4096), 0);
  EXPECT_EQ(PumpFor(server, PLAT_FD_WRITE), 1);
  std::vector<char> block(65536, 'z');
  long sent = 0;
  int guard = 0;
  for (;;) {
    int n = PlatSocketSend(server, block.data(), int(block.size()));
    if (n < 0) {
      EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAEWOULDBLOCK);
      break;
    }
    sent += n;
    ASSERT_LT(++guard, 10000);
  }
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_WRITE), 1) << "nothing while the peer does not read";

  // The peer reads everything; the write notice comes back once.
  std::thread reader([&] {
    std::vector<char> sink(65536);
    long got = 0;
    while (got < sent) {
      int n = PlatSocketRecv(client, sink.data(), int(sink.size()), 0);
      if (n <= 0) break;
      got += n;
    }
  });
  EXPECT_EQ(PumpFor(server, PLAT_FD_WRITE, 2), 2);
  reader.join();
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_WRITE), 2);
}

TEST_F(SocketLayerTest, OrderlyCloseIsToldOnceAfterTheData) {
  PlatSocket client, server;
  MakePair(&client, &server);
  ASSERT_EQ(PlatSocketSend(client, "tail", 4), 4);
  ASSERT_EQ(PlatSocketClose(client), 0);
  Forget(client);
  EXPECT_EQ(PumpFor(server, PLAT_FD_CLOSE), 1);
  EXPECT_EQ(Last(server, PLAT_FD_CLOSE)->Error, 0);
  EXPECT_EQ(Count(server, PLAT_FD_READ), 1);
  char buf[8];
  EXPECT_EQ(PlatSocketRecv(server, buf, 8, 0), 4);
  EXPECT_EQ(PlatSocketRecv(server, buf, 8, 0), 0);
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_CLOSE), 1);
}

TEST_F(SocketLayerTest, ResetIsToldAsConnectionReset) {
  PlatSocket client, server;
  MakePair(&client, &server);
  ASSERT_EQ(PlatSocketAbort(client), 0);
  Forget(client);
  EXPECT_EQ(PumpFor(server, PLAT_FD_CLOSE), 1);
  const Note* n = Last(server, PLAT_FD_CLOSE);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(PlatSocketEventWord(n->Event, n->Error), intptr_t(0x27460020));
  char buf[4];
  EXPECT_EQ(PlatSocketRecv(server, buf, 4, 0), -1);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAECONNRESET);
  EXPECT_EQ(PlatSocketSend(server, "x", 1), -1) << "no signal, an error";
}

TEST_F(SocketLayerTest, ConnectIsToldThenWrite) {
  PlatSocket listener = Own(PlatSocketListen(kLoopback, 0, 4));
  int port = PlatSocketLocalPort(listener);
  PlatSocket out = Own(PlatSocketConnect(kLoopback, port, 0, 0));
  ASSERT_EQ(PlatSocketAsyncSelect(out, window_, kMsg,
                                  PLAT_FD_READ | PLAT_FD_WRITE | PLAT_FD_CLOSE | PLAT_FD_CONNECT),
            0);
  EXPECT_EQ(PumpFor(out, PLAT_FD_WRITE), 1);
  ASSERT_EQ(Count(out, PLAT_FD_CONNECT), 1);
  EXPECT_EQ(Last(out, PLAT_FD_CONNECT)->Error, 0);
  // CONNECT comes before WRITE.
  EXPECT_EQ(Notes().front().Event, PLAT_FD_CONNECT);
}

TEST_F(SocketLayerTest, RefusedConnectIsToldWithItsError) {
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
  int port = PlatSocketLocalPort(listener);
  PlatSocketClose(listener);
  PlatSocket out = PlatSocketConnect(kLoopback, port, 0, 0);
  if (out == PLAT_INVALID_SOCKET) {
    EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAECONNREFUSED);
    return;
  }
  Own(out);
  ASSERT_EQ(PlatSocketAsyncSelect(out, window_, kMsg, PLAT_FD_CONNECT | PLAT_FD_CLOSE | PLAT_FD_WRITE), 0);
  EXPECT_EQ(PumpFor(out, PLAT_FD_CONNECT), 1);
  EXPECT_EQ(Last(out, PLAT_FD_CONNECT)->Error, PLAT_WSAECONNREFUSED);
  Settle();
  EXPECT_EQ(Count(out, PLAT_FD_CLOSE), 0);
  EXPECT_EQ(Count(out, PLAT_FD_WRITE), 0);
  // A blocking connect reports the refusal directly.
  EXPECT_EQ(PlatSocketConnect(kLoopback, port, 1, 2000), PLAT_INVALID_SOCKET);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAECONNREFUSED);
}

TEST_F(SocketLayerTest, ClosingDropsQueuedNoticesAndIdsAreNeverReused) {
  PlatSocket client, server;
  MakePair(&client, &server);
  ASSERT_EQ(PlatSocketSend(client, "data", 4), 4);
  // Let the notices queue up without taking them.
  PlatMsg m;
  for (int i = 0;
       i < 50 && !PlatHasQueuedMessage(window_, kMsg, server, PlatSocketEventWord(PLAT_FD_READ, 0)); ++i) {
    PlatPeekMessage(&m, window_, 0);
    PlatSleep(1);
  }
  ASSERT_TRUE(PlatHasQueuedMessage(window_, kMsg, server, PlatSocketEventWord(PLAT_FD_READ, 0)));
  ASSERT_EQ(PlatSocketClose(server), 0);
  Forget(server);
  Pump();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 0);
  EXPECT_EQ(Count(server, PLAT_FD_WRITE), 0);

  PlatSocket again = Own(PlatSocketListen(kLoopback, 0, 1));
  EXPECT_NE(again, 0u);
  EXPECT_NE(again, server);
  EXPECT_GT(again, server);
  EXPECT_EQ(PlatSocketClose(server), -1);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAENOTSOCK);
  EXPECT_EQ(PlatSocketRecv(server, &m, 1, 0), -1);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAENOTSOCK);
}

TEST_F(SocketLayerTest, AMaskOfZeroDeregisters) {
  PlatSocket client, server;
  MakePair(&client, &server);
  EXPECT_EQ(PumpFor(server, PLAT_FD_WRITE), 1);
  ASSERT_EQ(PlatSocketAsyncSelect(server, window_, 0, 0), 0);
  ASSERT_EQ(PlatSocketSend(client, "q", 1), 1);
  ASSERT_EQ(PlatSocketClose(client), 0);
  Forget(client);
  Settle();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 0);
  EXPECT_EQ(Count(server, PLAT_FD_CLOSE), 0);
  char c;
  EXPECT_EQ(PlatSocketRecv(server, &c, 1, 0), 1) << "the socket stays usable";
}

TEST_F(SocketLayerTest, RegisteringReportsAClosedPeerAtOnce) {
  PlatSocket listener = Own(PlatSocketListen(kLoopback, 0, 4));
  PlatSocket client = PlatSocketConnect(kLoopback, PlatSocketLocalPort(listener), 1, 2000);
  ASSERT_NE(client, PLAT_INVALID_SOCKET);
  ASSERT_EQ(PlatSocketSend(client, "hi", 2), 2);
  PlatSocketClose(client);
  PlatSocket server = Own(PlatSocketAccept(listener, nullptr, nullptr));
  PlatSleep(20);
  ASSERT_EQ(PlatSocketAsyncSelect(server, window_, kMsg, PLAT_FD_READ | PLAT_FD_CLOSE), 0);
  Pump();
  EXPECT_EQ(Count(server, PLAT_FD_READ), 1);
  EXPECT_EQ(Count(server, PLAT_FD_CLOSE), 1);
  EXPECT_EQ(Notes().front().Event, PLAT_FD_READ);
}

TEST_F(SocketLayerTest, BadArgumentsFailWithWinSockNumbers) {
  EXPECT_EQ(PlatSocketListen(kLoopback, 70000, 1), PLAT_INVALID_SOCKET);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAEINVAL);
  PlatSocket a = Own(PlatSocketListen(kLoopback, 0, 1));
  EXPECT_EQ(PlatSocketListen(kLoopback, PlatSocketLocalPort(a), 1), PLAT_INVALID_SOCKET);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAEADDRINUSE);
  EXPECT_EQ(PlatSocketAsyncSelect(a, nullptr, kMsg, PLAT_FD_ACCEPT), -1);
  EXPECT_EQ(PlatSocketRecv(a, nullptr, 4, 0), -1);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAEFAULT);
  EXPECT_EQ(PlatSocketSend(0, "x", 1), -1);
  EXPECT_EQ(PlatSocketGetLastError(), PLAT_WSAENOTSOCK);
}

}  // namespace
