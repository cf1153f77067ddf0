// The Theora player's open, index and close: the header search over libogg,
// one scan of the whole file that records where each run of frames starts and
// which frames are keyframes, and the teardown that tolerates every stage of a
// failed open.
#include <algorithm>
#include <cstring>
#include <new>

#include "core/alloc.h"
#include "core/exit_stop.h"
#include "core/log.h"
#include "file/winfile.h"
#include "movie/theora.h"

namespace {
const char* const kMsgPlayerMemory = "Theora ムービーデコード処理用のメモリ確保に失敗しました\n";
const char* const kMsgThread = "Theora ムービーデコード用スレッドの作成に失敗しました\n";
const char* const kMsgPageIndex = "Theora ページ情報格納用メモリの確保に失敗しました\n";
const char* const kMsgKeyframes = "Theora キーフレーム情報格納用メモリの確保に失敗しました\n";
const char* const kMsgImage = "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n";
const char* const kMsgStock = "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n";
const char* const kMsgFrameTooLarge = "Theora ムービーのフレームサイズ %u x %u は大きすぎます";

// Set by ReadTheoraData when libogg could not grow its buffer; only the open
// looks at it (the thread takes such a read as the end of the file).
thread_local bool t_syncBufferFailed = false;

// Grows a tracked array by THEORA_INDEX_STEP elements; false when refused
// (the old block then stays).
template <typename T, typename Room>
bool GrowIndex(T** array, Room* room) {
  const int64_t newRoom = int64_t(*room) + THEORA_INDEX_STEP;
  if (newRoom > int64_t(INT32_MAX)) return false;
  void* grown = TrackedRealloc(*array, size_t(newRoom) * sizeof(T), "", 0);
  if (grown == nullptr) return false;
  *array = static_cast<T*>(grown);
  *room = Room(newRoom);
  return true;
}

// Ends the decode thread (joined); the player stays whole for a later close.
void StopDecodeThread(TheoraPlayer* p) {
  if (p->Thread == nullptr) return;
  p->ExitRequest = 1;
  PlatJoinThread(p->Thread);  // returns once the thread has published its end and left
  p->Thread = nullptr;
}

// Decode threads still running when the process exits.
using LiveDecodeThreads = ExitStopRegistry<TheoraPlayer, StopDecodeThread>;

// The caller's stock size, lowered so that the stored planes stay within
// the budget; at least one slot, or the thread would rest with nothing stored.
int StockSlots(const theora_info& info, int asked) {
  const int64_t frameBytes = TheoraFramePlaneBytes(info.width, info.height, info.pixelformat);
  const int64_t fits = THEORA_STOCK_BUDGET / (frameBytes > 0 ? frameBytes : 1);
  return int(std::max<int64_t>(1, std::min<int64_t>(asked, fits)));
}

TheoraPlayer* FailOpen(TheoraPlayer* player, const char* message) {
  if (message) LogWrite(message);
  CloseTheoraMovie(player);
  return nullptr;
}

// Brings in the next page of the file and hands it to Stream; false at the
// end of the file. Its start and size are added to the running offset.
bool NextIndexedPage(TheoraPlayer* p, uint64_t* running, uint64_t* pageStart) {
  for (;;) {
    if (ogg_sync_pageout(&p->Sync, &p->Page) > 0) {
      *pageStart = *running;
      *running += uint64_t(p->Page.header_len) + uint64_t(p->Page.body_len);
      ogg_stream_pagein(&p->Stream, &p->Page);
      return true;
    }
    if (ReadTheoraData(p, THEORA_READ_BLOCK) == 0) return false;
  }
}

// Scans the whole file once, classifying packets without decoding them.
// nullptr when done, else the log line of the allocation that failed.
const char* IndexTheoraFile(TheoraPlayer* p) {
  uint64_t running = 0, pageStart = 0;
  bool newPage = false;
  for (;;) {
    while (ogg_stream_packetout(&p->Stream, &p->Packet) != 1) {
      if (!NextIndexedPage(p, &running, &pageStart)) return nullptr;
      newPage = true;
    }
    const int key = theora_packet_iskeyframe(&p->Packet);
    if (key < 0) continue;  // a header packet
    if (newPage) {
      if (p->PageCount == p->PageRoom && !GrowIndex(&p->PageIndex, &p->PageRoom)) return kMsgPageIndex;
      TheoraPageEntry& e = p->PageIndex[p->PageCount++];
      e.Offset = uint32_t(pageStart);
      e.FirstFrame = int32_t(p->FrameCount);
      e.HasKeyframe = 0;
      e.PacketCount = 0;
      newPage = false;
    }
    if (p->FrameCount == p->KeyframeRoom && !GrowIndex(&p->KeyframeTable, &p->KeyframeRoom))
      return kMsgKeyframes;
    TheoraPageEntry& last = p->PageIndex[p->PageCount - 1];
    if (key == 1) last.HasKeyframe = 1;
    p->KeyframeTable[p->FrameCount] = key == 1 ? 1 : 0;
    ++p->FrameCount;
    ++last.PacketCount;
  }
}
}  // namespace

int ReadTheoraData(TheoraPlayer* player, int size) {
  char* buffer = ogg_sync_buffer(&player->Sync, size);
  if (buffer == nullptr) {
    t_syncBufferFailed = true;
    return 0;
  }
  const size_t got = player->Files.Read(buffer, 1, size_t(size), player->File);
  ogg_sync_wrote(&player->Sync, long(got));
  return int(got);
}

int ReadTheoraHeaders(TheoraPlayer* p) {
  // Beginning-of-stream pages: each is tried as the first Theora header.
  bool found = false, done = false;
  while (!done) {
    if (ReadTheoraData(p, THEORA_READ_BLOCK) == 0) break;
    while (!done && ogg_sync_pageout(&p->Sync, &p->Page) == 1) {
      if (!ogg_page_bos(&p->Page)) {
        if (found) ogg_stream_pagein(&p->Stream, &p->Page);
        done = true;
        break;
      }
      ogg_stream_state test;
      ogg_stream_init(&test, ogg_page_serialno(&p->Page));
      ogg_stream_pagein(&test, &p->Page);
      // A beginning page that yields no packet is not Theora either.
      if (ogg_stream_packetout(&test, &p->Packet) == 1 &&
          theora_decode_header(&p->Info, &p->Comment, &p->Packet) == 0) {
        p->Stream = test;
        p->StreamReady = 1;
        p->HeaderCount = 1;
        found = done = true;
      } else {
        ogg_stream_clear(&test);
      }
    }
  }
  // The other two headers; one more page is brought in after the third.
  while (p->HeaderCount < 3) {
    while (found && p->HeaderCount < 3) {
      const int r = ogg_stream_packetout(&p->Stream, &p->Packet);
      if (r == 0) break;
      if (r < 0) return -1;
      if (theora_decode_header(&p->Info, &p->Comment, &p->Packet) != 0) return -1;
      ++p->HeaderCount;
    }
    if (ogg_sync_pageout(&p->Sync, &p->Page) > 0) {
      if (found) ogg_stream_pagein(&p->Stream, &p->Page);
    } else if (ReadTheoraData(p, THEORA_READ_BLOCK) == 0) {
      return -1;  // end of file while searching for codec headers
    }
  }
  return 1;
}

TheoraPlayer* OpenTheoraMovie(const FileAccessTableRec* files, FileHandle file, int stockSize) {
  char magic[4] = {};
  if (files->Read(magic, 1, 4, file) != 4 || std::memcmp(magic, "OggS", 4) != 0) return nullptr;
  files->Seek(file, 0, 0);

  void* block = TrackedAllocZeroed(sizeof(TheoraPlayer), "", 0);
  if (block == nullptr) {
    LogWrite(kMsgPlayerMemory);
    return nullptr;
  }
  TheoraPlayer* p = new (block) TheoraPlayer();
  p->CurrentFrame = -1;
  p->HeaderCount = 0;
  ogg_sync_init(&p->Sync);
  theora_info_init(&p->Info);
  theora_comment_init(&p->Comment);
  p->Files = *files;
  p->File = file;

  t_syncBufferFailed = false;
  if (ReadTheoraHeaders(p) != 1) return FailOpen(p, t_syncBufferFailed ? kMsgPlayerMemory : nullptr);
  if (p->Info.width == 0 || p->Info.height == 0) return FailOpen(p, nullptr);
  if (!TheoraFrameWithinCaps(p->Info.width, p->Info.height, p->Info.pixelformat)) {
    LogPrintf(kMsgFrameTooLarge, p->Info.width, p->Info.height);
    return FailOpen(p, nullptr);
  }

  p->PauseRequest = 1;
  p->ThreadState = THEORA_THREAD_IDLE;
  p->Thread = PlatCreateThread(TheoraDecodeThread, p);
  if (p->Thread == nullptr) return FailOpen(p, kMsgThread);
  // The thread reads the movie through the file layer, whose threads (an
  // archive's) must therefore be stopped after it at exit.
  WinFileArmExitStop();
  LiveDecodeThreads::Add(p);

  ogg_sync_reset(&p->Sync);
  ogg_stream_reset(&p->Stream);
  p->Files.Seek(p->File, 0, 0);

  p->PageIndex =
      static_cast<TheoraPageEntry*>(TrackedAlloc(THEORA_INDEX_STEP * sizeof(TheoraPageEntry), "", 0));
  if (p->PageIndex == nullptr) return FailOpen(p, kMsgPageIndex);
  p->PageRoom = THEORA_INDEX_STEP;
  p->PageCount = 0;
  p->KeyframeTable = static_cast<uint8_t*>(TrackedAlloc(THEORA_INDEX_STEP, "", 0));
  if (p->KeyframeTable == nullptr) return FailOpen(p, kMsgKeyframes);
  p->KeyframeRoom = THEORA_INDEX_STEP;
  p->FrameCount = 0;

  if (const char* failure = IndexTheoraFile(p)) return FailOpen(p, failure);
  if (t_syncBufferFailed) return FailOpen(p, kMsgPlayerMemory);
  if (p->PageCount > 0) p->PageIndex[0].Offset = 0;

  // (The thread stays paused until the first seek below.) A decoder that
  // could not be made would be used through a null pointer.
  if (theora_decode_init(&p->Decoder, &p->Info) != 0) return FailOpen(p, nullptr);
  p->DecoderReady = 1;

  CreateTheoraOverlaySurface(p);

  if (MakeXRGB8PixelImageImpl(int(p->Info.width), int(p->Info.height), &p->Image) == -1) {
    return FailOpen(p, kMsgImage);
  }
  // A stream without data packets never converts a frame: show black.
  std::memset(p->Image.Pixels, 0, size_t(p->Image.Pitch) * size_t(p->Image.Height));

  p->StockSize = StockSlots(p->Info, stockSize);
  void* stock = TrackedAllocZeroed(size_t(p->StockSize) * sizeof(TheoraFrameSlot), "", 0);
  if (stock == nullptr) {
    p->StockSize = 0;
    return FailOpen(p, kMsgStock);
  }
  p->Stock = static_cast<TheoraFrameSlot*>(stock);
  for (int i = 0; i < p->StockSize; ++i) new (&p->Stock[i]) TheoraFrameSlot();

  SeekTheoraMovie(p, 0);
  UpdateTheoraMovieImage(p, 1, 1);
  return p;
}

int CloseTheoraMovie(TheoraPlayer* p) {
  LiveDecodeThreads::Remove(p);
  StopDecodeThread(p);
  if (p->Stock != nullptr) {
    for (int i = 0; i < p->StockSize; ++i) {
      TheoraFrameSlot& slot = p->Stock[i];
      TrackedFree(slot.PlaneY);
      TrackedFree(slot.PlaneU);
      TrackedFree(slot.PlaneV);
      slot.PlaneY = slot.PlaneU = slot.PlaneV = nullptr;
    }
    TrackedFree(p->Stock);
    p->Stock = nullptr;
  }
  p->Overlay = nullptr;  // never made in software drawing
  TrackedFree(p->PageIndex);
  p->PageIndex = nullptr;
  TrackedFree(p->KeyframeTable);
  p->KeyframeTable = nullptr;
  ReleasePixelImageImpl(&p->Image);
  ogg_stream_clear(&p->Stream);
  theora_clear(&p->Decoder);
  theora_comment_clear(&p->Comment);
  theora_info_clear(&p->Info);
  ogg_sync_clear(&p->Sync);
  p->~TheoraPlayer();
  TrackedFree(p);
  return 0;
}

PixelImage* GetTheoraMovieImage(TheoraPlayer* player) { return &player->Image; }
void* GetTheoraOverlaySurface(TheoraPlayer* player) { return player->Overlay; }

int GetTheoraMovieInfo(TheoraPlayer* player, TheoraMovieInfo* info) {
  info->FramesPerSecond =
      double(uint32_t(player->Info.fps_numerator)) / double(uint32_t(player->Info.fps_denominator));
  info->FrameCount = int32_t(player->FrameCount);
  info->Width = int32_t(player->Info.width);
  info->Height = int32_t(player->Info.height);
  return 0;
}

int GetTheoraMovieFrame(TheoraPlayer* player) { return player->CurrentFrame.load(); }
