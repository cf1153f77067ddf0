#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/lock.h"
#include "core/system_state.h"
#include "platform/clock.h"
#include "process_state.h"

namespace {
int Waiters() {
  LibraryLockState& lock = SystemState.Kept.Lock;
  PlatEnterCriticalSection(lock.Guard);
  int n = lock.Waiters;
  PlatLeaveCriticalSection(lock.Guard);
  return n;
}

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    PlatSleep(1);
  }
  return false;
}
}  // namespace

namespace {
class LibraryLock : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(LibraryLock, RecursionNeedsAsManyUnlocks) {
  LockLibrary();
  LockLibrary();
  std::atomic<bool> got{false};
  std::thread other([&] {
    LockLibrary();
    got = true;
    UnlockLibrary();
  });
  ASSERT_TRUE(WaitFor([] { return Waiters() == 1; }));
  UnlockLibrary();
  PlatSleep(20);
  EXPECT_FALSE(got.load());
  UnlockLibrary();
  other.join();
  EXPECT_TRUE(got.load());
  EXPECT_EQ(0, SystemState.Kept.Lock.Count);
  EXPECT_EQ(0, SystemState.Kept.Lock.Locked);
  TerminateLibraryLock();
}

TEST_F(LibraryLock, WaitersAcquireInArrivalOrder) {
  LockLibrary();
  std::mutex orderMutex;
  std::string order;
  std::vector<std::thread> threads;
  for (char name : std::string("ABC")) {
    int before = Waiters();
    threads.emplace_back([&, name] {
      LockLibrary();
      {
        std::lock_guard<std::mutex> hold(orderMutex);
        order += name;
      }
      PlatSleep(2);
      UnlockLibrary();
    });
    ASSERT_TRUE(WaitFor([&] { return Waiters() == before + 1; }));
  }
  UnlockLibrary();
  for (std::thread& t : threads) t.join();
  EXPECT_EQ("ABC", order);
  EXPECT_EQ(0, Waiters());
  TerminateLibraryLock();
}

TEST_F(LibraryLock, ReleasedThreadRequeuesBehindWaiters) {
  LockLibrary();
  std::string order;
  std::thread a([&] {
    LockLibrary();
    order += 'A';
    UnlockLibrary();
  });
  ASSERT_TRUE(WaitFor([] { return Waiters() == 1; }));
  UnlockLibrary();
  // The holder that comes straight back queues behind the earlier waiter.
  LockLibrary();
  order += 'M';
  UnlockLibrary();
  a.join();
  EXPECT_EQ("AM", order);
  TerminateLibraryLock();
}

TEST_F(LibraryLock, ConcurrentFirstUseAndRebuildAfterTeardown) {
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(0, SystemState.Kept.Lock.SetUp);
    std::atomic<bool> go{false};
    long counter = 0;  // guarded by the library lock only
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        while (!go.load()) {}
        for (int i = 0; i < 300; ++i) {
          LockLibrary();
          LockLibrary();
          ++counter;
          UnlockLibrary();
          UnlockLibrary();
        }
      });
    }
    go = true;
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(1200, counter);
    EXPECT_EQ(1, SystemState.Kept.Lock.SetUp);
    TerminateLibraryLock();
    EXPECT_EQ(0, SystemState.Kept.Lock.SetUp);
  }
}

TEST_F(LibraryLock, UnlockByAThreadThatDoesNotHoldItIsIgnored) {
  LockLibrary();
  std::thread stranger([] { UnlockLibrary(); });
  stranger.join();
  EXPECT_EQ(1, SystemState.Kept.Lock.Count);
  EXPECT_EQ(1, SystemState.Kept.Lock.Locked);
  UnlockLibrary();
  UnlockLibrary();  // one too many: ignored
  EXPECT_EQ(0, SystemState.Kept.Lock.Count);
  TerminateLibraryLock();
}

TEST_F(LibraryLock, SurvivesTheResetOfSystemState) {
  LockLibrary();
  ResetSystemState();
  EXPECT_EQ(1, SystemState.Kept.Lock.Locked);
  UnlockLibrary();
  EXPECT_EQ(0, SystemState.Kept.Lock.Locked);
  TerminateLibraryLock();
}
