// The software renderer's blits and fill beside memcpy / memset of the same
// bytes and SDL2's SDL_BlitSurface / SDL_FillRect doing the same job on
// surfaces of the same format, plus one game frame.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/system_state.h"
#include "softrender/memimg.h"
#include "softrender/memimg_draw.h"
#include "softrender/memimg_tables.h"

namespace {

enum Job {
  kCopy,
  kKeyed,
  kKeyedRun,
  kAlpha,
  kAlphaRun,
  kModeOneP,
  kAdd,
  kSub,
  kMul,
  kPalette,
  kPaletteKeyed
};
const char* const kJobNames[] = {"copy", "keyed", "keyed_runs", "alpha",   "alpha_runs",   "mode1_p100",
                                 "add",  "sub",   "mul",        "palette", "palette_keyed"};

struct Images {
  MEMIMG dest[2]{};      // 16-bit, 32-bit
  MEMIMG plain[2][2]{};  // [depth][small]: key 0, run table
  MEMIMG alpha[2][2]{};
  MEMIMG palette[2][2]{};  // key index 0
};

// The palette images' colours, the same for both sides: entry i.
SDL_Color PaletteColour(int i) {
  return SDL_Color{static_cast<Uint8>(i * 7), static_cast<Uint8>(i * 13), static_cast<Uint8>(i * 3), 255};
}

void Randomise(MEMIMG* img, bool alphaMix, bool keyMix) {
  std::mt19937 rng(1);
  const int bpp = img->Base->Format->BytesPerPixel;
  for (int y = 0; y < img->Height; ++y)
    for (int x = 0; x < img->Width; ++x) {
      uint8_t* p = img->Pixels + y * img->Base->Pitch + x * bpp;
      for (int b = 0; b < bpp; ++b) p[b] = static_cast<uint8_t>(rng());
      // Sprites: a quarter transparent, the rest mostly opaque, edges translucent.
      const uint32_t pick = rng() % 8;
      if (keyMix && pick < 2) std::memset(p, 0, bpp == 4 && !alphaMix ? 4 : bpp);
      if (alphaMix) p[img->Base->Type == MEMIMG_TYPE_RGB565 ? 2 : 3] = pick < 2 ? 0 : pick == 7 ? 128 : 255;
    }
}

Images& Setup() {
  static Images im;
  static bool done = false;
  if (done) return im;
  done = true;
  InitMemImgTables();
  SystemState.Kept.CpuMmxFlag = 1;  // the processor has MMX
  for (int d = 0; d < 2; ++d) {
    const MemImgColorType type = d ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    InitializeMemImg(&im.dest[d], 640, 480, -1, 0, type, 0, 0, 0, nullptr);
    Randomise(&im.dest[d], false, false);
    for (int s = 0; s < 2; ++s) {
      const int w = s ? 20 : 640, h = s ? 20 : 480;
      InitializeMemImg(&im.plain[d][s], w, h, -1, 0, type, 0, 0, 1, nullptr);
      Randomise(&im.plain[d][s], false, true);
      BuildMemImgRunTable(&im.plain[d][s]);
      InitializeMemImg(&im.alpha[d][s], w, h, -1, 0, type, 0, 1, 1, nullptr);
      Randomise(&im.alpha[d][s], true, false);
      BuildMemImgRunTable(&im.alpha[d][s]);
      MEMIMG* pal = &im.palette[d][s];
      InitializeMemImg(pal, w, h, -1, 0, type, 1, 0, 1, nullptr);
      Randomise(pal, false, true);
      for (int i = 0; i < 256; ++i) {
        const SDL_Color c = PaletteColour(i);
        const uint32_t v = d ? static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b)
                             : static_cast<uint32_t>((c.r & 0xF8) << 8 | (c.g & 0xFC) << 3 | c.b >> 3);
        std::memcpy(pal->Base->Palette + i * (d ? 4 : 2), &v, d ? 4 : 2);
      }
      BuildMemImgRunTable(pal);
    }
  }
  return im;
}

void SetMode(int mode, int p) {
  static const Rect kWhole{0, 0, 640, 480};
  SoftDrawState.Clip = &kWhole;
  SoftDrawState.BlendMode = mode;
  SoftDrawState.BlendParam = p;
  SoftDrawState.Tint = 0xFFFFFF;
}

// args: job, depth (0: 16-bit, 1: 32-bit), small (0: 640x480, 1: 20x20)
void BM_DrawMemImg(benchmark::State& state) {
  Images& im = Setup();
  const Job job = static_cast<Job>(state.range(0));
  const int d = static_cast<int>(state.range(1)), s = static_cast<int>(state.range(2));
  MEMIMG* src = (job == kAlpha || job == kAlphaRun)         ? &im.alpha[d][s]
                : (job == kPalette || job == kPaletteKeyed) ? &im.palette[d][s]
                                                            : &im.plain[d][s];
  const bool runs = job == kKeyedRun || job == kAlphaRun;
  const int trans =
      (job == kKeyed || job == kKeyedRun || job == kAlpha || job == kAlphaRun || job == kPaletteKeyed) ? 1
                                                                                                       : 0;
  static const int kMode[] = {0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0};
  static const int kParam[] = {255, 255, 255, 255, 255, 100, 255, 255, 255, 255, 255};
  SetMode(kMode[job], kParam[job]);
  for (auto _ : state) {
    src->Base->RunTableValid = runs ? 1 : 0;
    DrawMemImg(&im.dest[d], src, 7, 5, trans, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * src->Width * src->Height);
  state.SetLabel(std::string(kJobNames[job]) + (d ? " 32-bit" : " 16-bit") + (s ? " 20x20" : " 640x480"));
}

void BM_Memcpy(benchmark::State& state) {
  const int d = static_cast<int>(state.range(0)), s = static_cast<int>(state.range(1));
  const size_t bytes = static_cast<size_t>(s ? 20 * 20 : 640 * 480) * (d ? 4 : 2);
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (s ? 400 : 640 * 480));
  state.SetLabel(std::string("memcpy") + (d ? " 32-bit" : " 16-bit") + (s ? " 20x20" : " 640x480"));
}

// SDL2 doing the same job on surfaces of the same format.
void BM_SdlBlit(benchmark::State& state) {
  const Job job = static_cast<Job>(state.range(0));
  const int d = static_cast<int>(state.range(1)), s = static_cast<int>(state.range(2));
  const int w = s ? 20 : 640, h = s ? 20 : 480;
  const Uint32 fmt = d ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
  const bool alpha = job == kAlpha || job == kAlphaRun;
  const bool palette = job == kPalette || job == kPaletteKeyed;
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, d ? 32 : 16, fmt);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, w, h,
                                                    palette ? 8
                                                    : alpha ? 32
                                                            : (d ? 32 : 16),
                                                    palette ? static_cast<Uint32>(SDL_PIXELFORMAT_INDEX8)
                                                    : alpha ? static_cast<Uint32>(SDL_PIXELFORMAT_ARGB8888)
                                                            : fmt);
  if (palette) {
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = PaletteColour(i);
    SDL_SetPaletteColors(src->format->palette, colours, 0, 256);
  }
  std::mt19937 rng(1);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = static_cast<uint8_t*>(src->pixels) + y * src->pitch;
    for (int i = 0; i < w * src->format->BytesPerPixel; ++i) row[i] = static_cast<uint8_t>(rng());
    if (alpha)
      for (int x = 0; x < w; ++x) {
        const uint32_t pick = rng() % 8;
        row[x * 4 + 3] = pick < 2 ? 0 : pick == 7 ? 128 : 255;
      }
    else if (job == kKeyed || job == kKeyedRun || job == kPaletteKeyed)
      for (int x = 0; x < w; ++x)
        if (rng() % 8 < 2) std::memset(row + x * src->format->BytesPerPixel, 0, src->format->BytesPerPixel);
  }
  SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
  switch (job) {
    case kKeyed:
    case kPaletteKeyed:
      SDL_SetColorKey(src, SDL_TRUE, 0);
      break;
    case kKeyedRun:
      SDL_SetColorKey(src, SDL_TRUE, 0);
      SDL_SetSurfaceRLE(src, 1);
      break;
    case kAlpha:
      SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
      break;
    case kAlphaRun:
      SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceRLE(src, 1);
      break;
    case kModeOneP:
      SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceAlphaMod(src, 100);
      break;
    case kAdd:
      SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_ADD);
      break;
    case kMul:
      SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_MOD);
      break;
    default:
      break;
  }
  SDL_Rect at = {7, 5, w, h};
  for (auto _ : state) {
    SDL_Rect r = at;
    SDL_BlitSurface(src, nullptr, dst, &r);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  state.SetLabel(std::string("SDL ") + kJobNames[job] + (d ? " 32-bit" : " 16-bit") +
                 (s ? " 20x20" : " 640x480"));
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void BM_Fill(benchmark::State& state) {
  Images& im = Setup();
  const int d = static_cast<int>(state.range(0));
  SetMode(0, 255);
  for (auto _ : state) {
    FillMemImgBoxXY(&im.dest[d], 0, 0, 640, 480, 0x123456);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  state.SetLabel(d ? "fill 32-bit" : "fill 16-bit");
}

void BM_Memset(benchmark::State& state) {
  const int d = static_cast<int>(state.range(0));
  const size_t bytes = static_cast<size_t>(640 * 480) * (d ? 4 : 2);
  std::vector<uint8_t> a(bytes);
  for (auto _ : state) {
    std::memset(a.data(), 0x12, bytes);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  state.SetLabel(d ? "memset 32-bit" : "memset 16-bit");
}

void BM_SdlFill(benchmark::State& state) {
  const int d = static_cast<int>(state.range(0));
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, d ? 32 : 16,
                                                    d ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565);
  for (auto _ : state) {
    SDL_FillRect(dst, nullptr, 0x123456);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  state.SetLabel(d ? "SDL fill 32-bit" : "SDL fill 16-bit");
  SDL_FreeSurface(dst);
}

// One game frame: clear, 450 keyed 20x20 cells (two wells and the previews),
// three full-screen pictures.
void BM_GameFrame(benchmark::State& state) {
  Images& im = Setup();
  const int d = static_cast<int>(state.range(0));
  // The images as loaded, with their run tables (the blit benchmarks above
  // switch them on and off).
  im.plain[d][0].Base->RunTableValid = 1;
  im.plain[d][1].Base->RunTableValid = 1;
  for (auto _ : state) {
    SetMode(0, 255);
    FillMemImgBoxXY(&im.dest[d], 0, 0, 640, 480, 0);
    for (int i = 0; i < 3; ++i) DrawMemImg(&im.dest[d], &im.plain[d][0], 0, 0, i == 0 ? 0 : 1, nullptr);
    for (int i = 0; i < 450; ++i)
      DrawMemImg(&im.dest[d], &im.plain[d][1], (i % 30) * 20 + 10, (i / 30) * 20 + 20, 1, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetLabel(d ? "frame 32-bit" : "frame 16-bit");
}

// Round sprites of n x n pixels (transparent corners, a translucent rim) as
// games draw them: long runs, where the run table pays off. args: depth,
// alpha, runs, size.
void MakeSprite(uint8_t* px, int pitch, int bpp, bool alpha, bool is32, bool sdlArgb, int n) {
  const int rim = (n - 1) * 16 / 19;  // 16 at 20 x 20
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const int dx = 2 * x - (n - 1), dy = 2 * y - (n - 1), r2 = dx * dx + dy * dy;
      uint8_t* p = px + y * pitch + x * bpp;
      std::memset(p, 0x5A + x, bpp);
      const int a = r2 > (n - 1) * (n - 1) ? 0 : r2 > rim * rim ? 128 : 255;
      if (alpha)
        p[sdlArgb || is32 ? 3 : 2] = static_cast<uint8_t>(a);
      else if (a == 0)
        std::memset(p, 0, bpp);
    }
}

void BM_Sprite(benchmark::State& state) {
  Images& im = Setup();
  const int d = static_cast<int>(state.range(0));
  const bool alpha = state.range(1) != 0, runs = state.range(2) != 0;
  const int n = static_cast<int>(state.range(3));
  MEMIMG spr{};
  InitializeMemImg(&spr, n, n, -1, 0, d ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565, 0, alpha, 1, nullptr);
  MakeSprite(spr.Pixels, static_cast<int>(spr.Base->Pitch), spr.Base->Format->BytesPerPixel, alpha, d, false,
             n);
  BuildMemImgRunTable(&spr);
  SetMode(0, 255);
  for (auto _ : state) {
    spr.Base->RunTableValid = runs ? 1 : 0;
    DrawMemImg(&im.dest[d], &spr, 7, 5, 1, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(alpha ? "sprite alpha" : "sprite keyed") + (runs ? " runs" : "") +
                 (d ? " 32-bit " : " 16-bit ") + std::to_string(n) + "x" + std::to_string(n));
  TerminateMemImg(&spr);
}

void BM_SdlSprite(benchmark::State& state) {
  const int d = static_cast<int>(state.range(0));
  const bool alpha = state.range(1) != 0, runs = state.range(2) != 0;
  const int n = static_cast<int>(state.range(3));
  const Uint32 fmt = d ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, d ? 32 : 16, fmt);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(
      0, n, n, alpha || d ? 32 : 16, alpha ? static_cast<Uint32>(SDL_PIXELFORMAT_ARGB8888) : fmt);
  MakeSprite(static_cast<uint8_t*>(src->pixels), src->pitch, src->format->BytesPerPixel, alpha, d, alpha, n);
  if (alpha)
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
  else
    SDL_SetColorKey(src, SDL_TRUE, 0);
  if (runs) SDL_SetSurfaceRLE(src, 1);
  for (auto _ : state) {
    SDL_Rect r = {7, 5, n, n};
    SDL_BlitSurface(src, nullptr, dst, &r);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string("SDL ") + (alpha ? "sprite alpha" : "sprite keyed") + (runs ? " runs" : "") +
                 (d ? " 32-bit " : " 16-bit ") + std::to_string(n) + "x" + std::to_string(n));
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void SpriteArgs(benchmark::internal::Benchmark* b) {
  for (int n : {20, 32})
    for (int d = 0; d < 2; ++d)
      for (int a = 0; a < 2; ++a)
        for (int r = 0; r < 2; ++r) b->Args({d, a, r, n});
}

void JobArgs(benchmark::internal::Benchmark* b) {
  for (int s = 0; s < 2; ++s)
    for (int d = 0; d < 2; ++d)
      for (int j = kCopy; j <= kPaletteKeyed; ++j) b->Args({j, d, s});
}

void SdlJobArgs(benchmark::internal::Benchmark* b) {
  for (int s = 0; s < 2; ++s)
    for (int d = 0; d < 2; ++d)
      for (int j = kCopy; j <= kPaletteKeyed; ++j)
        if (j != kSub) b->Args({j, d, s});  // SDL2 has no subtractive surface blit
}

BENCHMARK(BM_DrawMemImg)->Apply(JobArgs);
BENCHMARK(BM_SdlBlit)->Apply(SdlJobArgs);
BENCHMARK(BM_Sprite)->Apply(SpriteArgs);
BENCHMARK(BM_SdlSprite)->Apply(SpriteArgs);
BENCHMARK(BM_Memcpy)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1});
BENCHMARK(BM_Fill)->Arg(0)->Arg(1);
BENCHMARK(BM_Memset)->Arg(0)->Arg(1);
BENCHMARK(BM_SdlFill)->Arg(0)->Arg(1);
BENCHMARK(BM_GameFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
