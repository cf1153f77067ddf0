// Starting and ending the sound layer; playing, stopping, timing and deleting
// sounds.
#include "core/log.h"
#include "platform/clock.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

namespace {
void ReleaseRecord(SoundRecord* record) {
  if (record->IsStream) {
    ReleaseStreamSound(record);
  } else {
    for (int i = 0; i < SOUND_BUFFER_MAX; ++i) {
      PlatAudioDestroyBuffer(record->Buffers[i]);
      record->Buffers[i] = nullptr;
    }
  }
  if (SoundState.MusicHandle == record->Handle) SoundState.MusicHandle = -1;
  FreeSoundRecord(record);
}

// How long a play of the whole sound lasts, in milliseconds; -1 when the
// length is not known (a stream whose source does not tell it).
int64_t SoundLengthMs(SoundRecord* record) {
  int64_t frames = -1;
  if (record->IsStream) {
    frames = record->Stream.Source->TotalFrames;
    if (frames < 0 && record->Stream.EndAt >= 0) frames = record->Stream.StartFrame + record->Stream.EndAt;
  } else {
    frames = PlatAudioBufferSize(record->Buffers[0]) / record->BlockAlign;
  }
  return frames < 0 ? -1 : frames * 1000 / record->Format.SamplesPerSecond;
}

int PlayWhole(SoundRecord* record, int looping, int fromStart) {
  const int count = record->BufferCount;
  if (!fromStart) {
    for (int i = 0; i < count; ++i)
      if (PlatAudioIsPlaying(record->Buffers[i])) return 0;
    PlatAudioBuffer buffer = record->Buffers[record->Current];
    PlatAudioSetGain(buffer, record->Gain);
    return PlatAudioPlay(buffer, looping);
  }
  // Overlapping plays: the next buffer that is silent, or else the one whose
  // play started longest ago.
  int pick = (record->Current + 1) % count;
  for (int k = 1; k <= count; ++k) {
    int i = (record->Current + k) % count;
    if (!PlatAudioIsPlaying(record->Buffers[i])) {
      pick = i;
      break;
    }
  }
  PlatAudioBuffer buffer = record->Buffers[pick];
  PlatAudioStop(buffer);
  PlatAudioSetPosition(buffer, 0);
  PlatAudioSetGain(buffer, record->Gain);
  record->Current = pick;
  return PlatAudioPlay(buffer, looping);
}
}  // namespace

int InitializeSound() {
  if (SoundState.Initialised) return 0;
  LogWrite("サウンドの初期化... ");
  if (PlatAudioOpen() != 0) {
    LogWrite("サウンドデバイスが使用できません\n");
    return -1;
  }
  ListInit(&SoundState.ListHead, &SoundState.ListTail);
  SoundState.Initialised = 1;
  LogWrite("成功しました\n");
  return 0;
}

int TerminateSound() {
  if (!SoundState.Initialised) return 0;
  StopMusicFileImpl();
  // Newest first, as the list keeps them.
  while (SoundState.ListHead.Next && SoundState.ListHead.Next != &SoundState.ListTail) {
    SoundRecord* record = GetSoundRecord(SoundState.ListHead.Next->Id);
    if (!record) {  // cannot happen while the list and table agree
      ListRemove(SoundState.ListHead.Next);
      continue;
    }
    ReleaseRecord(record);
  }
  PlatAudioClose();
  SoundState.Initialised = 0;
  LogWrite("サウンドの終了... 完了\n");
  return 0;
}

int ProcessAllStreamSounds() {
  if (!SoundState.Initialised || !SoundState.ListHead.Next) return 0;
  for (ListNode* node = SoundState.ListHead.Next; node && node != &SoundState.ListTail; node = node->Next) {
    SoundRecord* record = GetSoundRecord(node->Id);
    if (record && record->IsStream) RefillStreamSound(record);
  }
  return 0;
}

int PlaySoundHandleImpl(int handle, int playType, int fromStart) {
  if (!SoundState.Initialised) return -1;
  SoundRecord* record = GetSoundRecord(handle);
  if (!record) return -1;
  if (playType != SOUND_PLAY_WAIT && playType != SOUND_PLAY_BACKGROUND && playType != SOUND_PLAY_LOOP)
    return LogPrintf("サウンドの再生タイプ %d は不正です", playType);
  const int looping = playType == SOUND_PLAY_LOOP ? 1 : 0;
  int result =
      record->IsStream ? PlayStreamSound(record, looping, fromStart) : PlayWhole(record, looping, fromStart);
  return result != 0 ? -1 : 0;
}

int StopSoundData(int handle) {
  if (!SoundState.Initialised) return -1;
  SoundRecord* record = GetSoundRecord(handle);
  if (!record) return -1;
  if (record->IsStream) return StopStreamSound(record);
  for (int i = 0; i < record->BufferCount; ++i) PlatAudioStop(record->Buffers[i]);
  return 0;
}

int DeleteSoundData(int handle, int /*flag*/) {
  SoundRecord* record = GetSoundRecord(handle);
  if (!record) return -1;
  ReleaseRecord(record);
  return 0;
}

int GetSoundPlayTime(int handle) {
  if (!SoundState.Initialised) return -1;
  SoundRecord* record = GetSoundRecord(handle);
  if (!record) return -1;
  if (record->IsStream) return GetStreamSoundTime(record);
  uint64_t cursor = PlatAudioGetPosition(record->Buffers[record->Current]);
  return int(cursor * 1000 / (uint64_t(record->BlockAlign) * record->Format.SamplesPerSecond));
}

int64_t GetSoundTotalTime(int handle) {
  SoundRecord* record = GetSoundRecord(handle);
  return record ? SoundLengthMs(record) : -1;
}

int CheckSoundPlaying(int handle) {
  if (!SoundState.Initialised) return -1;
  SoundRecord* record = GetSoundRecord(handle);
  if (!record) return -1;
  return IsSoundRecordPlaying(record);
}

int SetSoundGainImpl(int handle, int32_t gain) {
  SoundRecord* record = GetSoundRecord(handle);
  if (!record) return -1;
  record->Gain = gain;
  for (int i = 0; i < record->BufferCount; ++i) PlatAudioSetGain(record->Buffers[i], gain);
  return 0;
}
