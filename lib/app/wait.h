// Waits that keep the window alive, and the local calendar time.
#pragma once

struct LocalDateTime;

// Waits the milliseconds while pumping messages; ends early once the
// program is to end. 0.
int WaitMillisecondsImpl(int milliseconds);
// Waits until all input is released and then something is pressed; the
// input code (GetAnyInputDown with keyboard, pads and mouse), or 0 once the
// program is to end.
int WaitAnyKeyPressImpl();
// Waits while the sound plays (a play of type 0), keeping the window and the
// stream sounds serviced; ends early once the program is to end, and gives a
// sound of known length up two seconds after it should have ended. 0.
int WaitWhileSoundPlays(int handle);
