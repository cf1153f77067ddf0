// The sound layer's state block, its records and its handle table.
#pragma once
#include <cstdint>

#include "core/handle_table.h"
#include "core/ringbuf.h"
#include "platform/audio.h"
#include "sound/sound_source.h"

constexpr int32_t SOUND_HANDLE_TAG = 0x10000000;
constexpr int SOUND_HANDLE_MAX = 4096;
// Buffers a whole sound may have for overlapping plays of itself.
constexpr int SOUND_BUFFER_MAX = 10;
// Whole sounds bigger than this (decoded PCM) are refused; play them as
// stream sounds instead.
constexpr uint64_t SOUND_WHOLE_MAX_BYTES = 256u << 20;

// How LoadSoundFileImpl keeps a sound: 0 and 1 decode it whole into memory,
// 2 keeps the file's bytes in memory and decodes them while playing, 3
// decodes straight from its own opening of the file while playing.
enum SoundLoadMode {
  SOUND_LOAD_WHOLE = 0,
  SOUND_LOAD_WHOLE_PLUS = 1,
  SOUND_LOAD_MEMORY_STREAM = 2,
  SOUND_LOAD_FILE_STREAM = 3,
};

// A stream sound: a looping ring buffer refilled from the source behind the
// play position. Counters are frames since the last start.
struct SoundStream {
  SoundSource* Source;
  void* FileImage;      // the file's bytes under load mode 2 (tracked)
  uint32_t RingFrames;  // size of the ring
  uint32_t WriteFrame;  // where the next refill goes in the ring
  uint32_t LastCursor;  // ring play position at the last look
  int64_t Written;      // frames written into the ring
  int64_t Played;       // frames played out of it
  int64_t StartFrame;   // source frame that Played 0 stands for
  int64_t EndAt;        // Written at the source's end; -1 before it
  int64_t LoopFrames;   // source length once a loop found it; -1 before
  int32_t Looping;      // 1 when the source starts over at its end
  int32_t Finished;     // 1 once a one-shot play ran out
};

struct SoundRecord {
  int32_t Check;  // the check value of the handle
  int32_t Handle;
  ListNode Node;  // in the sound list, newest first
  PlatAudioFormat Format;
  uint32_t BlockAlign;
  int32_t IsStream;
  int32_t BufferCount;                        // whole sounds: buffers over the data
  int32_t Current;                            // the buffer played last
  PlatAudioBuffer Buffers[SOUND_BUFFER_MAX];  // a stream sound uses [0] as its ring
  int32_t Gain;                               // linear gain, PLAT_AUDIO_UNITY_GAIN is full
  SoundStream Stream;
};

struct SoundStateBlock {
  int32_t Initialised;  // 1 while the output device is open
  // Sound handles; a new sound takes the lowest free slot.
  HandleTable<SoundRecord, SOUND_HANDLE_MAX, SOUND_HANDLE_TAG> Handles;
  ListNode ListHead, ListTail;  // every sound, newest first
  int32_t LoadMode;             // SoundLoadMode for the next load
  // 1 only while a movie loads its sound track; each source opened copies it.
  uint32_t MovieSoundFlag;
  int32_t MusicHandle;  // the sound playing the music, or -1
  int32_t MusicVolume;  // 0 to 255
};

extern SoundStateBlock SoundState;

// The record of a valid sound handle, or null.
SoundRecord* GetSoundRecord(int handle);
// A new record with its handle and list node; null when the table is full
// or memory runs out.
SoundRecord* AddSoundRecord();
// Unlinks the record, frees it and its slot (nothing else of it).
void FreeSoundRecord(SoundRecord* record);

// Stream sounds (sound_stream.cpp).
int CreateStreamSound(SoundRecord* record, SoundSource* source);
int PlayStreamSound(SoundRecord* record, int looping, int fromStart);
int StopStreamSound(SoundRecord* record);
int RefillStreamSound(SoundRecord* record);
int IsStreamSoundPlaying(SoundRecord* record);
// Play position of a stream sound in milliseconds.
int GetStreamSoundTime(SoundRecord* record);
// Releases the ring, the source and the kept file image.
void ReleaseStreamSound(SoundRecord* record);

// Linear gain for a 0 to 255 volume: the volume stands for an attenuation
// of 10·log10(volume / 255) decibels, as the system's volumes always did.
int32_t VolumeToGain(int volume);
// 1 while any buffer of the sound plays.
int IsSoundRecordPlaying(SoundRecord* record);
