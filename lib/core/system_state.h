// SystemState: the library's one global block of settings and state.
//
// The block has two parts. `Kept` holds the settings the program makes before
// InitLibrary and the long-lived parts (log settings, allocator list, library
// lock, system information, strings, processor findings); ResetSystemState
// zeroes everything else and leaves `Kept` as it was. A new field goes into
// `Kept` only when it must survive that reset; otherwise it goes after it.
// Everything here is plain data so the reset can be a byte fill.
#pragma once
#include <cstdint>

#include "core/alloc.h"
#include "core/lock.h"
#include "core/log.h"
#include "core/window_state.h"

constexpr int SYSTEM_PATH_SIZE = 260;
constexpr int SYSTEM_TITLE_SIZE = 256;

// Filled by the system report and start-up; GetSystemInfoBlock returns it.
struct SystemInfo {
  char OsText[512];     // "Windows.. ( Build n sp )"
  char CpuName[256];    // processor brand text; empty when it has none
  int32_t CpuSpeedMhz;  // measured clock in MHz; 0 without a time-stamp counter
  // Memory totals in bytes, filled by start-up.
  uint64_t TotalPhysicalMemory;
  uint64_t FreePhysicalMemory;
  uint64_t TotalPageFile;
  uint64_t FreePageFile;
  uint64_t TotalVirtualMemory;
  uint64_t FreeVirtualMemory;
};

// What survives the reset of SystemState.
struct SystemStateKept {
  SystemInfo Info;  // the head of the block

  // Settings made before InitLibrary.
  int32_t WindowMode;    // 1 windowed, 0 full screen
  int32_t IconResource;  // icon resource identifier
  double WindowScale;    // 0 counts as 1.0
  char WindowTitle[SYSTEM_TITLE_SIZE];
  char WindowClassName[SYSTEM_TITLE_SIZE];

  int32_t Initialising;
  void* MainWindow;  // main window handle of the platform layer

  // Start-up directory, also the log directory; empty until start-up sets it
  // (and while it is empty the log writes nothing).
  char StartupDirectory[SYSTEM_PATH_SIZE];
  LogSettings Log;

  // Findings of the system report.
  int32_t OsVersionCode;  // 0x107 Windows XP, ...; never 0x108 here
  int32_t CpuMmxFlag;     // 1 when the MMX paths are used
  int32_t CpuSseFlag;
  int32_t CpuSse2Flag;
  int32_t CpuTscFlag;   // 1 when the processor has a time-stamp counter
  uint64_t CpuClockHz;  // time-stamp counts per second (0 when unknown)

  AllocState Alloc;
  LibraryLockState Lock;
};

struct SystemStateBlock {
  SystemStateKept Kept;

  int32_t Initialised;
  int32_t ComInitialised;
  // High-resolution counter: counts per second and whether the clocks use it.
  uint64_t PerfCounterFrequency;
  int32_t PerfCounterUsable;

  LogState Log;

  // Window state (main window, pump, window procedure).
  WindowState Window;
};

extern SystemStateBlock SystemState;

// Zeroes SystemState except its Kept part.
void ResetSystemState();
// The system-information block (head of SystemState).
SystemInfo* GetSystemInfoBlock();
// 1 when the system report found MMX usable.
int GetMmxAvailableFlag();
