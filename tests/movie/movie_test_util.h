// Helpers of the movie tests: clips written into a scratch directory and
// opened through the file layer, the log captured, frames identified.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "clip_maker.h"
#include "core/alloc.h"
#include "core/log.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "file/file_test_util.h"
#include "file/openfile.h"
#include "movie/theora.h"
#include "platform/clock.h"
#include "platform/heap.h"
#include "platform/sysinfo.h"
#include "platform/thread.h"
#include "process_state.h"

namespace movietest {

inline std::string& CapturedLog() {
  static std::string text;
  return text;
}
inline void CaptureLog(const char* text) { CapturedLog() += text; }

// A scratch directory that is also the log's directory; the log's lines are
// collected from its debugger mirror.
class MovieTest : public ::testing::Test {
 public:
  void SetUp() override {
    teststate::ResetProcessState();
    InitYuvToRgbTables();
    StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory,
             Scratch.Path.string().c_str());
    SystemState.Kept.Log = LogSettings{};
    SystemState.Log = LogState{};
    LogFileInit();
    CapturedLog().clear();
    PlatSetDebugSink(CaptureLog);
    BlocksBefore = SystemState.Kept.Alloc.BlockCount;
  }
  void TearDown() override {
    PlatSetDebugSink(nullptr);
    SystemState.Kept.StartupDirectory[0] = '\0';
    PlatHeapFailAfter(-1);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, BlocksBefore) << "tracked blocks left behind";
    teststate::ResetProcessState();
  }

  // Writes the bytes as a file and opens it through the file layer.
  FileHandle WriteAndOpen(const Bytes& bytes, const std::string& name = "clip.ogv") {
    filetest::WriteBytes(Scratch.Path / name, bytes);
    FileHandle h = FileOpenDispatch(name.c_str(), 0, 1, 0);
    EXPECT_NE(h, 0u);
    return h;
  }

  // Opens a clip as the movie layer does (a stock of 10 unless told).
  TheoraPlayer* Open(const Bytes& bytes, int stock = 10) {
    File = WriteAndOpen(bytes);
    return OpenTheoraMovie(&FileAccessTable, File, stock);
  }
  void Close(TheoraPlayer* player) {
    if (player) CloseTheoraMovie(player);
    if (File) FileCloseDispatch(File);
    File = 0;
  }

  filetest::ScratchDir Scratch;
  FileHandle File = 0;
  int BlocksBefore = 0;
};

// The stored slot of the player's current frame, as the main thread finds it
// (null when not stored).
inline const TheoraFrameSlot* CurrentSlot(TheoraPlayer* p) {
  for (int i = 0; i < p->StockSize; ++i) {
    const TheoraFrameSlot& s = p->Stock[i];
    if (s.Used.load(std::memory_order_acquire) == 1 &&
        s.Frame.load(std::memory_order_acquire) == p->CurrentFrame) {
      return &s;
    }
  }
  return nullptr;
}

// The stored luma of the current frame, rows packed, once the update has
// found and converted it; empty when it cannot be had.
inline Bytes ShownLuma(TheoraPlayer* p) {
  p->ImageCurrent = 0;
  if (UpdateTheoraMovieImage(p, 1, 0) != 1) return {};
  const TheoraFrameSlot* s = CurrentSlot(p);
  if (s == nullptr) return {};
  Bytes y(size_t(s->YWidth) * size_t(s->YHeight));
  for (int r = 0; r < s->YHeight; ++r) {
    std::memcpy(y.data() + size_t(r) * size_t(s->YWidth), s->PlaneY + size_t(r) * size_t(s->YStride),
                size_t(s->YWidth));
  }
  return y;
}

// An Ogg page of a well-formed file: where it starts, its header with the
// lacing table, its whole size.
struct PageSpan {
  size_t Start, HeaderLength, Size;
};

// The pages of a file, in order.
inline std::vector<PageSpan> Pages(const Bytes& data) {
  std::vector<PageSpan> pages;
  size_t at = 0;
  while (at + 27 <= data.size()) {
    const size_t segments = data[at + 26];
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += data[at + 27 + i];
    pages.push_back({at, 27 + segments, 27 + segments + body});
    at += 27 + segments + body;
  }
  return pages;
}

// Recomputes the page's checksum over its bytes as they stand.
inline void FixChecksum(Bytes* data, const PageSpan& page) {
  ogg_page og;
  og.header = data->data() + page.Start;
  og.header_len = long(page.HeaderLength);
  og.body = data->data() + page.Start + page.HeaderLength;
  og.body_len = long(page.Size - page.HeaderLength);
  ogg_page_checksum_set(&og);
}

// Polls until done (true) or until the time is up (false).
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 10000) {
  const uint32_t start = PlatGetMilliseconds();
  while (!done()) {
    if (PlatGetMilliseconds() - start > uint32_t(milliseconds)) return false;
    PlatThreadSleep(1);
  }
  return true;
}

// Waits until the decode thread rests with its stock full.
inline bool WaitIdle(TheoraPlayer* p) {
  return WaitFor([p] { return p->ThreadState.load() == THEORA_THREAD_IDLE; });
}

// The frames in the stock.
inline std::set<int> StockFrames(TheoraPlayer* p) {
  std::set<int> frames;
  for (int i = 0; i < p->StockSize; ++i) {
    if (p->Stock[i].Used.load(std::memory_order_acquire) == 1) frames.insert(p->Stock[i].Frame.load());
  }
  return frames;
}

// Equal planes; otherwise the barcodes of both, for the failure message.
inline ::testing::AssertionResult SameFrame(const Bytes& shown, const Bytes& want, int width) {
  if (shown == want) return ::testing::AssertionSuccess();
  if (shown.size() != want.size()) return ::testing::AssertionFailure() << "no frame shown";
  const int height = int(want.size()) / width;
  return ::testing::AssertionFailure() << "shows picture " << ReadBarcode(shown.data(), width, width, height)
                                       << " instead of " << ReadBarcode(want.data(), width, width, height);
}

// A movie file kept with the movie fuzz target's inputs (files that once
// made the library misbehave).
inline Bytes KeptMovieInput(const char* name) {
  std::ifstream in(std::filesystem::path(VX_SOURCE_DIR) / "fuzz" / "regressions" / "movie" / name,
                   std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The barcode as read back from the converted XRGB image (green channel
// tracks luma closely enough with neutral-ish chroma; blocks are far apart).
inline int ImagePicture(const PixelImage& image, int pictureWidth, int pictureHeight) {
  Bytes luma(size_t(pictureWidth) * size_t(pictureHeight));
  for (int r = 0; r < pictureHeight; ++r) {
    for (int c = 0; c < pictureWidth; ++c) {
      const uint8_t* px = image.Pixels + size_t(r) * size_t(image.Pitch) + size_t(c) * 4;
      luma[size_t(r) * size_t(pictureWidth) + size_t(c)] = uint8_t((px[0] + 2 * px[1] + px[2]) / 4);
    }
  }
  return ReadBarcode(luma.data(), pictureWidth, pictureWidth, pictureHeight);
}

}  // namespace movietest
