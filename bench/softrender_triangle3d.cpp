// Vertex-coloured 3-D triangles of 16 to 65,536 pixels and a run of tiny
// ones, beside SDL2's software SDL_RenderGeometry drawing the same
// triangles into a surface of the same format and a plain edge-function
// rasteriser with a per-pixel 1/w written here, all in one run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "softrender/memimg.h"
#include "softrender/memimg_tables.h"
#include "softrender/triangle3d.h"

namespace {

constexpr int kW = 640, kH = 480;

// A right triangle of about `pixels` pixels at (x, y), one colour per corner.
void Triangle(int pixels, float x, float y, MemImgVertex3D* v) {
  const float leg = std::sqrt(2.0f * float(pixels));
  const float px[3] = {x, x + leg, x}, py[3] = {y, y, y + leg};
  const uint32_t colour[3] = {0xFFFF4020u, 0xC020FF40u, 0x804020FFu};
  const float rhw[3] = {0.5f, 0.25f, 0.125f};
  for (int i = 0; i < 3; ++i) {
    v[i].X = px[i], v[i].Y = py[i], v[i].Z = 0.5f, v[i].W = rhw[i];
    std::memcpy(&v[i].Blue, &colour[i], 4);
    v[i].U = float(i == 1), v[i].V = float(i == 2);
  }
}

// Where the k-th triangle of a run goes: spread over the screen.
void Place(int pixels, int k, float* x, float* y) {
  const float leg = std::sqrt(2.0f * float(pixels));
  const int cols = std::max(1, int((kW - 2) / (leg + 2))), rows = std::max(1, int((kH - 2) / (leg + 2)));
  *x = 1.0f + float(k % cols) * (leg + 2) + 0.3f;
  *y = 1.0f + float((k / cols) % rows) * (leg + 2) + 0.6f;
}

int CountFor(int pixels) { return pixels <= 2 ? 10000 : 1; }

// The triangles of one iteration, three vertices each.
std::vector<MemImgVertex3D> Run(int pixels) {
  const int count = CountFor(pixels);
  std::vector<MemImgVertex3D> tris(size_t(count) * 3);
  for (int k = 0; k < count; ++k) {
    float x, y;
    Place(pixels, k, &x, &y);
    Triangle(pixels, x, y, &tris[size_t(k) * 3]);
  }
  return tris;
}

void BM_Vexlo(benchmark::State& state) {
  const int pixels = int(state.range(0)), bits = int(state.range(1));
  InitMemImgTables();
  MEMIMG dest{};
  InitializeMemImg(&dest, kW, kH, -1, 0, bits == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565, 0, 0, 0, nullptr);
  std::memset(dest.Pixels, 0, size_t(dest.Base->Pitch) * kH);
  static const Rect whole{0, 0, kW, kH};
  SoftDrawState.Clip = &whole;
  SoftDrawState.BlendMode = 0;
  const int count = CountFor(pixels);
  const std::vector<MemImgVertex3D> tris = Run(pixels);
  for (auto _ : state) {
    for (int k = 0; k < count; ++k) {
      DrawMemImgTriangle3D(&dest, nullptr, nullptr, &tris[size_t(k) * 3], 0, nullptr, 0, 1, 1, 0);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetLabel("vexlo " + std::to_string(bits) + "-bit " + std::to_string(count) + " x " + std::to_string(pixels) + " px");
  TerminateMemImg(&dest);
}

void BM_Sdl(benchmark::State& state) {
  const int pixels = int(state.range(0)), bits = int(state.range(1));
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(
      0, kW, kH, bits, bits == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565);
  SDL_Renderer* renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
  if (!renderer) {
    state.SkipWithError("no SDL software renderer");
    if (surface) SDL_FreeSurface(surface);
    return;
  }
  const int count = CountFor(pixels);
  const std::vector<MemImgVertex3D> tris = Run(pixels);
  std::vector<SDL_Vertex> verts(tris.size());
  for (size_t i = 0; i < tris.size(); ++i) {
    const MemImgVertex3D& v = tris[i];
    verts[i] = SDL_Vertex{SDL_FPoint{v.X, v.Y}, SDL_Color{v.Red, v.Green, v.Blue, 255}, SDL_FPoint{v.U, v.V}};
  }
  for (auto _ : state) {
    // One call per triangle, as the library is called.
    for (int k = 0; k < count; ++k) SDL_RenderGeometry(renderer, nullptr, &verts[size_t(k) * 3], 3, nullptr, 0);
    SDL_RenderFlush(renderer);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetLabel("SDL_RenderGeometry " + std::to_string(bits) + "-bit " + std::to_string(count) + " x " +
                 std::to_string(pixels) + " px");
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(surface);
}

// Edge functions over the bounding box, with 1/w, u/w, v/w and the colours
// interpolated and one division per pixel.
void EdgeFunctionTriangle(uint32_t* dst, int pitch, const MemImgVertex3D* v) {
  const float x0 = v[0].X, y0 = v[0].Y, x1 = v[1].X, y1 = v[1].Y, x2 = v[2].X, y2 = v[2].Y;
  const float area = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
  if (area == 0) return;
  const int minX = std::max(0, int(std::floor(std::min({x0, x1, x2})))), maxX = std::min(kW - 1, int(std::ceil(std::max({x0, x1, x2}))));
  const int minY = std::max(0, int(std::floor(std::min({y0, y1, y2})))), maxY = std::min(kH - 1, int(std::ceil(std::max({y0, y1, y2}))));
  const float inv = 1.0f / area;
  for (int y = minY; y <= maxY; ++y) {
    const float py = float(y) + 0.5f;
    for (int x = minX; x <= maxX; ++x) {
      const float px = float(x) + 0.5f;
      const float w0 = ((x2 - x1) * (py - y1) - (y2 - y1) * (px - x1)) * inv;
      const float w1 = ((x0 - x2) * (py - y2) - (y0 - y2) * (px - x2)) * inv;
      const float w2 = 1.0f - w0 - w1;
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      const float rhw = w0 * v[0].W + w1 * v[1].W + w2 * v[2].W;
      const float k = 1.0f / rhw;
      const float u = (w0 * v[0].U * v[0].W + w1 * v[1].U * v[1].W + w2 * v[2].U * v[2].W) * k;
      const float r = w0 * v[0].Red + w1 * v[1].Red + w2 * v[2].Red;
      const float g = w0 * v[0].Green + w1 * v[1].Green + w2 * v[2].Green;
      const float b = w0 * v[0].Blue + w1 * v[1].Blue + w2 * v[2].Blue;
      dst[size_t(y) * pitch + x] = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b) | (u > 2.0f ? 1u : 0u);
    }
  }
}

void BM_EdgeFunction(benchmark::State& state) {
  const int pixels = int(state.range(0));
  std::vector<uint32_t> dst(size_t(kW) * kH);
  const int count = CountFor(pixels);
  const std::vector<MemImgVertex3D> tris = Run(pixels);
  for (auto _ : state) {
    for (int k = 0; k < count; ++k) EdgeFunctionTriangle(dst.data(), kW, &tris[size_t(k) * 3]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetLabel("edge functions 32-bit " + std::to_string(count) + " x " + std::to_string(pixels) + " px");
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int bits : {16, 32})
    for (int pixels : {2, 16, 256, 4096, 65536}) b->Args({pixels, bits});
}

}  // namespace

BENCHMARK(BM_Vexlo)->Apply(Sizes);
BENCHMARK(BM_Sdl)->Apply(Sizes);
BENCHMARK(BM_EdgeFunction)->Args({2, 32})->Args({16, 32})->Args({256, 32})->Args({4096, 32})->Args({65536, 32});

BENCHMARK_MAIN();
