// Library start-up and shutdown, and the fatal-error exit.
#pragma once

// Brings the library up in its fixed order; 0, or -1 with everything it had
// started ended again.
int InitLibraryImpl();
// Takes the library down in its fixed order; 0 (also when not started).
int EndLibraryImpl();
// Logs the text, ends the library and ends the process with exit code -1.
[[noreturn]] void FatalErrorExit(const char* text);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Initialises COM once for the library; 0, or -1 when already done or failed.
int InitCom();

// The default COM services: this platform has no COM, so initialising
// always succeeds and uninitialising does nothing.
int ComInitializeDefault();
void ComUninitializeDefault();
// The warm-up draws made at the end of start-up; 0.
int RunWarmUpDraws();

// Cuts a text at its last whole character: a lone lead byte at the end of a
// text that was cut to fit a buffer is removed.
void CutAtCharacterBoundary(char* text);
