// Calls that point up. A few services of the lower layers must reach a layer
// above them: drawing waits while the main window is inactive, a display
// change restarts input and fonts, a fatal error ends the whole library. The
// layer that owns each service puts it in this table when the library starts
// (the app layer, RegisterLibraryHooks); until then every entry is a harmless
// default, so the lower layers run and test on their own.
#pragma once

struct UpwardHookTable {
  // App: pumps messages while the main window is inactive (not while it is
  // being painted), then has lost graphs restored.
  void (*WaitWhileWindowInactive)();
  // App: ends the library (the fatal-error exit calls it once).
  int (*EndLibrary)();
  // Fonts: started and ended with the graphics device, rebuilt after the
  // display surfaces were lost.
  int (*InitializeFontSystem)();
  int (*TerminateFontSystem)();
  int (*RecreateAllFonts)();
};

extern UpwardHookTable UpwardHooks;

// Puts the defaults back (tests; the app layer's registration overwrites them).
void ResetUpwardHooks();

// The drawing and input entries' guard, through the hook.
inline void WaitWhileWindowInactive() { UpwardHooks.WaitWhileWindowInactive(); }
