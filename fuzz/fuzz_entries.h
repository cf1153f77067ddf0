// The fuzzing entry points: one per parser of the library, each feeding one
// input through it as a caller would. The libFuzzer targets (fuzz_*.cpp)
// and the regression test of the normal test run (tests/fuzz) call the same
// functions, so every input kept under fuzz/regressions replays exactly.
#pragma once
#include <cstddef>
#include <cstdint>

using FuzzEntry = void (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
  const char* Name;  // also the folder of its kept inputs and the executable fuzz_<Name>
  FuzzEntry Entry;
};

// Every target, ended by a null entry.
extern const FuzzTarget kFuzzTargets[];

// The target of that name, or null.
const FuzzTarget* FindFuzzTarget(const char* name);

// Starts what the targets need (file access, the sound layer over its capture
// back end, the font system, a scratch directory); idempotent.
void FuzzStartLibrary();
// Ends what FuzzStartLibrary started; the next FuzzStartLibrary starts it
// again (the scratch directory stays until the process ends).
void FuzzEndLibrary();

// Runs one input through a target and checks that the library's tracked
// allocator holds as many blocks afterwards as before. False (and a line on
// stderr) when it does not.
bool FuzzRunChecked(const FuzzTarget& target, const uint8_t* data, size_t size);
