// Library start-up and shutdown, and the fatal-error exit.
#pragma once
#include <vector>

#include "core/fatal.h"

// One step of the library's start-up and shutdown: mostly a subsystem, or a
// piece of one where the fixed order puts its start or its end between two
// others. Start-up runs the starts in the order of the list; the library's
// end runs the ends in the reverse order; a start that fails and stops
// start-up has the steps started before it undone, last first. A null start,
// end or undo has nothing to do at that point.
struct LibraryPart {
  const char* Name;
  int (*Start)();     // 0, or non-zero when it failed
  int (*End)();       // at the library's end (its result is not used)
  int (*Undo)();      // when a later start stopped start-up (result not used)
  bool FailureStops;  // a failed start stops start-up
};

// The list that start-up and shutdown walk, in start-up order. Tests put
// recording or failing fakes in its entries.
extern std::vector<LibraryPart> LibraryParts;
// Puts the library's own list back.
void ResetLibraryParts();
// The entry of that name, or null.
LibraryPart* FindLibraryPart(const char* name);

// Hands the lower layers the calls that point up (see core/hooks.h).
void RegisterLibraryHooks();
// Brings the library up by the list; 0, or -1 with what it had started
// undone again.
int InitLibraryImpl();
// Takes the library down by the list in reverse; 0 (also when not started).
int EndLibraryImpl();
// Initialises COM once for the library; 0, or -1 when already done or failed.
int InitCom();
// The warm-up draws made at the end of start-up; 0.
int RunWarmUpDraws();
