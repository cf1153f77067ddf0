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

SoundRecord* GetSoundRecord(int handle) { return SoundState.Handles.Get(handle); }

SoundRecord* AddSoundRecord() {
  if (SoundState.Handles.Full()) {
    LogPrintf("サウンドハンドルが足りません(最大 %d 個)", SOUND_HANDLE_MAX);
    return nullptr;
  }
  const int slot = SoundState.Handles.LowestFreeSlot();
  auto* record = static_cast<SoundRecord*>(TrackedAllocZeroed(sizeof(SoundRecord), "", 0));
  if (!record) {
    LogPrintf("サウンドデータ用のメモリの確保に失敗しました");
    return nullptr;
  }
  if (SoundState.ListHead.Next == nullptr) ListInit(&SoundState.ListHead, &SoundState.ListTail);
  record->Gain = PLAT_AUDIO_UNITY_GAIN;
  record->Stream.EndAt = -1;
  record->Stream.LoopFrames = -1;
  record->Handle = SoundState.Handles.Add(slot, record);
  ListInsertAfter(&SoundState.ListHead, &record->Node, record->Handle, 0);
  return record;
}

void FreeSoundRecord(SoundRecord* record) {
  ListRemove(&record->Node);
  SoundState.Handles.Remove(SoundState.Handles.SlotOf(record->Handle));
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
