// The Theora player on a 640 x 480 clip of 120 frames made with the tests'
// clip maker: advancing one frame and converting it, next to a bare libtheora
// loop decoding the same packets; and the YUV-to-RGB conversion of one frame
// next to SDL2's SDL_ConvertPixels (IYUV to ARGB8888) on the same planes;
// and the main thread's cost of one drawn frame of a 640 x 480 movie graph
// (the frame moved on, converted, copied into the graph and drawn) next to
// drawing a still graph of the same size, at 16 and 32 bits. Goal: under
// 3 ms per movie frame.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "clip_maker.h"
#include "core/system_state.h"
#include "file/fileaccess.h"
#include "graphics/draw.h"
#include "graphics/graph.h"
#include "graphics/soft/display.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "platform/clock.h"
#include "vexlo.h"

namespace {

using movietest::Bytes;

constexpr int kWidth = 640, kHeight = 480, kFrames = 120;

const Bytes& ClipBytes() {
  static const Bytes bytes = [] {
    movietest::ClipOptions o;
    o.Width = kWidth;
    o.Height = kHeight;
    o.Pictures = kFrames;
    o.KeyframeInterval = 30;
    o.Quality = 40;
    return movietest::MakeClip(o).Data;
  }();
  return bytes;
}

std::string g_clipPath;  // set once the clip is written

const std::string& ClipPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("vx_bench_movie_" + std::to_string(std::random_device{}()) + ".ogv"))
                              .string();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(ClipBytes().data()), std::streamsize(ClipBytes().size()));
    g_clipPath = p;
    return p;
  }();
  return path;
}

void BM_PlayerAdvanceAndConvert(benchmark::State& state) {
  InitYuvToRgbTables();
  FileHandle file = FileOpenDispatch(ClipPath().c_str(), 0, 1, 0);
  TheoraPlayer* p = file ? OpenTheoraMovie(&FileAccessTable, file, 10) : nullptr;
  if (p == nullptr) {
    state.SkipWithError("the clip does not open");
    return;
  }
  for (auto _ : state) {
    AdvanceTheoraMovie(p, 1);
    benchmark::DoNotOptimize(UpdateTheoraMovieImage(p, 1, 0));
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  CloseTheoraMovie(p);
  FileCloseDispatch(file);
}

// libtheora alone over the same file: 4,096-byte reads through stdio into
// libogg, one packet in and its picture out per iteration, from the start of
// the file again after the last frame.
struct BareReader {
  std::FILE* File = nullptr;
  ogg_sync_state Sync;
  ogg_stream_state Stream;
  ogg_page Page;
  bool HaveStream = false;
  BareReader() {
    File = std::fopen(ClipPath().c_str(), "rb");
    ogg_sync_init(&Sync);
  }
  ~BareReader() {
    if (HaveStream) ogg_stream_clear(&Stream);
    ogg_sync_clear(&Sync);
    if (File) std::fclose(File);
  }
  // The next packet of the first stream; false at the end of the file.
  bool Next(ogg_packet* packet) {
    while (!HaveStream || ogg_stream_packetout(&Stream, packet) != 1) {
      if (ogg_sync_pageout(&Sync, &Page) == 1) {
        if (!HaveStream) {
          ogg_stream_init(&Stream, ogg_page_serialno(&Page));
          HaveStream = true;
        }
        ogg_stream_pagein(&Stream, &Page);
        continue;
      }
      char* buffer = ogg_sync_buffer(&Sync, 4096);
      const size_t got = std::fread(buffer, 1, 4096, File);
      if (got == 0) return false;
      ogg_sync_wrote(&Sync, long(got));
    }
    return true;
  }
  void Rewind() {
    std::fseek(File, 0, SEEK_SET);
    ogg_sync_reset(&Sync);
    ogg_stream_reset(&Stream);
  }
};

void BM_BareLibtheoraDecode(benchmark::State& state) {
  BareReader reader;
  theora_info info;
  theora_comment comment;
  theora_info_init(&info);
  theora_comment_init(&comment);
  ogg_packet packet;
  for (int i = 0; i < 3 && reader.Next(&packet); ++i) theora_decode_header(&info, &comment, &packet);
  theora_state decoder;
  theora_decode_init(&decoder, &info);
  yuv_buffer yuv;
  for (auto _ : state) {
    do {
      if (!reader.Next(&packet)) {
        reader.Rewind();
        reader.Next(&packet);
      }
    } while (theora_packet_iskeyframe(&packet) < 0);
    theora_decode_packetin(&decoder, &packet);
    theora_decode_YUVout(&decoder, &yuv);
    benchmark::DoNotOptimize(yuv.y);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  theora_clear(&decoder);
  theora_comment_clear(&comment);
  theora_info_clear(&info);
}

struct Planes {
  Bytes All;  // Y, then U, then V, each packed (IYUV)
  Planes() : All(size_t(kWidth) * kHeight * 3 / 2) {
    std::mt19937 rng(5);
    for (auto& b : All) b = uint8_t(rng());
  }
  void Fill(TheoraFrameSlot& s) {
    s.PlaneY = All.data();
    s.PlaneU = All.data() + kWidth * kHeight;
    s.PlaneV = All.data() + kWidth * kHeight * 5 / 4;
    s.YWidth = kWidth;
    s.YHeight = kHeight;
    s.YStride = kWidth;
    s.UVWidth = kWidth / 2;
    s.UVHeight = kHeight / 2;
    s.UVStride = kWidth / 2;
  }
};

// Argument: the loop (0 table-driven, 1 SSE2, 2 AVX2, 3 AVX-512).
void BM_ConvertFixedPoint(benchmark::State& state) {
  const auto loop = YuvFixedLoop(state.range(0));
  if (loop > WidestYuvFixedLoop()) {
    state.SkipWithError("the processor lacks this loop");
    return;
  }
  InitYuvToRgbTables();
  Planes planes;
  TheoraFrameSlot slot{};
  planes.Fill(slot);
  std::vector<uint8_t> out(size_t(kWidth) * kHeight * 4);
  for (auto _ : state) {
    ConvertYuvFixedWith(loop, &slot, out.data(), kWidth * 4, kWidth, kHeight);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_SdlConvertPixels(benchmark::State& state) {
  Planes planes;
  std::vector<uint8_t> out(size_t(kWidth) * kHeight * 4);
  for (auto _ : state) {
    SDL_ConvertPixels(kWidth, kHeight, SDL_PIXELFORMAT_IYUV, planes.All.data(), kWidth,
                      SDL_PIXELFORMAT_ARGB8888, out.data(), kWidth * 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

// A clock the benchmark moves one frame (40 ms at 25 frames a second) at a time.
uint32_t g_nowMs = 0;
uint32_t ReadNow() { return g_nowMs; }

bool StartLibrary(int bits, benchmark::State& state) {
  SetLogFileOutput(0);
  SetMainWindowTitle("VexloMovieBench");
  ChangeWindowMode(1);
  SetScreenModeSetting(kWidth, kHeight, bits);
  if (InitLibrary() != 0) {
    state.SkipWithError("the library did not start");
    return false;
  }
  SetDrawTarget(DRAW_TARGET_BACK);
  SystemState.PerfCounterUsable = 0;  // the microsecond counter follows the clock below
  g_nowMs = 1000;
  PlatSetMillisecondHook(ReadNow);
  return true;
}

void StopLibrary() {
  PlatSetMillisecondHook(nullptr);
  EndLibrary();
}

void BM_MovieGraphFrame(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const int graph = LoadImageFile(ClipPath().c_str(), 0);
  const GraphRecord* g = GetGraphRecord(graph);
  if (g == nullptr || StartMoviePlayback(g->Source.Id, 3) != 0) {
    state.SkipWithError("the clip does not open as a graph");
    StopLibrary();
    return;
  }
  for (auto _ : state) {
    g_nowMs += 40;
    benchmark::DoNotOptimize(DrawGraphAt(0, 0, graph, 0));
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  StopLibrary();
}

void BM_StillGraphDraw(benchmark::State& state) {
  if (!StartLibrary(int(state.range(0)), state)) return;
  const int graph = CreateGraphOfSize(kWidth, kHeight, 0, 0, 0);
  for (auto _ : state) benchmark::DoNotOptimize(DrawGraphAt(0, 0, graph, 0));
  state.SetItemsProcessed(int64_t(state.iterations()));
  StopLibrary();
}

BENCHMARK(BM_MovieGraphFrame)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillGraphDraw)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerAdvanceAndConvert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLibtheoraDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertFixedPoint)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlConvertPixels)->Unit(benchmark::kMillisecond);

// Removes the clip written for the run.
struct RemoveClip {
  ~RemoveClip() {
    std::error_code ec;
    if (!g_clipPath.empty()) std::filesystem::remove(g_clipPath, ec);
  }
} g_removeClip;

}  // namespace

BENCHMARK_MAIN();
