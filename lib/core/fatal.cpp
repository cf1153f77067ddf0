#include "core/fatal.h"

#include <cstdarg>
#include <cstdlib>

#include "core/hooks.h"
#include "core/lock.h"
#include "core/log.h"
#include "core/strutil.h"

namespace {

int g_fatalExitRunning = 0;

}  // namespace

void CutAtCharacterBoundary(char* text) {
  if (!text) return;
  for (char* p = text; *p; ++p) {
    if (!IsSjisLeadByte(static_cast<unsigned char>(*p))) continue;
    if (p[1] == '\0') {
      *p = '\0';
      return;
    }
    ++p;
  }
}
void FatalErrorExit(const char* text) {
  // A failure inside the shutdown below must not run the shutdown again.
  if (g_fatalExitRunning) std::_Exit(-1);
  g_fatalExitRunning = 1;
  LogWrite(text ? text : "");
  LogWrite("\n");
  UpwardHooks.EndLibrary();
  TerminateLibraryLock();
  std::exit(-1);
}

void FatalErrorExitFormat(const char* format, ...) {
  char buffer[1024];
  buffer[0] = '\0';
  va_list args;
  va_start(args, format);
  FormatStringVN(buffer, sizeof buffer, format, args);
  va_end(args);
  CutAtCharacterBoundary(buffer);
  FatalErrorExit(buffer);
}
