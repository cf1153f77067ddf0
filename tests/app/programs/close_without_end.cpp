// A program that ends as the game does when its window is closed: it starts the
// library, plays a looping sound, has its window closed, and returns from main
// once the pump says so, without ending the library.
// Usage: testprog_close_without_end TITLE SOUND.wav
#include <cstdio>

#include "app/main_window.h"
#include "platform/window.h"
#include "vexlo.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  SetLogFileOutput(0);
  SetMainWindowTitle(argv[1]);
  ChangeWindowMode(1);
  if (InitLibrary() != 0) return 3;
  const int sound = LoadSoundFile(argv[2], 1, 0);
  if (sound == -1 || PlaySoundHandle(sound, 3, 1) != 0) return 4;
  // Some frames with the sound playing, then the close button.
  for (int frame = 0; frame < 10; ++frame) {
    if (PumpWindowMessages() != 0) return 5;
    FlipScreen();
    WaitMilliseconds(10);
  }
  PlatPostMessage(GetMainWindow(), WM_CLOSE, 0, 0);
  for (int frame = 0; frame < 100; ++frame) {
    if (PumpWindowMessages() == -1) return -1;  // the game's own result
  }
  return 6;
}
