#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/audio_internal.h"

namespace {
PlatAudioBackend g_backend = PLAT_AUDIO_DEVICE;
PlatAudioBackend g_openBackend = PLAT_AUDIO_DEVICE;
int g_isOpen = 0;
SDL_AudioDeviceID g_device = 0;
std::string g_driver;
// Mixed frames of the capture back end, interleaved stereo, oldest first.
std::deque<int16_t> g_capture;
// A test that never takes its frames must not grow without end: about five
// minutes of output are kept, the oldest dropped first.
constexpr size_t kCaptureLimitSamples = size_t(44100) * 2 * 300;

void SDLCALL DeviceCallback(void*, Uint8* stream, int len) {
  PlatAudioMix(reinterpret_cast<int16_t*>(stream), uint32_t(len) / 4);
}

void CloseAtExit() { PlatAudioClose(); }

int OpenDevice() {
  // A program may return from main with the device still open (the game does
  // when its window is closed): the device thread is stopped before the
  // static destructors free what it mixes from. Handlers registered now run
  // before the destructors of every object constructed earlier.
  static bool closeAtExitRegistered = false;
  if (!closeAtExitRegistered) closeAtExitRegistered = std::atexit(CloseAtExit) == 0;
  if (!g_driver.empty()) SDL_SetHint(SDL_HINT_AUDIODRIVER, g_driver.c_str());
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return -1;
  SDL_AudioSpec want{};
  want.freq = int(PlatAudioOutputRate());
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = DeviceCallback;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware takes.
  g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (g_device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return -1;
  }
  SDL_PauseAudioDevice(g_device, 0);
  return 0;
}
}  // namespace

void PlatAudioSelectBackend(PlatAudioBackend backend) { g_backend = backend; }

void PlatAudioSetDriver(const char* name) { g_driver = name ? name : ""; }

int PlatAudioOpen() {
  if (g_isOpen) return 0;
  switch (g_backend) {
    case PLAT_AUDIO_NO_DEVICE:
      return -1;
    case PLAT_AUDIO_CAPTURE:
      g_capture.clear();
      break;
    case PLAT_AUDIO_DEVICE:
      if (OpenDevice() != 0) return -1;
      break;
  }
  g_openBackend = g_backend;
  g_isOpen = 1;
  AudioMixerSetOpen(1);
  return 0;
}

void PlatAudioClose() {
  if (!g_isOpen) return;
  if (g_openBackend == PLAT_AUDIO_DEVICE) {
    // Closing waits for a running callback, so no mix outlives the buffers.
    SDL_CloseAudioDevice(g_device);
    g_device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  AudioMixerSetOpen(0);
  AudioMixerDestroyAll();
  g_capture.clear();
  g_isOpen = 0;
}

int PlatAudioIsOpen() { return g_isOpen; }

uint32_t PlatAudioCaptureAdvance(uint32_t frames) {
  if (!g_isOpen || g_openBackend != PLAT_AUDIO_CAPTURE) return 0;
  std::vector<int16_t> block(size_t(frames) * 2);
  PlatAudioMix(block.data(), frames);
  g_capture.insert(g_capture.end(), block.begin(), block.end());
  if (g_capture.size() > kCaptureLimitSamples) {
    g_capture.erase(g_capture.begin(), g_capture.begin() + (g_capture.size() - kCaptureLimitSamples));
  }
  return frames;
}

size_t PlatAudioCaptureTake(int16_t* out, size_t maxFrames) {
  size_t frames = std::min(maxFrames, g_capture.size() / 2);
  std::copy(g_capture.begin(), g_capture.begin() + frames * 2, out);
  g_capture.erase(g_capture.begin(), g_capture.begin() + frames * 2);
  return frames;
}

size_t PlatAudioCaptureAvailable() { return g_capture.size() / 2; }
