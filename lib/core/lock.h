// The one library-wide lock: recursive, and fair (waiting threads are served
// in the order in which they arrived, each waiting on an event of its own).
#pragma once
#include <cstdint>

#include "platform/thread.h"

constexpr int LIBRARY_LOCK_QUEUE_SIZE = 4096;

struct LibraryLockWaiter {
  uint32_t ThreadId;  // 0 while the entry is free
  PlatEvent Event;    // the entry's manual-reset event; made when first used
};

// Kept across the reset of SystemState.
struct LibraryLockState {
  int32_t Count;                                     // recursion count of the holder; 0 when free
  int32_t Locked;                                    // 1 while a thread holds the lock
  uint32_t Owner;                                    // holder's thread id; 0xFFFFFFFF when free
  LibraryLockWaiter Queue[LIBRARY_LOCK_QUEUE_SIZE];  // waiters, arrival order
  int32_t Waiters;                                   // entries of Queue in use
  int32_t SetUp;                                     // 1 once the guard exists
  PlatCriticalSection Guard;                         // protects every field above
};

// Returns when the calling thread holds the lock (one level more).
void LockLibrary();
// Gives up one level; the last level wakes the first waiter.
void UnlockLibrary();
// Closes the waiter events and the guard (library end, fatal exit). A later
// LockLibrary sets the lock up again.
void TerminateLibraryLock();
