// The log file is opened and closed for every text so that each line is on
// disk as soon as LogWrite returns.
#include "core/log.h"

#include <cstring>
#include <mutex>

#include "core/alloc.h"
#include "core/clock.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "platform/file.h"
#include "platform/sysinfo.h"

namespace {
// Texts up to this length are converted in a buffer on the stack.
constexpr size_t kSmallText = 255;
constexpr size_t kSmallBuffer = kSmallText * 2 + 1;
// Only the main thread logs in this system, but the allocator may log from
// the movie thread when memory runs out; the lock keeps lines whole.
std::recursive_mutex g_logMutex;

// Converts "\n" to "\r\n" up to the first "\n" that already follows a "\r";
// from there on the text is copied unchanged. Two-byte characters are copied
// whole and never examined as a line end. Returns the converted length.
size_t ConvertLineEnds(const char* text, size_t length, char* out) {
  size_t in = 0, o = 0;
  while (in < length) {
    unsigned char c = static_cast<unsigned char>(text[in]);
    if (IsSjisLeadByte(c) && in + 1 < length) {
      out[o++] = text[in++];
      out[o++] = text[in++];
      continue;
    }
    if (c == '\n') {
      if (in > 0 && text[in - 1] == '\r') break;  // already CR LF: stop converting
      out[o++] = '\r';
    }
    out[o++] = text[in++];
  }
  std::memcpy(out + o, text + in, length - in);
  o += length - in;
  out[o] = '\0';
  return o;
}

// The log file's path: the log directory, "\" unless it already ends with one,
// then the file name. False when it does not fit.
bool LogPath(char* path, size_t size) {
  const char* dir = SystemState.Kept.StartupDirectory;
  size_t dirLen = strnlen(dir, SYSTEM_PATH_SIZE);
  if (dirLen == 0 || dirLen >= SYSTEM_PATH_SIZE) return false;
  size_t nameLen = strnlen(SystemState.Kept.Log.FileName, LOG_FILE_NAME_SIZE);
  if (nameLen == 0 || nameLen >= LOG_FILE_NAME_SIZE) return false;
  bool sep = dir[dirLen - 1] == '\\' || dir[dirLen - 1] == '/';
  int n = FormatStringN(path, size, "%s%s%s", dir, sep ? "" : "\\", SystemState.Kept.Log.FileName);
  return n > 0 && static_cast<size_t>(n) == dirLen + (sep ? 0 : 1) + nameLen;
}

void WriteAll(PlatFile file, const char* data, size_t size) {
  if (file != PLAT_INVALID_FILE && size > 0) PlatWriteFile(file, data, size);
}

void WriteConverted(const char* text, size_t length, char* converted);
}  // namespace

int SetLogFileOutputImpl(int flag) {
  SystemState.Kept.Log.LogOff = flag == 0 ? 1 : 0;
  return 0;
}

int LogFileInit() {
  if (SystemState.Kept.Log.LogOff) return 1;
  std::lock_guard<std::recursive_mutex> hold(g_logMutex);
  StrCopyN(SystemState.Kept.Log.FileName, sizeof SystemState.Kept.Log.FileName, "Log.txt");
  // The file is emptied at every start. Creating it with "create always"
  // empties it even when the old file could not be deleted.
  char path[SYSTEM_PATH_SIZE + LOG_FILE_NAME_SIZE + 2];
  const char* name = LogPath(path, sizeof path) ? path : SystemState.Kept.Log.FileName;
  PlatDeleteFile(name);
  PlatFile file = PlatOpenFile(name, PLAT_CREATE_ALWAYS);
  if (file != PLAT_INVALID_FILE) PlatCloseFile(file);
  SystemState.Log.IndentDepth = 0;
  SystemState.Log.LineOpen = 0;
  SystemState.Kept.Log.StartTime = GetMillisecondClock();
  return 1;
}

int LogWrite(const char* text) {
  if (text == nullptr) return -1;
  // Nothing happens at all while the log is off or has no directory yet.
  if (SystemState.Kept.Log.LogOff || SystemState.Kept.StartupDirectory[0] == '\0') return -1;

  size_t length = std::strlen(text);
  char small[kSmallBuffer];
  char* converted = small;
  if (length > kSmallText) {
    // Taken before the log's own lock: the allocator logs under its lock, so
    // the two locks are always taken in the order allocator, log.
    if (length > (TRACKED_ALLOC_MAX_SIZE - 1) / 2) return -1;
    converted = static_cast<char*>(TrackedAlloc(length * 2 + 1, "", 0));
    if (converted == nullptr) return -1;  // the log never reports its own failures
  }
  WriteConverted(text, length, converted);
  if (converted != small) TrackedFree(converted);
  return -1;
}

namespace {
void WriteConverted(const char* text, size_t length, char* converted) {
  std::lock_guard<std::recursive_mutex> hold(g_logMutex);
  size_t convertedLength = ConvertLineEnds(text, length, converted);

  char path[SYSTEM_PATH_SIZE + LOG_FILE_NAME_SIZE + 2];
  PlatFile file = PLAT_INVALID_FILE;
  if (LogPath(path, sizeof path)) {
    file = PlatOpenFile(path, PLAT_OPEN_ALWAYS);
    if (file != PLAT_INVALID_FILE) PlatSeekFile(file, 0, PLAT_SEEK_END);
  }

  if (!SystemState.Log.LineOpen) {
    char prefix[16];
    int n = FormatStringN(prefix, sizeof prefix,
                          "%d:", static_cast<int>(GetMillisecondClock() - SystemState.Kept.Log.StartTime));
    if (n > 0) WriteAll(file, prefix, static_cast<size_t>(n));
    // The TABs go out in pieces of a fixed buffer, so any depth is safe.
    char tabs[64];
    std::memset(tabs, '\t', sizeof tabs - 1);
    for (int left = SystemState.Log.IndentDepth; left > 0;) {
      int piece = left < static_cast<int>(sizeof tabs - 1) ? left : static_cast<int>(sizeof tabs - 1);
      tabs[piece] = '\0';
      WriteAll(file, tabs, static_cast<size_t>(piece));
      PlatDebugOutput(tabs);
      tabs[piece] = '\t';
      left -= piece;
    }
  }
  WriteAll(file, converted, convertedLength);
  PlatDebugOutput(converted);
  // An empty text leaves the line as it was.
  if (convertedLength > 0) SystemState.Log.LineOpen = converted[convertedLength - 1] != '\n' ? 1 : 0;
  if (file != PLAT_INVALID_FILE) PlatCloseFile(file);
}
}  // namespace

int LogPrintfV(const char* format, va_list args) {
  if (format == nullptr) return -1;
  char buffer[LOG_PRINTF_BUFFER_SIZE];
  // Room is kept for the "\n"; a longer text is cut.
  int n = FormatStringVN(buffer, sizeof buffer - 1, format, args);
  if (n < 0) n = 0;
  buffer[n] = '\n';
  buffer[n + 1] = '\0';
  return LogWrite(buffer);
}

int LogPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogPrintfV(format, args);
  va_end(args);
  return -1;
}

int LogIndentIncrease() {
  ++SystemState.Log.IndentDepth;
  return 0;
}

int LogIndentDecrease() {
  if (SystemState.Log.IndentDepth > 0) --SystemState.Log.IndentDepth;
  return 0;
}

int IsScreenLogActive() { return 0; }
