// Test seams of the input platform: synthetic SDL events run through the same
// translation as the real ones, and fake pads that exist without a device.
#pragma once
#include <cstdint>

// Adds a fake pad in the first free slot; controller 1 makes it a game
// controller, 0 a plain joystick. Returns its instance id, or -1 when every
// slot is taken.
int PlatTestAttachFakePad(int controller);
// Removes a pad as an unplug event would.
void PlatTestDetachPad(int instanceId);
// Synthetic events for a pad's instance id.
void PlatTestControllerButton(int instanceId, int sdlButton, int down);
void PlatTestControllerAxis(int instanceId, int sdlAxis, int value);
void PlatTestJoyButton(int instanceId, int button, int down);
void PlatTestJoyAxis(int instanceId, int axis, int value);
void PlatTestJoyHat(int instanceId, int hat, int sdlHatValue);
// A synthetic key event.
void PlatTestKeyEvent(int sdlScancode, int down, int repeat);
// A synthetic mouse button event (1 left, 2 middle, 3 right).
void PlatTestMouseButton(int button, int down);
// Queues a key event in SDL's own event queue, to arrive through the window's
// event loop like a real key; 0, or -1 when SDL refuses it.
int PlatTestQueueSdlKeyEvent(int sdlScancode, int down);
// Focus lost, as SDL reports it to the window.
void PlatTestFocusLost();
// Plugs in an SDL virtual pad (a game controller with the usual buttons and
// sticks when `controller` is 1, else a plain joystick of 2 axes, 12 buttons
// and a hat); it arrives through the window's event loop like a real one.
// Returns 0, or -1 when SDL cannot make one.
int PlatTestPlugVirtualPad(int controller);
// Unplugs the virtual pad plugged last; 0 or -1.
int PlatTestUnplugVirtualPad();
// Sets a button or hat of the virtual pad in `slot` (its state reaches the
// pad at the next event pump). 0 or -1.
int PlatTestSetVirtualButton(int slot, int button, int down);
int PlatTestSetVirtualHat(int slot, int sdlHatValue);

// The rumble last asked of a fake pad (strength, duration); -1 when none.
int PlatTestLastRumble(int instanceId, int* strength, uint32_t* durationMs);
