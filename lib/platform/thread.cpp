#include "platform/thread.h"

#include <pthread.h>
#include <sched.h>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>

struct PlatThreadRec {
  pthread_t Thread;
  PlatThreadProc Proc;
  void* Arg;
  uint32_t Result;
};

struct PlatEventRec {
  pthread_mutex_t Mutex;
  pthread_cond_t Cond;
  int Signalled;
};

struct PlatCriticalSectionRec {
  pthread_mutex_t Mutex;
};

namespace {
void* ThreadStart(void* raw) {
  PlatThreadRec* rec = static_cast<PlatThreadRec*>(raw);
  rec->Result = rec->Proc(rec->Arg);
  return nullptr;
}

std::atomic<uint32_t> g_nextThreadId{1};
thread_local uint32_t t_threadId = 0;
}  // namespace

PlatThread PlatCreateThread(PlatThreadProc proc, void* arg) {
  PlatThreadRec* rec = new (std::nothrow) PlatThreadRec{};
  if (!rec) return nullptr;
  rec->Proc = proc;
  rec->Arg = arg;
  if (pthread_create(&rec->Thread, nullptr, ThreadStart, rec) != 0) {
    delete rec;
    return nullptr;
  }
  return rec;
}

uint32_t PlatJoinThread(PlatThread thread) {
  if (!thread) return 0;
  pthread_join(thread->Thread, nullptr);
  uint32_t result = thread->Result;
  delete thread;
  return result;
}

uint32_t PlatCurrentThreadId() {
  if (t_threadId == 0) {
    uint32_t id;
    do {
      id = g_nextThreadId.fetch_add(1);
    } while (id == 0 || id == 0xFFFFFFFFu);
    t_threadId = id;
  }
  return t_threadId;
}

void PlatThreadSleep(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {}
}

PlatEvent PlatCreateEvent(int initiallySignalled) {
  PlatEventRec* ev = new (std::nothrow) PlatEventRec{};
  if (!ev) return nullptr;
  pthread_mutex_init(&ev->Mutex, nullptr);
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_cond_init(&ev->Cond, &attr);
  pthread_condattr_destroy(&attr);
  ev->Signalled = initiallySignalled ? 1 : 0;
  return ev;
}

void PlatDestroyEvent(PlatEvent ev) {
  if (!ev) return;
  pthread_cond_destroy(&ev->Cond);
  pthread_mutex_destroy(&ev->Mutex);
  delete ev;
}

// The mutex around the flag gives the release/acquire ordering the callers
// rely on: writes before PlatSetEvent are visible after PlatWaitEvent.
void PlatSetEvent(PlatEvent ev) {
  if (!ev) return;
  pthread_mutex_lock(&ev->Mutex);
  ev->Signalled = 1;
  pthread_cond_broadcast(&ev->Cond);
  pthread_mutex_unlock(&ev->Mutex);
}

void PlatResetEvent(PlatEvent ev) {
  if (!ev) return;
  pthread_mutex_lock(&ev->Mutex);
  ev->Signalled = 0;
  pthread_mutex_unlock(&ev->Mutex);
}

int PlatWaitEvent(PlatEvent ev, uint32_t timeoutMilliseconds) {
  if (!ev) return 0;
  pthread_mutex_lock(&ev->Mutex);
  if (timeoutMilliseconds == PLAT_INFINITE) {
    while (!ev->Signalled) pthread_cond_wait(&ev->Cond, &ev->Mutex);
  } else {
    timespec due;
    clock_gettime(CLOCK_MONOTONIC, &due);
    due.tv_sec += timeoutMilliseconds / 1000;
    due.tv_nsec += long(timeoutMilliseconds % 1000) * 1000000L;
    if (due.tv_nsec >= 1000000000L) {
      due.tv_sec += 1;
      due.tv_nsec -= 1000000000L;
    }
    while (!ev->Signalled) {
      if (pthread_cond_timedwait(&ev->Cond, &ev->Mutex, &due) == ETIMEDOUT) break;
    }
  }
  int signalled = ev->Signalled;
  pthread_mutex_unlock(&ev->Mutex);
  return signalled;
}

int PlatIsEventSet(PlatEvent ev) {
  if (!ev) return 0;
  pthread_mutex_lock(&ev->Mutex);
  int signalled = ev->Signalled;
  pthread_mutex_unlock(&ev->Mutex);
  return signalled;
}

PlatCriticalSection PlatCreateCriticalSection() {
  PlatCriticalSectionRec* cs = new (std::nothrow) PlatCriticalSectionRec{};
  if (!cs) return nullptr;
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&cs->Mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  return cs;
}

void PlatDestroyCriticalSection(PlatCriticalSection cs) {
  if (!cs) return;
  pthread_mutex_destroy(&cs->Mutex);
  delete cs;
}

void PlatEnterCriticalSection(PlatCriticalSection cs) {
  if (cs) pthread_mutex_lock(&cs->Mutex);
}

void PlatLeaveCriticalSection(PlatCriticalSection cs) {
  if (cs) pthread_mutex_unlock(&cs->Mutex);
}
