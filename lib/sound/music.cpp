// Music: one file at a time, played as a stream sound. MIDI files have no
// sequencer here (the MCI sequencer is a Windows device), so they are
// refused; the MCI and DirectMusic services then have nothing to do.
#include <cstring>

#include "core/log.h"
#include "file/fileaccess.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

namespace {
bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
    if (x != *b) return false;
  }
  return *a == *b;
}

bool HasMidiExtension(const char* path) {
  const char* dot = std::strrchr(path, '.');
  if (!dot) return false;
  return SameIgnoringCase(dot, ".mid") || SameIgnoringCase(dot, ".midi") || SameIgnoringCase(dot, ".rmi");
}

// True when the file opens and starts as a MIDI file.
bool IsMidiFile(const char* path) {
  FileHandle file = FileOpenDispatch(path, 0, 1, 0);
  if (file == INVALID_FILE_HANDLE) return false;
  uint8_t head[12] = {};
  size_t got = FileReadDispatch(head, 1, sizeof(head), file);
  FileCloseDispatch(file);
  return IsMidiHeader(head, uint32_t(got));
}
}  // namespace

int PlayMusicFileImpl(const char* path, int playType) {
  if (!path) return -1;
  StopMusicFileImpl();
  if (HasMidiExtension(path) || IsMidiFile(path))
    return LogPrintf("MIDIファイル %s は演奏できません(MIDIシーケンサがありません)", path);
  if (!SoundState.Initialised) return -1;
  int oldMode = SoundState.LoadMode;
  SoundState.LoadMode = SOUND_LOAD_FILE_STREAM;
  int handle = LoadSoundFileImpl(path, 1, -1);
  SoundState.LoadMode = oldMode;
  if (handle == -1) return LogPrintf("ミュージックファイル %s の読み込みに失敗しました", path);
  SoundState.MusicHandle = handle;
  SetSoundGainImpl(handle, VolumeToGain(SoundState.MusicVolume));
  if (PlaySoundHandleImpl(handle, playType, 1) != 0) {
    DeleteSoundData(handle, 0);
    SoundState.MusicHandle = -1;
    return LogPrintf("ミュージックファイル %s の再生に失敗しました", path);
  }
  return 0;
}

int StopMusicFileImpl() {
  if (SoundState.MusicHandle != -1) DeleteSoundData(SoundState.MusicHandle, 0);
  SoundState.MusicHandle = -1;
  return 0;
}

int SetMusicVolumeImpl(int volume) {
  if (volume < 0) volume = 0;
  if (volume > 255) volume = 255;
  SoundState.MusicVolume = volume;
  if (SoundState.MusicHandle != -1) SetSoundGainImpl(SoundState.MusicHandle, VolumeToGain(volume));
  return 0;
}

int IsMusicFilePlayingImpl() {
  if (SoundState.MusicHandle == -1) return 0;
  return CheckSoundPlaying(SoundState.MusicHandle) == 1 ? 1 : 0;
}

int PollDirectMusicState() { return 0; }

int OnMciNotify(void* /*window*/, uint32_t /*message*/, uintptr_t /*first*/, intptr_t /*second*/) {
  return 0;
}
