// Text drawing per frame, warm glyph cache. Goal: the play screen's texts
// (two panels, the timer and a clear message at 40 px) under 0.5 ms a frame.
// Anchor: filling the 640 x 480 screen once, the cheapest whole-frame step.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "font/font.h"
#include "font/font_state.h"
#include "font/text_draw.h"

namespace {

struct Screen {
  std::vector<uint8_t> Pixels = std::vector<uint8_t>(640 * 480 * 4, 0);
  TextDrawTarget Target{Pixels.data(), 640 * 4, 640, 480, TEXT_PIXEL_XRGB8888, 0, 0, 640, 480, 0, 0};
};

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kRed = 0xFFFF0000, kCyan = 0xFF64FFFF;

void DrawPlayTexts(Screen& s, int frame) {
  const TextDrawTarget* t = &s.Target;
  // The two panels.
  DrawDefaultFontStringTo(t, 238, 180, " SCORE:12", kWhite, 0);
  DrawDefaultFontStringTo(t, 238, 200, "DAMAGE:3", kRed, 0);
  DrawDefaultFontStringTo(t, 328, 180, " SCORE:7", kWhite, 0);
  DrawDefaultFontStringTo(t, 328, 200, "DAMAGE:0", kWhite, 0);
  // The timer, shadow first.
  char timer[16];
  std::snprintf(timer, sizeof timer, "%d", 10000 - frame % 10000);
  DrawDefaultFontStringTo(t, 306, 22, timer, kBlack, 0);
  DrawDefaultFontStringTo(t, 304, 20, timer, kWhite, 0);
  // A four-row clear message at 40 px.
  SetDefaultFontSizeImpl(40);
  DrawDefaultFontStringTo(t, 46, 181, "四段消し！", kBlack, 0);
  DrawDefaultFontStringTo(t, 45, 180, "四段消し！", kCyan, 0);
  SetDefaultFontSizeImpl(16);
}

void BM_PlayScreenTexts(benchmark::State& state) {
  if (InitializeFontSystem() != 0) {
    state.SkipWithError("no Japanese gothic face installed");
    return;
  }
  Screen s;
  DrawPlayTexts(s, 0);  // warm the caches
  for (int digit = 0; digit < 10; ++digit) {
    char d[2] = {static_cast<char>('0' + digit), 0};
    DrawDefaultFontStringTo(&s.Target, 0, 0, d, kWhite, 0);
  }
  int frame = 0;
  for (auto _ : state) {
    DrawPlayTexts(s, frame++);
    benchmark::DoNotOptimize(s.Pixels.data());
  }
  TerminateFontSystem();
}
BENCHMARK(BM_PlayScreenTexts)->Unit(benchmark::kMicrosecond);

void BM_TitleTextWithEdge(benchmark::State& state) {
  if (InitializeFontSystem() != 0) {
    state.SkipWithError("no Japanese gothic face installed");
    return;
  }
  Screen s;
  for (auto _ : state) {
    DrawDefaultFontStringTo(&s.Target, 500, 192, "１ＰvsＣＰ", kBlack, kWhite);
    DrawDefaultFontStringTo(&s.Target, 500, 232, "１Ｐvs２Ｐ", kBlack, kWhite);
    benchmark::DoNotOptimize(s.Pixels.data());
  }
  TerminateFontSystem();
}
BENCHMARK(BM_TitleTextWithEdge)->Unit(benchmark::kMicrosecond);

// Anchor: one 640 x 480 32-bit fill.
void BM_AnchorScreenFill(benchmark::State& state) {
  Screen s;
  for (auto _ : state) {
    std::memset(s.Pixels.data(), 0, s.Pixels.size());
    benchmark::DoNotOptimize(s.Pixels.data());
  }
}
BENCHMARK(BM_AnchorScreenFill)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
