// The system report: Windows version, processor features and the measured
// time-stamp rate, written to the log as one indented group at start-up. The
// findings are kept whether or not the log is on.
#include "core/sysreport.h"

#include <atomic>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "platform/clock.h"
#include "platform/cpu.h"

namespace {
// The library identifies itself as running on Windows XP with service pack 2.
// That is never Vista (0x108), whose separate back-surface layout the
// display of this build does not use.
void DefaultOsVersion(OsVersionInfo* out) {
  std::memset(out, 0, sizeof *out);
  out->MajorVersion = 5;
  out->MinorVersion = 1;
  out->BuildNumber = 2600;
  out->PlatformId = 2;
  StrCopyN(out->CsdVersion, sizeof out->CsdVersion, "Service Pack 2");
}

std::atomic<OsVersionSource> g_osSource{nullptr};

// Appends the version's name to "Windows" and gives its code (-1: unknown,
// the code stays as it was).
int NameWindowsVersion(const OsVersionInfo& v, char* name, size_t size) {
  StrCopyN(name, size, "Windows");
  switch (v.PlatformId) {
    case 0:
      StrAppendN(name, size, "3.1");
      return 0;
    case 1:
      if (v.MinorVersion == 0) {
        StrAppendN(name, size, "95");
        if (v.CsdVersion[0] == 'C') StrAppendN(name, size, "OSR2");
        return 1;
      }
      if (v.MinorVersion == 10) {
        StrAppendN(name, size, "98");
        if (v.CsdVersion[0] == 'A') StrAppendN(name, size, "SE");
        return 2;
      }
      if (v.MinorVersion == 90) {
        StrAppendN(name, size, "Me");
        return 3;
      }
      return -1;
    case 2:
      if (v.MajorVersion == 3) {
        StrAppendN(name, size, "NT 3.51");
        return 0x104;
      }
      if (v.MajorVersion == 4) {
        StrAppendN(name, size, "4.0");
        return 0x105;
      }
      if (v.MajorVersion == 5 && v.MinorVersion == 0) {
        StrAppendN(name, size, "2000");
        return 0x106;
      }
      if (v.MajorVersion == 5 && v.MinorVersion == 1) {
        StrAppendN(name, size, "XP");
        return 0x107;
      }
      if (v.MajorVersion == 6) {
        StrAppendN(name, size, "Vista");
        return 0x108;
      }
      return -1;
    default:
      return -1;
  }
}

void ReportOs() {
  OsVersionInfo v{};
  OsVersionSource source = g_osSource.load();
  (source ? source : DefaultOsVersion)(&v);
  v.CsdVersion[sizeof v.CsdVersion - 1] = '\0';
  char name[64];
  int code = NameWindowsVersion(v, name, sizeof name);
  if (code >= 0) SystemState.Kept.OsVersionCode = code;
  SystemInfo& info = SystemState.Kept.Info;
  FormatStringN(info.OsText, sizeof info.OsText, "%s ( Build %d %s )", name, int(v.BuildNumber),
                v.CsdVersion);
  LogPrintf("%s", info.OsText);
}

struct CpuFindings {
  int Level;  // 0 no CPUID, 1 CPUID, 3 MMX, 4 SSE, 5 SSE2
  int HasTsc;
  char Vendor[13];
  char Brand[49];
};

void StoreWord(char* dest, uint32_t word) {
  for (int i = 0; i < 4; ++i) dest[i] = char((word >> (8 * i)) & 0xFF);
}

CpuFindings ProbeCpu() {
  CpuFindings cpu{};
  if (!PlatHasCpuid()) return cpu;
  PlatCpuidRegs r{};
  PlatCpuid(0, &r);
  StoreWord(cpu.Vendor, r.Ebx);
  StoreWord(cpu.Vendor + 4, r.Edx);
  StoreWord(cpu.Vendor + 8, r.Ecx);
  cpu.Level = 1;
  PlatCpuid(1, &r);
  cpu.HasTsc = (r.Edx >> 4) & 1;
  PlatCpuidRegs ext{};
  PlatCpuid(0x80000000u, &ext);
  if (ext.Eax >= 0x80000004u) {
    for (uint32_t leaf = 0; leaf < 3; ++leaf) {
      PlatCpuidRegs b{};
      PlatCpuid(0x80000002u + leaf, &b);
      char* d = cpu.Brand + leaf * 16;
      StoreWord(d, b.Eax);
      StoreWord(d + 4, b.Ebx);
      StoreWord(d + 8, b.Ecx);
      StoreWord(d + 12, b.Edx);
    }
  }
  PlatCpuid(1, &r);
  if ((r.Edx >> 23) & 1) {
    cpu.Level = 3;
    if ((r.Edx >> 25) & 1) {
      cpu.Level = 4;
      if ((r.Edx >> 26) & 1) cpu.Level = 5;
    }
  }
  return cpu;
}

// Counts the time-stamp counter over at least 100 ms of the millisecond clock
// and divides by the time that really elapsed, read from the high-resolution
// counter (a coarse or late clock tick would otherwise skew the rate).
void MeasureTimeStampRate() {
  const uint64_t freq = PlatCounterFrequency();
  const uint32_t startMs = GetMillisecondClock();
  const uint64_t startCount = PlatQueryCounter();
  const uint64_t startTsc = PlatReadTimeStamp();
  uint64_t endCount = startCount;
  // A clock that stops (a test's) ends the wait after one real second.
  while (GetMillisecondClock() - startMs < 100u) {
    endCount = PlatQueryCounter();
    if (freq != 0 && endCount - startCount >= freq) break;
  }
  const uint64_t endTsc = PlatReadTimeStamp();
  endCount = PlatQueryCounter();
  const uint64_t ticks = endTsc - startTsc;
  const uint64_t elapsed = endCount - startCount;
  uint64_t hz = (elapsed != 0 && freq != 0) ? MulDiv64(ticks, freq, elapsed) : 0;
  SystemState.Kept.CpuClockHz = hz;
  uint64_t mhz = hz / 1000000u;
  SystemState.Kept.Info.CpuSpeedMhz = mhz > 0x7FFFFFFFu ? 0x7FFFFFFF : int32_t(mhz);
  LogPrintf("ＣＰＵ動作速度：大体%.2fGHz", double(uint32_t(SystemState.Kept.Info.CpuSpeedMhz)) * 0.001);
}
}  // namespace

void SetOsVersionSource(OsVersionSource source) { g_osSource.store(source); }

int LogSystemInfo() {
  LogWrite("システムの情報を出力します\n");
  LogIndentIncrease();
  LogPrintf("Ｖｅｘｌｏライブラリ Ver%s", VEXLO_VERSION_TEXT);
  LogWrite("ＯＳ  ");
  ReportOs();

  // This platform's millisecond clock always runs at its finest period.
  (void)PlatTimerMinPeriod();

  SystemState.Kept.CpuMmxFlag = 0;
  SystemState.Kept.CpuSseFlag = 0;
  SystemState.Kept.CpuSse2Flag = 0;
  SystemState.Kept.CpuClockHz = 0;
  SystemState.Kept.Info.CpuSpeedMhz = 0;
  const CpuFindings cpu = ProbeCpu();
  SystemState.Kept.CpuTscFlag = cpu.HasTsc;
  if (cpu.HasTsc) MeasureTimeStampRate();

  if (cpu.Level == 0) {
    LogWrite("ＣＰＵＩＤ命令は使えません\n");
    LogIndentDecrease();
    return 0;
  }
  if (cpu.Level == 1) LogWrite("ＭＭＸは使えません\n");
  if (cpu.Level >= 3) {
    LogWrite("ＭＭＸ命令を使用します\n");
    SystemState.Kept.CpuMmxFlag = 1;
  }
  if (cpu.Level >= 4) {
    LogWrite("ＳＳＥ命令が使用可能です\n");
    SystemState.Kept.CpuSseFlag = 1;
  }
  if (cpu.Level >= 5) {
    LogWrite("ＳＳＥ２命令が使用可能です\n");
    SystemState.Kept.CpuSse2Flag = 1;
  }
  LogWrite("ＣＰＵベンダ：");
  LogWrite(cpu.Vendor);
  LogWrite("\n");
  if (cpu.Brand[0] != '\0') {
    LogPrintf("ＣＰＵ名：%s", cpu.Brand);
    StrCopyN(SystemState.Kept.Info.CpuName, sizeof SystemState.Kept.Info.CpuName, cpu.Brand);
  }
  LogIndentDecrease();
  return 0;
}
