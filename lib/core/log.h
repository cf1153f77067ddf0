// The library's log: "Log.txt" in the start-up directory, mirrored to the
// debugger output. Lines start with the milliseconds since the log was opened
// and one TAB per open group of steps.
#pragma once
#include <cstdarg>
#include <cstdint>

// Room of the log's path texts.
constexpr int LOG_DIRECTORY_SIZE = 260;
constexpr int LOG_FILE_NAME_SIZE = 256;
// LogPrintf formats into a buffer of this size (text, "\n" and terminator).
constexpr int LOG_PRINTF_BUFFER_SIZE = 1024;

// The log's settings that survive the reset of SystemState (kept part). The
// log directory is the start-up directory (SystemState.Kept.StartupDirectory).
struct LogSettings {
  int32_t LogOff;                     // 1 while the log is switched off
  uint32_t StartTime;                 // millisecond clock at LogFileInit
  char FileName[LOG_FILE_NAME_SIZE];  // "Log.txt" once LogFileInit ran
};

// The log's line bookkeeping (reset with SystemState).
struct LogState {
  int32_t IndentDepth;  // TABs at the start of each line; never below 0
  int32_t LineOpen;     // 1 while the last text did not end with "\n"
};

// flag 0 switches the log off, anything else on. Returns 0.
int SetLogFileOutputImpl(int flag);
// Empties (creates) the log file in the start-up directory; always 1.
int LogFileInit();
// Writes a text (no line end added). Always -1, so failing routines can
// return the result of their log call.
int LogWrite(const char* text);
// Formats (bounded to LOG_PRINTF_BUFFER_SIZE, longer texts are cut), appends
// "\n" and writes the line. Always -1.
int LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogPrintfV(const char* format, va_list args);
int LogIndentIncrease();
int LogIndentDecrease();
// No on-screen log exists; always 0.
int IsScreenLogActive();
