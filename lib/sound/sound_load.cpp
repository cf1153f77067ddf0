// Loading sounds: a file through the file-access layer becomes a whole sound
// (decoded once into its buffers) or a stream sound, by the load mode.
#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "file/fileaccess.h"
#include "file/stream.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

namespace {
// Decodes the whole source into one tracked block; its size in *bytes.
uint8_t* DecodeWhole(SoundSource* source, uint64_t* bytes) {
  const uint32_t align = source->BlockAlign;
  uint64_t capacity = 65536;
  if (source->Kind == SOUND_SOURCE_PCM) capacity = uint64_t(source->TotalFrames) * align;
  if (capacity == 0) capacity = align;
  if (capacity > SOUND_WHOLE_MAX_BYTES) {
    LogPrintf("サウンドデータが大きすぎます(%llu byte)", static_cast<unsigned long long>(capacity));
    return nullptr;
  }
  auto* data = static_cast<uint8_t*>(TrackedAlloc(size_t(capacity), "", 0));
  if (!data) return LogPrintf("サウンドデータ用のメモリの確保に失敗しました"), nullptr;
  uint64_t used = 0;
  for (;;) {
    if (used == capacity) {
      if (capacity >= SOUND_WHOLE_MAX_BYTES) {
        TrackedFree(data);
        LogPrintf("サウンドデータが大きすぎます");
        return nullptr;
      }
      uint64_t grown = capacity * 2 > SOUND_WHOLE_MAX_BYTES ? SOUND_WHOLE_MAX_BYTES : capacity * 2;
      grown -= grown % align;
      auto* bigger = static_cast<uint8_t*>(TrackedRealloc(data, size_t(grown), "", 0));
      if (!bigger) {
        TrackedFree(data);
        LogPrintf("サウンドデータ用のメモリの確保に失敗しました");
        return nullptr;
      }
      data = bigger;
      capacity = grown;
    }
    uint64_t room = capacity - used;
    uint32_t ask = room > (1u << 20) ? (1u << 20) : uint32_t(room);
    int64_t got = SoundSourceRead(source, data + used, ask);
    if (got < 0) {
      TrackedFree(data);
      LogPrintf("サウンドデータのデコードに失敗しました");
      return nullptr;
    }
    if (got == 0) break;
    used += uint64_t(got);
  }
  if (used == 0) {
    TrackedFree(data);
    LogPrintf("サウンドデータが空です");
    return nullptr;
  }
  *bytes = used;
  return data;
}

void DestroyBuffers(SoundRecord* record) {
  for (int i = 0; i < SOUND_BUFFER_MAX; ++i) {
    PlatAudioDestroyBuffer(record->Buffers[i]);
    record->Buffers[i] = nullptr;
  }
  record->BufferCount = 0;
}

// Fills a new record with `count` buffers over the whole decoded sound.
int LoadWhole(SoundRecord* record, SoundSource* source, int count) {
  uint64_t bytes = 0;
  uint8_t* data = DecodeWhole(source, &bytes);
  if (!data) return -1;
  record->Format = source->Format;
  record->BlockAlign = source->BlockAlign;
  record->Buffers[0] = PlatAudioCreateBuffer(&source->Format, uint32_t(bytes));
  int result = record->Buffers[0] ? PlatAudioWriteBuffer(record->Buffers[0], 0, data, uint32_t(bytes)) : -1;
  TrackedFree(data);
  record->BufferCount = record->Buffers[0] ? 1 : 0;
  for (int i = 1; result == 0 && i < count; ++i) {
    record->Buffers[i] = PlatAudioDuplicateBuffer(record->Buffers[0]);
    if (!record->Buffers[i]) result = -1;
    record->BufferCount = i + 1;
  }
  if (result != 0) {
    DestroyBuffers(record);
    return LogPrintf("サウンドバッファの作成に失敗しました");
  }
  record->Current = count - 1;  // so that the first play takes buffer 0
  return 0;
}

// Reads the whole file into a tracked block (load mode 2).
void* ReadFileImage(const StreamData* stream, size_t* size) {
  int64_t length = StreamLength(stream);
  if (length <= 0 || uint64_t(length) > SOUND_WHOLE_MAX_BYTES) return nullptr;
  void* image = TrackedAlloc(size_t(length), "", 0);
  if (!image) return nullptr;
  if (StreamReadExact(stream, image, uint64_t(length)) != 0) {
    TrackedFree(image);
    return nullptr;
  }
  *size = size_t(length);
  return image;
}
}  // namespace

int LoadSoundFileImpl(const char* path, int bufferCount, int /*partner*/) {
  if (!SoundState.Initialised) return -1;
  if (!path) return LogPrintf("サウンドファイル名がありません");
  if (bufferCount < 1) bufferCount = 1;
  if (bufferCount > SOUND_BUFFER_MAX) bufferCount = SOUND_BUFFER_MAX;
  FileHandle file = FileOpenDispatch(path, 0, 1, 0);
  if (file == INVALID_FILE_HANDLE) return LogPrintf("サウンドファイル %s が開けませんでした", path);
  StreamData stream = MakeFileStreamData(file);
  const int mode = SoundState.LoadMode;
  void* image = nullptr;
  if (mode == SOUND_LOAD_MEMORY_STREAM) {
    size_t size = 0;
    image = ReadFileImage(&stream, &size);
    stream.Functions.Close(stream.DataHandle);
    MemoryStream* memory = image ? OpenMemoryStream(image, size) : nullptr;
    if (!memory) {
      TrackedFree(image);
      return LogPrintf("サウンドファイル %s をメモリに読み込めませんでした", path);
    }
    stream = MakeMemoryStreamData(memory);
  }
  SoundSource* source = OpenSoundSource(&stream);
  if (!source) {
    stream.Functions.Close(stream.DataHandle);
    TrackedFree(image);
    return LogPrintf("サウンドファイル %s の読み込みに失敗しました", path);
  }
  SoundRecord* record = AddSoundRecord();
  if (!record) {
    CloseSoundSource(source);
    TrackedFree(image);
    return -1;
  }
  int result;
  if (mode >= SOUND_LOAD_MEMORY_STREAM) {
    record->Stream.FileImage = image;
    result = CreateStreamSound(record, source);
    if (result != 0) ReleaseStreamSound(record);
  } else {
    result = LoadWhole(record, source, bufferCount);
    CloseSoundSource(source);
  }
  if (result != 0) {
    FreeSoundRecord(record);
    return LogPrintf("サウンドファイル %s の読み込みに失敗しました", path);
  }
  return record->Handle;
}

int GetSoundLoadMode() { return SoundState.LoadMode; }

int SetSoundLoadMode(int mode) {
  if (mode < SOUND_LOAD_WHOLE || mode > SOUND_LOAD_FILE_STREAM) return -1;
  SoundState.LoadMode = mode;
  return 0;
}
