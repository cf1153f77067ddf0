// One running copy per window class: a lock file per class name in the
// user's runtime directory, held while the class is registered. The lock goes
// with the process, so a copy that crashed leaves nothing behind.
#pragma once

// 1 when another holder (another process, or another registration) has the
// lock of this class name.
int PlatClassLockHeldElsewhere(const char* className);
// Takes the lock for this process; 0, or -1 when another holder has it.
int PlatClassLockHold(const char* className);
void PlatClassLockRelease(const char* className);
// Where the lock files go (tests point it at a directory of their own);
// null or "" restores the default ($XDG_RUNTIME_DIR, else the temp directory).
void PlatSetClassLockDirectory(const char* directory);
