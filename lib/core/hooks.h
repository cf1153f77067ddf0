// Calls that point up: the two services of the lower layers that must reach
// the app layer in the middle of their own work. Everything else the layers
// do for each other the app layer sequences from above. The app layer fills
// the table when the library starts (RegisterLibraryHooks); until then every
// entry is a harmless default, so the lower layers run and test on their own.
#pragma once

struct UpwardHookTable {
  // Graphics waits inside a draw while the main window is inactive, and only
  // the app layer's pump can wait for its activation and restore the graphs.
  void (*WaitWhileWindowInactive)();
  // A fatal error in any layer ends the whole library, which the app layer
  // sequences, before the process ends.
  int (*EndLibrary)();
};

extern UpwardHookTable UpwardHooks;

// Puts the defaults back (tests; the app layer's registration overwrites them).
void ResetUpwardHooks();

// The graphics entries' guard, through the hook.
inline void WaitWhileWindowInactive() { UpwardHooks.WaitWhileWindowInactive(); }
