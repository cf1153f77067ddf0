// Helpers of the network tests: a captured log, a clock that moves on every
// read (so the drains of closing end after a bounded number of passes),
// loopback peers and bounded waits.
#pragma once
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>  // std::chrono: <chrono> itself does not build with the Shift-JIS execution set
#include <vector>

#include "core/log.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "net_samples.h"
#include "network/network.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/sysinfo.h"
#include "process_state.h"

namespace nettest {

inline const uint8_t kLoopback[4] = {127, 0, 0, 1};

inline std::string& LogText() {
  static std::string text;
  return text;
}
inline void CaptureLog(const char* text) { LogText() += text; }

// Each read of the clock moves it on by 1 ms.
inline std::atomic<uint32_t>& ClockNow() {
  static std::atomic<uint32_t> now{5000};
  return now;
}
inline uint32_t SteppingClock() { return ClockNow().fetch_add(1); }

// How often a text stands in the log.
inline int LogCount(const std::string& text) {
  int n = 0;
  for (size_t pos = LogText().find(text); pos != std::string::npos; pos = LogText().find(text, pos + 1)) ++n;
  return n;
}

// A log in a fresh temporary directory, captured through the debugger output.
class CapturedLog {
 public:
  CapturedLog() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() / ("vx_net_" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
    SystemState.Kept.Log = LogSettings{};
    SystemState.Log = LogState{};
    StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory,
             dir_.string().c_str());
    LogText().clear();
    PlatSetDebugSink(CaptureLog);
    PlatSetMillisecondHook(SteppingClock);
    LogFileInit();
  }
  ~CapturedLog() {
    PlatSetMillisecondHook(nullptr);
    PlatSetDebugSink(nullptr);
    SystemState.Kept.StartupDirectory[0] = '\0';
    SystemState.Kept.Log = LogSettings{};
    SystemState.Log = LogState{};
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::filesystem::path dir_;
};

// Pumps the notification window (as the library's message pump does, with
// the closing of finished handles) until the condition holds or about three
// seconds of real time pass; returns whether it held.
inline bool PumpUntil(const std::function<bool()>& done, int closeFinished = 1) {
  for (int i = 0; i < 3000; ++i) {
    PumpNetWorkMessages(closeFinished);
    if (done()) return true;
    PlatSleep(1);
  }
  return done();
}

// Pumps as the frames do, each pump timed.
inline void PumpFrames(int frames) {
  for (int i = 0; i < frames; ++i) {
    auto start = std::chrono::steady_clock::now();
    PumpNetWorkMessages(1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    PlatSleep(1);
  }
}

// Pumps as the frames do until the condition holds: how many pumps it took,
// or -1 when it still fails after `limit` of them.
inline int PumpsUntil(const std::function<bool()>& done, int limit) {
  for (int pumps = 1; pumps <= limit; ++pumps) {
    PumpNetWorkMessages(1);
    if (done()) return pumps;
    PlatSleep(1);
  }
  return -1;
}

// The highest descriptor the process has open, or -1 when it cannot be seen.
inline int HighestOpenDescriptor() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int highest = -1;
  while (dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') highest = std::max(highest, std::atoi(entry->d_name));
  closedir(dir);
  return highest;
}

// A blocking peer connection with bounded waits.
inline PlatSocket ConnectPeer(int port) {
  PlatSocket s = PlatSocketConnect(kLoopback, port, 1, 3000);
  if (s != PLAT_INVALID_SOCKET) PlatSocketSetTimeouts(s, 3000, 3000);
  return s;
}

// Receives exactly n bytes (or fewer when the peer closes or a wait runs out).
inline std::vector<uint8_t> RecvExactly(PlatSocket s, size_t n) {
  std::vector<uint8_t> out(n);
  size_t got = 0;
  while (got < n) {
    int r = PlatSocketRecv(s, out.data() + got, int(n - got), 0);
    if (r <= 0) break;
    got += size_t(r);
  }
  out.resize(got);
  return out;
}

inline bool SendAll(PlatSocket s, const void* data, size_t n) {
  auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    int r = PlatSocketSend(s, p, int(n));
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
  }
  return true;
}

// A started layer with a listener on an ephemeral port and a captured log.
class NetFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = PlatSocketCount();
    allocBaseline_ = SystemState.Kept.Alloc.BlockCount;
    ASSERT_EQ(InitNetWorkSystem(0), 0);
    port_ = GetNetWorkListenPort();
    ASSERT_GT(port_, 0);
  }
  void TearDown() override {
    for (PlatSocket s : peers_) PlatSocketClose(s);
    EndNetWorkSystem();
    SetNetWorkPacketModeOff(0);
    SetNetWorkAutoCloseOff(0);
    EXPECT_EQ(NetWork.Initialized, 0);
    EXPECT_EQ(PlatSocketCount(), baseline_);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, allocBaseline_) << "records or rings left behind";
    teststate::ResetProcessState();
  }
  // A peer connected from this thread and the handle the layer accepted for it.
  int Accept(PlatSocket* peer) {
    *peer = ConnectPeer(port_);
    EXPECT_NE(*peer, PLAT_INVALID_SOCKET);
    peers_.push_back(*peer);
    int before = NetWork.HandleCount;
    EXPECT_TRUE(PumpUntil([&] { return NetWork.HandleCount > before; }));
    return GetNewestNetWorkHandle();
  }
  void DropPeer(PlatSocket peer) { std::erase(peers_, peer); }

  CapturedLog log_;
  int port_ = 0;
  int baseline_ = 0;
  int allocBaseline_ = 0;
  std::vector<PlatSocket> peers_;
};

}  // namespace nettest
