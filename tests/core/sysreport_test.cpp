#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/sysreport.h"
#include "core_test_util.h"
#include "platform/cpu.h"
#include "process_state.h"

using coretest::FakeNow;
using coretest::TempLog;

namespace {
uint32_t g_edx1;  // leaf 1 EDX of the fake processor
bool g_brand;     // whether it has a brand text

void PutText(uint32_t* regs[4], const char* text) {
  for (int r = 0; r < 4; ++r) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(text[r * 4 + i])) << (8 * i);
    *regs[r] = v;
  }
}

void FakeCpu(uint32_t leaf, PlatCpuidRegs* out) {
  *out = PlatCpuidRegs{};
  switch (leaf) {
    case 0:
      out->Eax = 1;
      std::memcpy(&out->Ebx, "Genu", 4);
      std::memcpy(&out->Edx, "ineI", 4);
      std::memcpy(&out->Ecx, "ntel", 4);
      break;
    case 1:
      out->Edx = g_edx1;
      break;
    case 0x80000000u:
      out->Eax = g_brand ? 0x80000004u : 0x80000000u;
      break;
    case 0x80000002u:
    case 0x80000003u:
    case 0x80000004u: {
      static const char brand[49] = "Test Processor 3000                             ";
      uint32_t* regs[4] = {&out->Eax, &out->Ebx, &out->Ecx, &out->Edx};
      PutText(regs, brand + (leaf - 0x80000002u) * 16);
      break;
    }
  }
}

OsVersionInfo g_version;
void FakeVersion(OsVersionInfo* out) { *out = g_version; }

// Every reading of the clock moves it on 30 ms, so the 100 ms measurement ends
// at once.
uint32_t RunningClock() { return FakeNow().fetch_add(30); }

struct Fakes {
  Fakes() {
    PlatSetCpuidHook(FakeCpu, 1);
    SystemState.Kept.OsVersionCode = 0;
  }
  ~Fakes() {
    PlatSetCpuidHook(nullptr, 1);
    SetOsVersionSource(nullptr);
    PlatSetMillisecondHook(nullptr);
  }
};

constexpr uint32_t kTsc = 1u << 4, kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;
}  // namespace

namespace {
class SystemReport : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(SystemReport, DefaultVersionIsWindowsXpSp2AndAFullProcessor) {
  TempLog log;
  Fakes fakes;
  g_edx1 = kTsc | kMmx | kSse | kSse2;
  g_brand = true;
  PlatSetMillisecondHook(RunningClock);
  EXPECT_EQ(0, LogSystemInfo());
  EXPECT_EQ(0x107, SystemState.Kept.OsVersionCode);
  EXPECT_STREQ("WindowsXP ( Build 2600 Service Pack 2 )", SystemState.Kept.Info.OsText);
  EXPECT_EQ(1, SystemState.Kept.CpuMmxFlag);
  EXPECT_EQ(1, SystemState.Kept.CpuSseFlag);
  EXPECT_EQ(1, SystemState.Kept.CpuSse2Flag);
  EXPECT_EQ(1, SystemState.Kept.CpuTscFlag);
  EXPECT_GT(SystemState.Kept.CpuClockHz, 0u);
  EXPECT_EQ(int32_t(SystemState.Kept.CpuClockHz / 1000000u), SystemState.Kept.Info.CpuSpeedMhz);
  EXPECT_STREQ("Test Processor 3000                             ", SystemState.Kept.Info.CpuName);
  EXPECT_EQ(1, GetMmxAvailableFlag());
  EXPECT_EQ(0, SystemState.Log.IndentDepth);

  const std::string text = coretest::StripPrefixes(log.Contents());
  const std::string expectedStart =
      "システムの情報を出力します\r\n"
      "\tＶｅｘｌｏライブラリ Ver1.00a\r\n"
      "\tＯＳ  WindowsXP ( Build 2600 Service Pack 2 )\r\n";
  ASSERT_GE(text.size(), expectedStart.size());
  EXPECT_EQ(expectedStart, text.substr(0, expectedStart.size()));
  EXPECT_NE(std::string::npos, text.find("\tＣＰＵ動作速度：大体")) << text;
  const std::string expectedEnd =
      "\tＭＭＸ命令を使用します\r\n"
      "\tＳＳＥ命令が使用可能です\r\n"
      "\tＳＳＥ２命令が使用可能です\r\n"
      "\tＣＰＵベンダ：GenuineIntel\r\n"
      "\tＣＰＵ名：Test Processor 3000                             \r\n";
  ASSERT_GE(text.size(), expectedEnd.size());
  EXPECT_EQ(expectedEnd, text.substr(text.size() - expectedEnd.size())) << text;
}

TEST_F(SystemReport, ProcessorWithoutCpuid) {
  TempLog log;
  Fakes fakes;
  PlatSetCpuidHook(FakeCpu, 0);
  SystemState.Kept.CpuMmxFlag = 1;
  LogSystemInfo();
  EXPECT_EQ(0, SystemState.Kept.CpuMmxFlag);
  EXPECT_EQ(0, SystemState.Kept.CpuTscFlag);
  EXPECT_EQ(0u, SystemState.Kept.CpuClockHz);
  EXPECT_EQ(0, SystemState.Kept.Info.CpuSpeedMhz);
  const std::string text = log.Contents();
  const std::string tail = "Service Pack 2 )\r\n0:\tＣＰＵＩＤ命令は使えません\r\n";
  EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;
}

TEST_F(SystemReport, MmxWithoutSseAndNoBrand) {
  TempLog log;
  Fakes fakes;
  g_edx1 = kMmx;
  g_brand = false;
  SystemState.Kept.Info.CpuName[0] = '\0';
  LogSystemInfo();
  EXPECT_EQ(1, SystemState.Kept.CpuMmxFlag);
  EXPECT_EQ(0, SystemState.Kept.CpuSseFlag);
  EXPECT_EQ(0, SystemState.Kept.CpuTscFlag);
  EXPECT_STREQ("", SystemState.Kept.Info.CpuName);
  const std::string text = log.Contents();
  const std::string tail = ")\r\n0:\tＭＭＸ命令を使用します\r\n0:\tＣＰＵベンダ：GenuineIntel\r\n";
  EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;
  // CPUID without MMX.
  g_edx1 = 0;
  LogSystemInfo();
  EXPECT_NE(std::string::npos, log.Contents().find("0:\tＭＭＸは使えません\r\n"));
  EXPECT_EQ(0, SystemState.Kept.CpuMmxFlag);
}

TEST_F(SystemReport, VersionTable) {
  TempLog log;
  Fakes fakes;
  g_edx1 = 0;
  SetOsVersionSource(FakeVersion);
  struct Case {
    uint32_t platform, major, minor, build;
    const char* csd;
    int code;
    const char* text;
  } cases[] = {
      {0, 3, 10, 1, "", 0, "Windows3.1 ( Build 1  )"},
      {1, 4, 0, 950, "C", 1, "Windows95OSR2 ( Build 950 C )"},
      {1, 4, 10, 2222, "A", 2, "Windows98SE ( Build 2222 A )"},
      {1, 4, 90, 3000, "", 3, "WindowsMe ( Build 3000  )"},
      {2, 3, 51, 1057, "", 0x104, "WindowsNT 3.51 ( Build 1057  )"},
      {2, 4, 0, 1381, "Service Pack 6", 0x105, "Windows4.0 ( Build 1381 Service Pack 6 )"},
      {2, 5, 0, 2195, "", 0x106, "Windows2000 ( Build 2195  )"},
  };
  for (const Case& c : cases) {
    g_version = OsVersionInfo{c.major, c.minor, c.build, c.platform, {}};
    StrCopyN(g_version.CsdVersion, sizeof g_version.CsdVersion, c.csd);
    LogSystemInfo();
    EXPECT_EQ(c.code, SystemState.Kept.OsVersionCode) << c.text;
    EXPECT_STREQ(c.text, SystemState.Kept.Info.OsText);
  }
  // An unknown version leaves the code as it was.
  g_version = OsVersionInfo{10, 0, 19045, 2, {}};
  LogSystemInfo();
  EXPECT_EQ(0x106, SystemState.Kept.OsVersionCode);
  EXPECT_STREQ("Windows ( Build 19045  )", SystemState.Kept.Info.OsText);
}

TEST_F(SystemReport, LogOffStillSetsEverything) {
  TempLog log(false);
  Fakes fakes;
  SetLogFileOutputImpl(0);
  LogFileInit();
  g_edx1 = kTsc | kMmx | kSse;
  g_brand = true;
  PlatSetMillisecondHook(RunningClock);
  LogSystemInfo();
  EXPECT_FALSE(log.Exists());
  EXPECT_EQ("", coretest::DebugText());
  EXPECT_EQ(0x107, SystemState.Kept.OsVersionCode);
  EXPECT_EQ(1, SystemState.Kept.CpuMmxFlag);
  EXPECT_EQ(1, SystemState.Kept.CpuSseFlag);
  EXPECT_EQ(0, SystemState.Kept.CpuSse2Flag);
  EXPECT_EQ(1, SystemState.Kept.CpuTscFlag);
  EXPECT_GT(SystemState.Kept.CpuClockHz, 0u);
}

TEST_F(SystemReport, RealProcessorRateIsMeasuredOverRealTime) {
  // The real processor and clock: the rate must be plausible (0.2-20 GHz).
  TempLog log;
  PlatSetMillisecondHook(nullptr);
  LogSystemInfo();
  if (!SystemState.Kept.CpuTscFlag) GTEST_SKIP() << "no time-stamp counter";
  EXPECT_GT(SystemState.Kept.CpuClockHz, 200000000ull);
  EXPECT_LT(SystemState.Kept.CpuClockHz, 20000000000ull);
}
