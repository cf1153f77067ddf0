// Shared between the mixer and the output back ends (platform only).
#pragma once
#include <mutex>

#include "platform/audio.h"

// Guards every buffer and the list of buffers: taken by the device thread for
// each mix and by the main thread for each buffer call.
std::recursive_mutex& AudioMixerLock();
// Destroys every buffer (at close).
void AudioMixerDestroyAll();
// 1 while some output back end is open (buffers may be made).
void AudioMixerSetOpen(int open);
