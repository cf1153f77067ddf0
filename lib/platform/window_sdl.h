// Virtual pads of the SDL2 window back end, for tests: SDL makes a device
// that reports through its own event queue, so a pad plugged in here
// arrives through the back end's translation like a real one.
#pragma once

// Plugs in a game controller with the usual buttons and sticks (controller
// 1) or a plain joystick of 2 axes, 12 buttons and a hat (0); it arrives at
// the next event pump. 0, or -1 when there is no pad support or SDL cannot
// make one.
int PlatSdlPlugVirtualPad(int controller);
// Unplugs the virtual pad plugged last; 0 or -1.
int PlatSdlUnplugVirtualPad();
// Sets a button (SDL's numbering for the device) or the first hat (SDL's hat
// value) of the back end's `index`-th open pad, in the order they were
// opened; the change arrives at the next event pump. 0 or -1.
int PlatSdlSetVirtualButton(int index, int button, int down);
int PlatSdlSetVirtualHat(int index, int sdlHatValue);
