// Vertex-coloured 3-D triangles of 16 to 65,536 pixels and a run of tiny
// ones, beside SDL2's software SDL_RenderGeometry drawing the same
// triangles into a surface of the same format and a plain edge-function
// rasteriser with a per-pixel 1/w written here, all in one run.
//
// Then perspective-textured quads of 64, 256 and 512 pixels a side (rhw
// from 0.002 to 0.01, depth test and write, modes 0, 1 and 2, both pixel
// depths) beside an edge-function rasteriser with per-pixel 1/w, nearest
// sampling and a depth buffer written here; and quads of constant rhw
// (affine) without depth beside SDL_RenderGeometry with a texture.
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
  InitializeMemImg(&dest, kW, kH, -1, 0, bits == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565, 0, 0, 0,
                   nullptr);
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
  state.SetLabel("vexlo " + std::to_string(bits) + "-bit " + std::to_string(count) + " x " +
                 std::to_string(pixels) + " px");
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
    for (int k = 0; k < count; ++k)
      SDL_RenderGeometry(renderer, nullptr, &verts[size_t(k) * 3], 3, nullptr, 0);
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
  const int minX = std::max(0, int(std::floor(std::min({x0, x1, x2})))),
            maxX = std::min(kW - 1, int(std::ceil(std::max({x0, x1, x2}))));
  const int minY = std::max(0, int(std::floor(std::min({y0, y1, y2})))),
            maxY = std::min(kH - 1, int(std::ceil(std::max({y0, y1, y2}))));
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

// ---- perspective-textured quads ------------------------------------------

constexpr int kQuadArea = 600;  // the destination's width and height
constexpr int kTexSide = 256;

// The quad at (20, 20) of `side` pixels, u and v from 0 to 1, as two
// triangles; rhw from 0.002 on the left to 0.01 on the right, or 0.005
// everywhere.
void Quad(int side, bool perspective, MemImgVertex3D* v) {
  const float s = float(side), o = 20.0f;
  const float lw = perspective ? 0.002f : 0.005f, rw = perspective ? 0.01f : 0.005f;
  auto at = [&](float x, float y, float w, float u, float vv) {
    MemImgVertex3D m{};
    m.X = o + x, m.Y = o + y, m.Z = 0.5f, m.W = w, m.U = u, m.V = vv;
    m.Blue = m.Green = m.Red = m.Alpha = 255;
    return m;
  };
  v[0] = at(0, 0, lw, 0, 0), v[1] = at(s, 0, rw, 1, 0), v[2] = at(0, s, lw, 0, 1);
  v[3] = at(s, 0, rw, 1, 0), v[4] = at(s, s, rw, 1, 1), v[5] = at(0, s, lw, 0, 1);
}

template <typename Pixel>
void RandomTexels(Pixel* p, size_t count) {
  std::mt19937 rng(7);
  for (size_t i = 0; i < count; ++i) p[i] = Pixel(rng());
}

std::string ModeName(int mode) { return mode == 0 ? "copy" : mode == 1 ? "alpha 128" : "add 128"; }

void BM_VexloQuad(benchmark::State& state) {
  const int side = int(state.range(0)), bits = int(state.range(1)), mode = int(state.range(2));
  const bool perspective = state.range(3) != 0;
  InitMemImgTables();
  const MemImgColorType type = bits == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
  MEMIMG dest{}, z{}, tex{};
  InitializeMemImg(&dest, kQuadArea, kQuadArea, -1, 0, type, 0, 0, 0, nullptr);
  InitializeMemImg(&tex, kTexSide, kTexSide, -1, 0, type, 0, 0, 0, nullptr);
  InitializeMemImg(&z, kQuadArea, kQuadArea, -1, 0, MEMIMG_TYPE_DEPTH16, 0, 0, 0, nullptr);
  std::memset(dest.Pixels, 0, size_t(dest.Base->Pitch) * kQuadArea);
  std::memset(z.Pixels, 0xFF, size_t(z.Base->Pitch) * kQuadArea);
  RandomTexels(tex.Pixels, size_t(tex.Base->Pitch) * kTexSide);
  static const Rect whole{0, 0, kQuadArea, kQuadArea};
  SoftDrawState.Clip = &whole;
  SoftDrawState.BlendMode = mode;
  SoftDrawState.BlendParam = 128;
  SoftDrawState.Tint = 0xFFFFFF;
  MemImgVertex3D v[6];
  Quad(side, perspective, v);
  // Perspective quads are depth-tested and written; affine ones, as SDL
  // draws them, are not.
  MEMIMG* zi = perspective ? &z : nullptr;
  for (auto _ : state) {
    DrawMemImgTriangle3D(&dest, zi, &tex, &v[0], 0, nullptr, 1, 0, 0, 0);
    DrawMemImgTriangle3D(&dest, zi, &tex, &v[3], 0, nullptr, 1, 0, 0, 0);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
  state.SetLabel(std::string("vexlo ") + (perspective ? "perspective+depth " : "affine ") +
                 std::to_string(bits) + "-bit " + ModeName(mode) + " " + std::to_string(side) + "^2 px");
  TerminateMemImg(&z);
  TerminateMemImg(&tex);
  TerminateMemImg(&dest);
}

// Edge functions stepped per pixel over the bounding box, u/w, v/w and 1/w
// interpolated, one division per pixel, nearest texel, depth test and write,
// then the copy.
template <typename Pixel>
void EdgeFunctionTextured(Pixel* dst, uint16_t* zbuf, int pitch, const Pixel* tex, const MemImgVertex3D* v) {
  const float x0 = v[0].X, y0 = v[0].Y, x1 = v[1].X, y1 = v[1].Y, x2 = v[2].X, y2 = v[2].Y;
  const float area = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
  if (area == 0) return;
  const float inv = 1.0f / area;
  const int minX = std::max(0, int(std::floor(std::min({x0, x1, x2})))),
            maxX = std::min(kQuadArea - 1, int(std::ceil(std::max({x0, x1, x2}))));
  const int minY = std::max(0, int(std::floor(std::min({y0, y1, y2})))),
            maxY = std::min(kQuadArea - 1, int(std::ceil(std::max({y0, y1, y2}))));
  // Barycentric weights and their steps per column.
  const float a0 = -(y2 - y1) * inv, a1 = -(y0 - y2) * inv;
  const float uw[3] = {v[0].U * v[0].W, v[1].U * v[1].W, v[2].U * v[2].W};
  const float vw[3] = {v[0].V * v[0].W, v[1].V * v[1].W, v[2].V * v[2].W};
  const uint16_t depth = uint16_t(v[0].Z * 65535.0f);
  for (int y = minY; y <= maxY; ++y) {
    const float py = float(y) + 0.5f, px = float(minX) + 0.5f;
    float w0 = ((x2 - x1) * (py - y1) - (y2 - y1) * (px - x1)) * inv;
    float w1 = ((x0 - x2) * (py - y2) - (y0 - y2) * (px - x2)) * inv;
    for (int x = minX; x <= maxX; ++x, w0 += a0, w1 += a1) {
      const float w2 = 1.0f - w0 - w1;
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      uint16_t& zp = zbuf[size_t(y) * pitch + x];
      if (zp < depth) continue;
      zp = depth;
      const float k = 1.0f / (w0 * v[0].W + w1 * v[1].W + w2 * v[2].W);
      const int tu = int((w0 * uw[0] + w1 * uw[1] + w2 * uw[2]) * k * kTexSide);
      const int tv = int((w0 * vw[0] + w1 * vw[1] + w2 * vw[2]) * k * kTexSide);
      if (unsigned(tu) >= unsigned(kTexSide) || unsigned(tv) >= unsigned(kTexSide)) continue;
      dst[size_t(y) * pitch + x] = tex[size_t(tv) * kTexSide + tu];
    }
  }
}

void BM_EdgeFunctionQuad(benchmark::State& state) {
  const int side = int(state.range(0)), bits = int(state.range(1));
  std::vector<uint32_t> dst32(size_t(kQuadArea) * kQuadArea), tex32(size_t(kTexSide) * kTexSide);
  std::vector<uint16_t> dst16(dst32.size()), tex16(tex32.size()), zbuf(dst32.size(), 0xFFFF);
  RandomTexels(tex32.data(), tex32.size());
  RandomTexels(tex16.data(), tex16.size());
  MemImgVertex3D v[6];
  Quad(side, true, v);
  for (auto _ : state) {
    for (int t = 0; t < 2; ++t) {
      if (bits == 32)
        EdgeFunctionTextured(dst32.data(), zbuf.data(), kQuadArea, tex32.data(), &v[3 * t]);
      else
        EdgeFunctionTextured(dst16.data(), zbuf.data(), kQuadArea, tex16.data(), &v[3 * t]);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
  state.SetLabel("edge functions perspective+depth " + std::to_string(bits) + "-bit copy " +
                 std::to_string(side) + "^2 px");
}

void BM_SdlQuad(benchmark::State& state) {
  const int side = int(state.range(0)), bits = int(state.range(1)), mode = int(state.range(2));
  const Uint32 format = bits == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kQuadArea, kQuadArea, bits, format);
  SDL_Surface* texels = SDL_CreateRGBSurfaceWithFormat(0, kTexSide, kTexSide, bits, format);
  SDL_Renderer* renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
  SDL_Texture* texture = nullptr;
  if (renderer && texels) {
    RandomTexels(static_cast<uint8_t*>(texels->pixels), size_t(texels->pitch) * kTexSide);
    texture = SDL_CreateTextureFromSurface(renderer, texels);
  }
  if (!texture) {
    state.SkipWithError("no SDL software renderer");
  } else {
    SDL_SetTextureBlendMode(texture, mode == 0   ? SDL_BLENDMODE_NONE
                                     : mode == 1 ? SDL_BLENDMODE_BLEND
                                                 : SDL_BLENDMODE_ADD);
    SDL_SetTextureAlphaMod(texture, mode == 0 ? 255 : 128);
    MemImgVertex3D q[6];
    Quad(side, false, q);
    SDL_Vertex verts[6];
    for (int i = 0; i < 6; ++i) {
      verts[i] =
          SDL_Vertex{SDL_FPoint{q[i].X, q[i].Y}, SDL_Color{255, 255, 255, 255}, SDL_FPoint{q[i].U, q[i].V}};
    }
    for (auto _ : state) {
      SDL_RenderGeometry(renderer, texture, verts, 6, nullptr, 0);
      SDL_RenderFlush(renderer);
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
    state.SetLabel("SDL_RenderGeometry affine " + std::to_string(bits) + "-bit " + ModeName(mode) + " " +
                   std::to_string(side) + "^2 px");
  }
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  if (texels) SDL_FreeSurface(texels);
  if (surface) SDL_FreeSurface(surface);
}

void QuadSizes(benchmark::internal::Benchmark* b, bool withPerspective) {
  for (int perspective : withPerspective ? std::vector<int>{1, 0} : std::vector<int>{0})
    for (int bits : {16, 32})
      for (int mode : {0, 1, 2})
        for (int side : {64, 256, 512}) b->Args({side, bits, mode, perspective});
}

BENCHMARK(BM_Vexlo)->Apply(Sizes);
BENCHMARK(BM_Sdl)->Apply(Sizes);
BENCHMARK(BM_EdgeFunction)
    ->Args({2, 32})
    ->Args({16, 32})
    ->Args({256, 32})
    ->Args({4096, 32})
    ->Args({65536, 32});

BENCHMARK(BM_VexloQuad)->Apply([](benchmark::internal::Benchmark* b) { QuadSizes(b, true); });
BENCHMARK(BM_EdgeFunctionQuad)->ArgsProduct({{64, 256, 512}, {16, 32}});
BENCHMARK(BM_SdlQuad)->Apply([](benchmark::internal::Benchmark* b) { QuadSizes(b, false); });

BENCHMARK_MAIN();
