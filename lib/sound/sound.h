// Sound and music: the sound layer's entry points for the rest of the library.
//
// Sounds are handles over records; each whole sound is one or more output
// buffers over its decoded data, each stream sound a ring refilled from its
// source on every pump. Without an output device every call answers as for
// a missing device: loads and plays give -1.
#pragma once
#include <cstdint>

// Opens the output device; -1 when there is none (start-up goes on).
int InitializeSound();
// Deletes every sound and the music and closes the output device. 0.
int TerminateSound();
// Refills the ring of every stream sound (every pump and inactive pass). 0.
int ProcessAllStreamSounds();
// MIDI music has no sequencer here, so nothing ever plays to be polled. 0.
int PollDirectMusicState();
// MM_MCINOTIFY: no MCI device is ever opened here; 0.
int OnMciNotify(void* window, uint32_t message, uintptr_t first, intptr_t second);

// (path, buffer count, partner stream handle or -1) → sound handle or -1.
int LoadSoundFileImpl(const char* path, int bufferCount, int partner);
// (handle, play type 0 wait / 1 background / 3 loop, from-start flag) → 0/-1.
// Type 0 starts the play as type 1 does; the library's entry then waits for
// its end, keeping the window serviced.
int PlaySoundHandleImpl(int handle, int playType, int fromStart);
int StopSoundData(int handle);
int DeleteSoundData(int handle, int flag);
// Play position in milliseconds, or -1.
int GetSoundPlayTime(int handle);
// How long a play of the whole sound lasts in milliseconds; -1 when that is
// not known (a stream whose source does not tell it) or the handle is invalid.
int64_t GetSoundTotalTime(int handle);
// 1 while the sound plays, 0 when not, -1 for an invalid handle.
int CheckSoundPlaying(int handle);
// Linear gain of every buffer of the sound (PLAT_AUDIO_UNITY_GAIN is full).
int SetSoundGainImpl(int handle, int32_t gain);
int GetSoundLoadMode();
int SetSoundLoadMode(int mode);

int PlayMusicFileImpl(const char* path, int playType);
int StopMusicFileImpl();
int SetMusicVolumeImpl(int volume);
int IsMusicFilePlayingImpl();

// Play types.
constexpr int SOUND_PLAY_WAIT = 0;
constexpr int SOUND_PLAY_BACKGROUND = 1;
constexpr int SOUND_PLAY_LOOP = 3;
