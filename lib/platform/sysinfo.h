// Memory status and other facts about the machine.
#pragma once
#include <cstdint>

struct PlatMemoryStatus {
  uint64_t TotalPhysical, AvailablePhysical;
  uint64_t TotalPageFile, AvailablePageFile;
  uint64_t TotalVirtual, AvailableVirtual;
};

void PlatGetMemoryStatus(PlatMemoryStatus* out);

// Sends a text to the debugger output. By default the text goes nowhere;
// a sink (for tests, or a developer's console) receives every text.
using PlatDebugSink = void (*)(const char* text);
void PlatDebugOutput(const char* text);
void PlatSetDebugSink(PlatDebugSink sink);
