// The system report written at start-up: Windows version, processor and its
// measured clock. Its findings stay in SystemState.Kept for other parts.
#pragma once
#include <cstdint>

// The Windows version the library reports (what GetVersionExA gave).
struct OsVersionInfo {
  uint32_t MajorVersion;
  uint32_t MinorVersion;
  uint32_t BuildNumber;
  uint32_t PlatformId;   // 0 Win32s, 1 Windows 9x, 2 NT
  char CsdVersion[128];  // service-pack text
};

// The library runs as on Windows XP SP2 (NT 5.1 build 2600). A test may set
// another source; null restores the default.
using OsVersionSource = void (*)(OsVersionInfo* out);
void SetOsVersionSource(OsVersionSource source);

// Writes the report, sets the OS code, the processor flags and the measured
// time-stamp rate. Returns 0.
int LogSystemInfo();
// The library version written in the report.
constexpr const char* VEXLO_VERSION_TEXT = "1.00a";
