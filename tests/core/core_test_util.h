// Helpers shared by the core tests: a log in a fresh temporary directory and
// a capture of the debugger output.
#pragma once
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "core/log.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "platform/clock.h"
#include "platform/sysinfo.h"

namespace coretest {

inline std::string& DebugText() {
  static std::string text;
  return text;
}
inline void CaptureDebug(const char* text) { DebugText() += text; }

// The log text with the "N:" prefix taken off every line (for clocks that run).
inline std::string StripPrefixes(const std::string& text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(pos, end - pos);
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits > 0 && digits < line.size() && line[digits] == ':') line.erase(0, digits + 1);
    out += line;
    pos = end;
  }
  return out;
}

// A fixed millisecond clock the tests move by hand.
inline std::atomic<uint32_t>& FakeNow() {
  static std::atomic<uint32_t> now{1000};
  return now;
}
inline uint32_t FakeClock() { return FakeNow().load(); }

// Points the log at a new temporary directory and opens it, with the clock
// held still so the line prefixes are "0:".
class TempLog {
 public:
  explicit TempLog(bool open = true) {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("vx_core_" + std::to_string(rd()) + "_" + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
    SystemState.Kept.Log = LogSettings{};
    SystemState.Log = LogState{};
    StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory,
             dir_.string().c_str());
    FakeNow() = 1000;
    PlatSetMillisecondHook(FakeClock);
    DebugText().clear();
    PlatSetDebugSink(CaptureDebug);
    if (open) LogFileInit();
  }
  ~TempLog() {
    PlatSetDebugSink(nullptr);
    PlatSetMillisecondHook(nullptr);
    SystemState.Kept.StartupDirectory[0] = '\0';
    SystemState.Kept.Log = LogSettings{};
    SystemState.Log = LogState{};
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path LogFile() const { return dir_ / "Log.txt"; }
  bool Exists() const { return std::filesystem::exists(LogFile()); }
  std::string Contents() const {
    std::ifstream in(LogFile(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace coretest
