// Sound sources: a file's sound read as PCM frames, whatever its format.
//
// A source reads through a StreamData (plain files and archive members alike)
// and gives 8- or 16-bit PCM in the format it reports: PCM WAV as stored,
// MPEG audio (MP3 files and MPEG WAV files) and Ogg Vorbis decoded to 16-bit.
// Every failure leaves nothing allocated; the stream itself stays with the
// caller until the source is opened, and is closed with the source after.
#pragma once
#include <cstdint>

#include "file/stream.h"
#include "platform/audio.h"

enum SoundSourceKind {
  SOUND_SOURCE_PCM = 1,     // PCM WAV: frames copied from the data chunk
  SOUND_SOURCE_MPEG = 2,    // MPEG audio through libmpg123
  SOUND_SOURCE_VORBIS = 3,  // Ogg Vorbis through vorbisfile
};

// Where the sound data of a file lies, as the container says.
struct SoundDataWindow {
  uint64_t Offset;  // first byte of the sound data in the stream
  uint64_t Length;  // bytes of sound data
};

struct SoundSource {
  int32_t Kind;             // SoundSourceKind
  StreamData Stream;        // owned once the source is open
  PlatAudioFormat Format;   // what SoundSourceRead gives
  uint32_t BlockAlign;      // bytes per frame of Format
  int64_t TotalFrames;      // frames in the sound; -1 while unknown
  int64_t PositionFrames;   // next frame SoundSourceRead gives
  SoundDataWindow Data;     // the sound data in the stream
  void* Decoder;            // the decoder's own state (MPEG, Vorbis)
  uint32_t MovieSoundFlag;  // copied from the sound layer at opening
};

// Opens a source over the stream. On success the source owns the stream and
// returns a record from the tracked allocator; on failure returns null, logs
// why, and leaves the stream open for the caller to close.
SoundSource* OpenSoundSource(const StreamData* stream);
// Reads up to `bytes` bytes of whole frames; returns bytes read, 0 at the
// end, -1 on a decoding failure.
int64_t SoundSourceRead(SoundSource* source, void* buffer, uint32_t bytes);
// Moves to a frame (0 is the start); 0 or -1.
int SoundSourceSeek(SoundSource* source, int64_t frame);
// Releases the decoder, closes the stream and frees the record; null ignored.
void CloseSoundSource(SoundSource* source);

// True when the first bytes are a standard MIDI file.
bool IsMidiHeader(const uint8_t* bytes, uint32_t size);

// Format back ends (sound_source.cpp picks one by the first bytes).
// Each fills the source's Format, BlockAlign, TotalFrames and Decoder, or
// returns -1 with nothing allocated.
int OpenWaveSource(SoundSource* source);
int OpenMpegSource(SoundSource* source);
int OpenVorbisSource(SoundSource* source);
int64_t MpegSourceRead(SoundSource* source, void* buffer, uint32_t bytes);
int MpegSourceSeek(SoundSource* source, int64_t frame);
void MpegSourceClose(SoundSource* source);
int64_t VorbisSourceRead(SoundSource* source, void* buffer, uint32_t bytes);
int VorbisSourceSeek(SoundSource* source, int64_t frame);
void VorbisSourceClose(SoundSource* source);

// Reads the setup header of every Vorbis stream of an Ogg file and refuses
// (-1) one that the Vorbis decoder cannot be trusted with; leaves the stream
// at its start.
int CheckVorbisSetupHeaders(const StreamData* stream);

// Reads exactly `size` bytes at the stream's position: 0, or -1 when fewer
// are there.
int StreamReadExact(const StreamData* stream, void* buffer, uint64_t size);
// The stream's length in bytes, or -1 (the position is left at the start).
int64_t StreamLength(const StreamData* stream);
