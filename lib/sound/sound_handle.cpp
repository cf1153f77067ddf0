#include <cmath>

#include "core/alloc.h"
#include "core/log.h"
#include "sound/sound_state.h"

SoundStateBlock SoundState = [] {
  SoundStateBlock s{};
  s.MusicHandle = -1;
  s.MusicVolume = 255;
  return s;
}();

SoundRecord* GetSoundRecord(int handle) {
  if (handle < 0 || (handle & HANDLE_TAG_MASK) != SOUND_HANDLE_TAG) return nullptr;
  int slot = handle & HANDLE_SLOT_MASK;
  if (slot >= SOUND_HANDLE_MAX) return nullptr;
  SoundRecord* record = SoundState.Records[slot];
  if (!record || record->Check != ((handle & HANDLE_CHECK_MASK) >> 16)) return nullptr;
  return record;
}

SoundRecord* AddSoundRecord() {
  if (SoundState.Count >= SOUND_HANDLE_MAX) {
    LogPrintf("サウンドハンドルが足りません(最大 %d 個)", SOUND_HANDLE_MAX);
    return nullptr;
  }
  int slot = 0;
  while (slot < SOUND_HANDLE_MAX && SoundState.Records[slot]) ++slot;
  auto* record = static_cast<SoundRecord*>(TrackedAllocZeroed(sizeof(SoundRecord), "", 0));
  if (!record) {
    LogPrintf("サウンドデータ用のメモリの確保に失敗しました");
    return nullptr;
  }
  if (SoundState.ListHead.Next == nullptr) ListInit(&SoundState.ListHead, &SoundState.ListTail);
  record->Check = SoundState.CheckCounter;
  SoundState.CheckCounter = (SoundState.CheckCounter + 1) & 0x7FF;
  record->Handle = SOUND_HANDLE_TAG | (record->Check << 16) | slot;
  record->Gain = PLAT_AUDIO_UNITY_GAIN;
  record->Stream.EndAt = -1;
  record->Stream.LoopFrames = -1;
  SoundState.Records[slot] = record;
  SoundState.Count++;
  if (slot + 1 > SoundState.EndMark) SoundState.EndMark = slot + 1;
  ListInsertAfter(&SoundState.ListHead, &record->Node, record->Handle, 0);
  return record;
}

void FreeSoundRecord(SoundRecord* record) {
  int slot = record->Handle & HANDLE_SLOT_MASK;
  ListRemove(&record->Node);
  SoundState.Records[slot] = nullptr;
  SoundState.Count--;
  while (SoundState.EndMark > 0 && !SoundState.Records[SoundState.EndMark - 1]) SoundState.EndMark--;
  TrackedFree(record);
}

int32_t VolumeToGain(int volume) {
  if (volume <= 0) return 0;
  if (volume >= 255) return PLAT_AUDIO_UNITY_GAIN;
  // 10·log10(v/255) dB of attenuation is an amplitude of sqrt(v/255).
  return int32_t(std::lround(std::sqrt(volume / 255.0) * PLAT_AUDIO_UNITY_GAIN));
}

int IsSoundRecordPlaying(SoundRecord* record) {
  if (record->IsStream) return IsStreamSoundPlaying(record);
  for (int i = 0; i < record->BufferCount; ++i)
    if (PlatAudioIsPlaying(record->Buffers[i])) return 1;
  return 0;
}
