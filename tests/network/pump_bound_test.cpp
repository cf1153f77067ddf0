// A pump that must end: notifications that keep coming back while it runs,
// and a connection waiting while the process has no free descriptor, whose
// accept fails for as long as that lasts. Each pump dispatches what was
// queued when it started, a failed accept is told once per change, and the
// waiting connection is taken once a descriptor is free.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "net_test_util.h"
#include "platform/window_backend.h"

using namespace nettest;

namespace {

constexpr uintptr_t kUnknownSocket = 0x7FFFFFF0u;
const char kUnknownSocketLine[] = "通信エラー No.1";
const char kAcceptFailedLine[] = "ネットワークログ。acceptに失敗しました[10024]";

class PumpBound : public NetFixture {};

// While armed, every peek posts one more notification for a socket that no
// record holds, as a socket whose notice comes straight back would; a bound
// keeps a pump that never stops for it from running for ever.
std::atomic<bool> g_hookArmed{false};
std::atomic<int> g_hookPosts{0};
constexpr int kHookPostLimit = 5000;

void RepostingHook() {
  if (!g_hookArmed || !NetWork.NotifyWindow || g_hookPosts >= kHookPostLimit) return;
  ++g_hookPosts;
  PlatPostMessage(NetWork.NotifyWindow, SocketNotifyMessage, kUnknownSocket, PLAT_FD_READ);
}

TEST_F(PumpBound, APumpDispatchesWhatWasQueuedWhenItStartedAndLosesNothing) {
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(PlatPostMessage(NetWork.NotifyWindow, SocketNotifyMessage, kUnknownSocket, PLAT_FD_READ), 0);
  g_hookPosts = 0;
  g_hookArmed = true;
  PlatPeekHook previous = PlatSetPeekHook(RepostingHook);
  EXPECT_EQ(PumpNetWorkMessages(1), 0);
  int first = LogCount(kUnknownSocketLine);
  // The three posted before, and at most the one its first look brought.
  EXPECT_GE(first, 3);
  EXPECT_LE(first, 4);
  EXPECT_EQ(PumpNetWorkMessages(0), 0);
  int second = LogCount(kUnknownSocketLine) - first;
  EXPECT_GE(second, 1) << "what came during the first pump is the next one's";
  EXPECT_LE(second, g_hookPosts.load() - (first - 3));

  // Once nothing comes back, the pumps empty the queue: every notice was dispatched once.
  g_hookArmed = false;
  for (int i = 0; i < 20 && PlatCountQueuedMessages(NetWork.NotifyWindow) > 0; ++i) PumpNetWorkMessages(1);
  EXPECT_EQ(PlatCountQueuedMessages(NetWork.NotifyWindow), 0);
  EXPECT_EQ(LogCount(kUnknownSocketLine), 3 + g_hookPosts.load());
  EXPECT_EQ(PlatSetPeekHook(previous), &RepostingHook);
}

// The process's descriptor table made full: the soft limit lowered a little
// above the highest descriptor open, and every free one below it taken.
// Everything is given back at the end, however the test ends.
class FullDescriptorTable {
 public:
  FullDescriptorTable() { getrlimit(RLIMIT_NOFILE, &saved_); }
  ~FullDescriptorTable() {
    FreeAll();
    Restore();
  }
  // False when the table cannot be filled here.
  bool Fill() {
    int highest = HighestOpenDescriptor();
    int seed = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (highest < 0 || seed < 0) {
      if (seed >= 0) close(seed);
      return false;
    }
    held_.push_back(seed);
    rlimit low = saved_;
    low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, rlim_t(std::max(highest, seed) + 9));
    if (setrlimit(RLIMIT_NOFILE, &low) != 0) return false;
    lowered_ = true;
    for (int i = 0; i < 100000; ++i) {
      int fd = fcntl(seed, F_DUPFD_CLOEXEC, 0);
      if (fd < 0) return errno == EMFILE;
      held_.push_back(fd);
    }
    return false;
  }
  void FreeOne() {
    if (held_.empty()) return;
    close(held_.back());
    held_.pop_back();
  }
  void FreeAll() {
    for (int fd : held_) close(fd);
    held_.clear();
  }
  void Restore() {
    if (lowered_) setrlimit(RLIMIT_NOFILE, &saved_);
    lowered_ = false;
  }

 private:
  rlimit saved_{};
  bool lowered_ = false;
  std::vector<int> held_;
};

// A failed accept that kept coming back would write its line for ever inside
// one pump. Past a bound the log's sink gives the descriptors back, which
// lets the accept through and the pump end, so the test fails instead of
// hanging; a watchdog ends a pump that hangs without a line.
FullDescriptorTable* g_table = nullptr;
int g_failedAccepts = 0;

void GuardedCapture(const char* text) {
  CaptureLog(text);
  if (std::strstr(text, "acceptに失敗しました") && ++g_failedAccepts == 200 && g_table) g_table->FreeAll();
}

class Watchdog {
 public:
  explicit Watchdog(int seconds)
      : thread_([this, seconds] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
            std::fprintf(stderr, "a network pump did not return within %d s\n", seconds);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

class StarvedAccept : public NetFixture {
 protected:
  void SetUp() override {
    NetFixture::SetUp();
    g_failedAccepts = 0;
    g_table = &table_;
    PlatSetDebugSink(GuardedCapture);
  }
  void TearDown() override {
    PlatSetDebugSink(CaptureLog);
    g_table = nullptr;
    table_.FreeAll();
    table_.Restore();
    NetFixture::TearDown();
  }
  FullDescriptorTable table_;
};

TEST_F(StarvedAccept, AConnectionWaitingWithoutAFreeDescriptorIsToldOnceAndTakenOnceOneIsFree) {
  Watchdog watchdog(30);
  const int handles = NetWork.HandleCount;
  PlatSocket first = ConnectPeer(port_);
  ASSERT_NE(first, PLAT_INVALID_SOCKET);
  peers_.push_back(first);
  if (!table_.Fill()) GTEST_SKIP() << "the descriptor table cannot be filled here";

  // However often the frames pump, the failure is told once.
  PumpFrames(40);
  EXPECT_EQ(LogCount(kAcceptFailedLine), 1);
  EXPECT_EQ(NetWork.HandleCount, handles);

  // A second connection is a change: told once more, with still no descriptor for it.
  table_.FreeOne();
  PlatSocket second = ConnectPeer(port_);
  ASSERT_NE(second, PLAT_INVALID_SOCKET);
  peers_.push_back(second);
  PumpFrames(40);
  EXPECT_EQ(LogCount(kAcceptFailedLine), 2);
  EXPECT_EQ(NetWork.HandleCount, handles);

  // Descriptors free again: both waiting connections are taken, with no further failure.
  table_.FreeAll();
  ASSERT_TRUE(PumpUntil([&] { return NetWork.HandleCount == handles + 2; }));
  EXPECT_EQ(LogCount(kAcceptFailedLine), 2);
  table_.Restore();
  // Both stand and carry packets.
  for (PlatSocket peer : {first, second}) ASSERT_TRUE(SendAll(peer, Packet({'o', 'k'}).data(), 6));
  int newest = GetNewestNetWorkHandle();
  int older = NetWork.ListHead.Next->Next->Id;
  for (int h : {newest, older}) {
    EXPECT_EQ(GetNetWorkAcceptState(h), 1);
    EXPECT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 2; })) << h;
  }
}

}  // namespace
