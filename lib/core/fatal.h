// The fatal-error exit, usable from every layer: it logs, has the app layer
// end the library (through its hook) and ends the process.
#pragma once

// Logs the text, ends the library and ends the process with exit code -1.
[[noreturn]] void FatalErrorExit(const char* text);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Cuts a text at its last whole character: a lone lead byte at the end of a
// text that was cut to fit a buffer is removed.
void CutAtCharacterBoundary(char* text);
