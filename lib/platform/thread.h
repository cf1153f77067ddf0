// Threads, manual-reset events and a recursive critical section.
#pragma once
#include <cstdint>

struct PlatThreadRec;
struct PlatEventRec;
struct PlatCriticalSectionRec;
using PlatThread = PlatThreadRec*;
using PlatEvent = PlatEventRec*;
using PlatCriticalSection = PlatCriticalSectionRec*;

using PlatThreadProc = uint32_t (*)(void* arg);

// Starts a thread running proc(arg); null on failure.
PlatThread PlatCreateThread(PlatThreadProc proc, void* arg);
// Waits until the thread has ended and releases it; returns its result.
uint32_t PlatJoinThread(PlatThread thread);
// A number identifying the calling thread, never 0 or 0xFFFFFFFF.
uint32_t PlatCurrentThreadId();
// Sleeps the calling thread (0 only yields). Unlike PlatSleep it never goes
// through the test hook, so worker threads keep real time while a test
// scripts the main thread's sleeps.
void PlatThreadSleep(uint32_t milliseconds);

// Manual-reset event: stays signalled until reset. Setting it releases (and
// waiting on it acquires) memory, so writes made before PlatSetEvent are seen
// by a thread that returns from PlatWaitEvent.
PlatEvent PlatCreateEvent(int initiallySignalled);
void PlatDestroyEvent(PlatEvent event);
void PlatSetEvent(PlatEvent event);
void PlatResetEvent(PlatEvent event);
// Waits for the event; timeout in milliseconds, PLAT_INFINITE for none.
// Returns 1 when signalled, 0 on time-out.
constexpr uint32_t PLAT_INFINITE = 0xFFFFFFFFu;
int PlatWaitEvent(PlatEvent event, uint32_t timeoutMilliseconds);
// 1 when the event is signalled now.
int PlatIsEventSet(PlatEvent event);

// Recursive critical section (the owning thread may enter again).
PlatCriticalSection PlatCreateCriticalSection();
void PlatDestroyCriticalSection(PlatCriticalSection cs);
void PlatEnterCriticalSection(PlatCriticalSection cs);
void PlatLeaveCriticalSection(PlatCriticalSection cs);
