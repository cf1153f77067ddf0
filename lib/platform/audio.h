// Audio output: one output device and a mixer of our own.
//
// The sound layer keeps its sounds in audio buffers, each holding PCM data in
// the sound's own format (8-bit unsigned or 16-bit signed, mono or stereo, any
// rate). Playing buffers are mixed together into 16-bit stereo at the output
// rate, with a gain per buffer, linear interpolation between source samples
// and clipping of the sum. A buffer plays once or loops; a looping buffer also
// serves as the ring of a stream sound, which the sound layer refills behind
// the play position.
//
// Back ends: the real device (SDL2), a capture back end that mixes only when
// asked and keeps the mixed samples for tests to read, and "no device", which
// makes opening fail as on a machine without sound.
#pragma once
#include <cstddef>
#include <cstdint>

struct PlatAudioFormat {
  uint32_t SamplesPerSecond;  // 1,000 to 192,000
  uint16_t Channels;          // 1 or 2
  uint16_t BitsPerSample;     // 8 (unsigned) or 16 (signed, little-endian)
};

struct PlatAudioBufferRec;
using PlatAudioBuffer = PlatAudioBufferRec*;

enum PlatAudioBackend {
  PLAT_AUDIO_DEVICE = 0,     // the machine's sound device through SDL2
  PLAT_AUDIO_CAPTURE = 1,    // no device: PlatAudioCaptureAdvance mixes into a store
  PLAT_AUDIO_NO_DEVICE = 2,  // opening fails, as without a sound device
};

// Unity gain of PlatAudioSetGain.
constexpr int32_t PLAT_AUDIO_UNITY_GAIN = 65536;

// Chooses the back end used by the next PlatAudioOpen (test seam; the default
// is the device).
void PlatAudioSelectBackend(PlatAudioBackend backend);
// Names the SDL audio driver the device back end asks for ("dummy", "disk",
// ...); null leaves the choice to SDL and its environment (test seam).
void PlatAudioSetDriver(const char* name);
// Opens the output: 0, or -1 when no output can be had.
int PlatAudioOpen();
// Stops the output and destroys every buffer still alive.
void PlatAudioClose();
// 1 while the output is open.
int PlatAudioIsOpen();
// Output sample rate in frames per second (44,100).
uint32_t PlatAudioOutputRate();

// True when the format is one the mixer plays.
bool PlatAudioFormatValid(const PlatAudioFormat* format);
// A stopped buffer of `bytes` bytes (a whole number of frames) filled with
// silence; null on failure or when the output is not open.
PlatAudioBuffer PlatAudioCreateBuffer(const PlatAudioFormat* format, uint32_t bytes);
// A second buffer over the same data (shared, not copied), stopped, at
// position 0, unity gain: lets one sound play several times at once.
PlatAudioBuffer PlatAudioDuplicateBuffer(PlatAudioBuffer source);
// Stops and destroys a buffer; null is ignored. The data goes when the last
// buffer sharing it goes.
void PlatAudioDestroyBuffer(PlatAudioBuffer buffer);
// Copies bytes into the buffer's data from `offset`, wrapping to the start at
// the end; 0, or -1 when offset or size do not fit the buffer.
int PlatAudioWriteBuffer(PlatAudioBuffer buffer, uint32_t offset, const void* data, uint32_t bytes);
// Fills `bytes` bytes from `offset` (wrapping) with silence; 0 or -1.
int PlatAudioSilenceBuffer(PlatAudioBuffer buffer, uint32_t offset, uint32_t bytes);
// Size in bytes and format of a buffer.
uint32_t PlatAudioBufferSize(PlatAudioBuffer buffer);
PlatAudioFormat PlatAudioBufferFormat(PlatAudioBuffer buffer);

// Starts playing from the present position (looping: wraps at the end and
// keeps playing; otherwise stops at the end and goes back to position 0).
int PlatAudioPlay(PlatAudioBuffer buffer, int looping);
// Stops; the position stays where it is.
int PlatAudioStop(PlatAudioBuffer buffer);
// 1 while playing, else 0.
int PlatAudioIsPlaying(PlatAudioBuffer buffer);
// The play position in bytes from the start of the data (a frame boundary).
uint32_t PlatAudioGetPosition(PlatAudioBuffer buffer);
// Moves the play position (rounded down to a frame; past the end it becomes 0).
int PlatAudioSetPosition(PlatAudioBuffer buffer, uint32_t bytes);
// Linear gain: 0 silent to PLAT_AUDIO_UNITY_GAIN (values are clamped).
int PlatAudioSetGain(PlatAudioBuffer buffer, int32_t gain);

// Mixes `frames` frames of every playing buffer into out (interleaved 16-bit
// stereo) and advances them. The device does this on its own thread; the
// capture back end through PlatAudioCaptureAdvance; benchmarks may call it.
void PlatAudioMix(int16_t* out, uint32_t frames);

// Capture back end: mixes `frames` frames now and keeps them; returns the
// frames mixed (0 unless the capture back end is open).
uint32_t PlatAudioCaptureAdvance(uint32_t frames);
// Moves up to maxFrames kept frames (interleaved stereo) into out, oldest
// first; returns the frames moved.
size_t PlatAudioCaptureTake(int16_t* out, size_t maxFrames);
// Frames kept and not yet taken.
size_t PlatAudioCaptureAvailable();
