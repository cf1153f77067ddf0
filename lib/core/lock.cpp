// LibraryLock: a recursive lock that serves waiting threads strictly in the
// order they arrived. Each queue entry owns an event; the events move up with
// their entries, so a waiting thread's event stays its own until it leaves.
#include "core/lock.h"

#include <mutex>

#include "core/system_state.h"
#include "platform/clock.h"

namespace {
constexpr uint32_t kNoOwner = 0xFFFFFFFFu;

// Makes the lazy set-up and the teardown safe when two threads take the lock
// for the first time at once. Constant-initialised, so it exists before any
// static constructor runs.
std::mutex g_setUpMutex;

LibraryLockState& L() { return SystemState.Kept.Lock; }

void SetUpIfNeeded() {
  std::lock_guard<std::mutex> hold(g_setUpMutex);
  LibraryLockState& lock = L();
  if (lock.SetUp) return;
  lock.Count = 0;
  lock.Locked = 0;
  lock.Owner = kNoOwner;
  lock.Waiters = 0;
  for (LibraryLockWaiter& w : lock.Queue) w.ThreadId = 0;
  lock.Guard = PlatCreateCriticalSection();
  lock.SetUp = 1;
}

// Entry 0 leaves the queue (under the guard): the others move up one place
// with their events, and entry 0's event goes to the freed last place.
void LeaveQueue(LibraryLockState& lock) {
  PlatEvent kept = lock.Queue[0].Event;
  for (int i = 1; i < lock.Waiters; ++i) lock.Queue[i - 1] = lock.Queue[i];
  lock.Queue[lock.Waiters - 1].ThreadId = 0;
  lock.Queue[lock.Waiters - 1].Event = kept;
  lock.Waiters -= 1;
}

void Acquire(LibraryLockState& lock, uint32_t me) {
  lock.Count += 1;
  lock.Locked = 1;
  lock.Owner = me;
  PlatLeaveCriticalSection(lock.Guard);
}
}  // namespace

void LockLibrary() {
  SetUpIfNeeded();
  LibraryLockState& lock = L();
  const uint32_t me = PlatCurrentThreadId();
  for (;;) {
    PlatEnterCriticalSection(lock.Guard);
    if (lock.Locked) {
      if (lock.Owner == me) return Acquire(lock, me);
    } else {
      if (lock.Waiters == 0) return Acquire(lock, me);
      if (lock.Queue[0].ThreadId == me) {
        LeaveQueue(lock);
        return Acquire(lock, me);
      }
    }
    // Queue full, or no event could be made for the entry: try again later
    // without queueing.
    LibraryLockWaiter* entry = lock.Waiters < LIBRARY_LOCK_QUEUE_SIZE ? &lock.Queue[lock.Waiters] : nullptr;
    if (entry != nullptr && entry->Event == nullptr) entry->Event = PlatCreateEvent(0);
    if (entry == nullptr || entry->Event == nullptr) {
      PlatLeaveCriticalSection(lock.Guard);
      PlatSleep(1);
      continue;
    }
    entry->ThreadId = me;
    PlatEvent event = entry->Event;
    lock.Waiters += 1;
    PlatLeaveCriticalSection(lock.Guard);
    PlatWaitEvent(event, PLAT_INFINITE);
    PlatResetEvent(event);
  }
}

void UnlockLibrary() {
  LibraryLockState& lock = L();
  if (!lock.SetUp) return;
  PlatEnterCriticalSection(lock.Guard);
  // Only the holder may give up a level; anything else would corrupt the count.
  if (!lock.Locked || lock.Owner != PlatCurrentThreadId() || lock.Count <= 0) {
    PlatLeaveCriticalSection(lock.Guard);
    return;
  }
  PlatEvent wake = nullptr;
  if (lock.Count == 1) {
    lock.Locked = 0;
    lock.Owner = kNoOwner;
    if (lock.Waiters > 0) wake = lock.Queue[0].Event;
  }
  lock.Count -= 1;
  PlatLeaveCriticalSection(lock.Guard);
  if (wake != nullptr) {
    // The event stays set until its waiter resets it, so a signal sent before
    // the waiter starts waiting is not lost.
    PlatSetEvent(wake);
    PlatSleep(0);
  }
}

void TerminateLibraryLock() {
  std::lock_guard<std::mutex> hold(g_setUpMutex);
  LibraryLockState& lock = L();
  if (!lock.SetUp) return;
  lock.SetUp = 0;
  for (LibraryLockWaiter& w : lock.Queue) {
    if (w.Event != nullptr) PlatDestroyEvent(w.Event);
    w.Event = nullptr;
    w.ThreadId = 0;
  }
  PlatDestroyCriticalSection(lock.Guard);
  lock.Guard = nullptr;
  lock.Count = 0;
  lock.Locked = 0;
  lock.Owner = kNoOwner;
  lock.Waiters = 0;
}
