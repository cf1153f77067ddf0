// The 2-D software triangle beside SDL2's software renderer doing the same
// job through SDL_RenderGeometry (one call per triangle, and one batched call)
// and a plain edge-function rasteriser written here; the one-to-one blit of
// the same texture gives the per-pixel anchor of the textured spans.
//
// Names: tri2d/<depth>/<source>/<mode>/leg<L>/<who>; rates are triangles and
// pixels (the right triangle's area, L*L/2) per second.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "softrender/memimg.h"
#include "softrender/memimg_draw.h"
#include "softrender/memimg_tables.h"
#include "softrender/triangle2d.h"

namespace {

enum Source { kFlat, kDirect, kKeyed, kAlphaTex, kPalette };
const char* const kSourceNames[] = {"flat", "direct", "keyed", "alpha", "palette"};
struct ModeSpec {
  int Mode, Param;
  const char* Name;
};
const ModeSpec kModes[] = {{0, 0, "mode0"}, {1, 100, "mode1_p100"}, {2, 255, "mode2"}};
const int kLegs[] = {4, 16, 64, 256};
constexpr int kW = 640, kH = 480, kTex = 256, kTriangles = 256;

// Randomly rotated right triangles with legs L, inside the target.
struct Tri {
  float x[3], y[3];
  int u[3], v[3];
};
std::vector<Tri> MakeTriangles(int leg, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Tri> out;
  const float reach = float(leg) * 1.5f;
  for (int i = 0; i < kTriangles; ++i) {
    const float a = float(rng() % 6283) / 1000.0f, c = std::cos(a), s = std::sin(a);
    const float cx = reach + float(rng() % unsigned(kW - 2 * reach > 1 ? kW - 2 * reach : 1));
    const float cy = reach + float(rng() % unsigned(kH - 2 * reach > 1 ? kH - 2 * reach : 1));
    const float lx[3] = {0, float(leg), 0}, ly[3] = {0, 0, float(leg)};
    Tri t{};
    for (int k = 0; k < 3; ++k) {
      t.x[k] = std::round(cx + lx[k] * c - ly[k] * s);
      t.y[k] = std::round(cy + lx[k] * s + ly[k] * c);
      t.u[k] = int(lx[k]) % (kTex + 1);
      t.v[k] = int(ly[k]) % (kTex + 1);
    }
    out.push_back(t);
  }
  return out;
}

uint8_t* PixelAt(MEMIMG* m, int x, int y) {
  return m->Pixels + y * m->Base->Pitch + x * m->Base->Format->BytesPerPixel;
}

// The library's images, and SDL's surfaces and textures with the same pixels.
struct Depth {
  MEMIMG Dest{};
  MEMIMG Tex[5]{};  // by Source; [kFlat] unused
  SDL_Surface* Target = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* SdlTex[5]{};
};

Depth& Get(int depth) {
  static Depth d[2];
  static bool done = false;
  if (!done) {
    done = true;
    InitMemImgTables();
    for (int i = 0; i < 2; ++i) {
      Depth& e = d[i];
      const bool b32 = i == 1;
      const MemImgColorType type = b32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
      InitializeMemImg(&e.Dest, kW, kH, -1, 0, type, 0, 0, 0, nullptr);
      std::memset(e.Dest.Base->Pixels, 0x40, size_t(e.Dest.Base->Pitch) * kH);
      const Uint32 fmt = b32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
      e.Target = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, b32 ? 32 : 16, fmt);
      e.Renderer = SDL_CreateSoftwareRenderer(e.Target);
      std::mt19937 rng(5);
      for (int s = kDirect; s <= kPalette; ++s) {
        MEMIMG& t = e.Tex[s];
        InitializeMemImg(&t, kTex, kTex, -1, 0, type, s == kPalette, s == kAlphaTex, 0, nullptr);
        const int bpp = s == kPalette ? 1 : t.Base->Format->BytesPerPixel;
        SDL_Surface* surf =
            s == kAlphaTex  ? SDL_CreateRGBSurfaceWithFormat(0, kTex, kTex, 32, SDL_PIXELFORMAT_ARGB8888)
            : s == kPalette ? SDL_CreateRGBSurfaceWithFormat(0, kTex, kTex, 8, SDL_PIXELFORMAT_INDEX8)
                            : SDL_CreateRGBSurfaceWithFormat(0, kTex, kTex, b32 ? 32 : 16, fmt);
        if (s == kPalette) {
          for (int k = 0; k < 256; ++k) {
            const uint32_t c = rng() & 0xFFFFFF;
            SDL_Color sc{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
            SDL_SetPaletteColors(surf->format->palette, &sc, k, 1);
            if (b32)
              std::memcpy(t.Base->Palette + 4 * k, &c, 4);
            else {
              const uint16_t p = uint16_t(((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31));
              std::memcpy(t.Base->Palette + 2 * k, &p, 2);
            }
          }
        }
        for (int y = 0; y < kTex; ++y)
          for (int x = 0; x < kTex; ++x) {
            uint8_t* p = PixelAt(&t, x, y);
            uint8_t* q =
                static_cast<uint8_t*>(surf->pixels) + y * surf->pitch + x * surf->format->BytesPerPixel;
            uint32_t r = rng();
            const uint32_t pick = rng() % 8;
            if (s == kKeyed && pick < 2) r = 0;  // a quarter is the key
            if (s == kAlphaTex) {
              const uint32_t a = pick < 2 ? 0 : pick == 7 ? 128 : 255;
              if (b32) {
                const uint32_t v = (r & 0xFFFFFF) | a << 24;
                std::memcpy(p, &v, 4);
              } else {
                const uint16_t v = uint16_t(r);
                std::memcpy(p, &v, 2);
                p[2] = uint8_t(a);
              }
              const uint32_t sv = (r & 0xFFFFFF) | a << 24;
              std::memcpy(q, &sv, 4);
            } else {
              std::memcpy(p, &r, bpp);
              std::memcpy(q, &r, surf->format->BytesPerPixel);
            }
          }
        if (s == kKeyed) SDL_SetColorKey(surf, SDL_TRUE, 0);
        e.SdlTex[s] = SDL_CreateTextureFromSurface(e.Renderer, surf);
        SDL_FreeSurface(surf);
      }
    }
  }
  return d[depth == 32 ? 1 : 0];
}

void SetState(const ModeSpec& m) {
  static const Rect whole{0, 0, kW, kH};
  SoftDrawState.Clip = &whole;
  SoftDrawState.BlendMode = m.Mode;
  SoftDrawState.BlendParam = m.Param;
  SoftDrawState.Tint = 0xFFFFFF;
}

SDL_BlendMode SdlBlend(Source s, const ModeSpec& m) {
  if (m.Mode == 2) return SDL_BLENDMODE_ADD;
  if (m.Mode == 1 || s == kKeyed || s == kAlphaTex) return SDL_BLENDMODE_BLEND;
  return SDL_BLENDMODE_NONE;
}

void Rates(benchmark::State& st, int leg) {
  st.SetItemsProcessed(int64_t(st.iterations()) * kTriangles);
  st.counters["pixels"] =
      benchmark::Counter(double(st.iterations()) * kTriangles * leg * leg / 2.0, benchmark::Counter::kIsRate);
}

void Ours(benchmark::State& st, int depth, Source s, ModeSpec m, int leg) {
  Depth& d = Get(depth);
  const std::vector<Tri> tris = MakeTriangles(leg, uint32_t(leg));
  std::vector<MemImgVertex2D> v;
  for (const Tri& t : tris)
    for (int k = 0; k < 3; ++k) v.push_back({int(t.x[k]), int(t.y[k]), t.u[k], t.v[k]});
  SetState(m);
  const MEMIMG* tex = s == kFlat ? nullptr : &d.Tex[s];
  const int key = s == kKeyed || s == kAlphaTex;
  for (auto _ : st)
    for (int i = 0; i < kTriangles; ++i)
      DrawMemImgTriangle2D(&d.Dest, tex, &v[3 * i], key, nullptr, 0x00A06030);
  Rates(st, leg);
}

std::vector<SDL_Vertex> SdlVertices(const std::vector<Tri>& tris, const ModeSpec& m) {
  std::vector<SDL_Vertex> out;
  const uint8_t a = m.Mode == 1 ? uint8_t(m.Param) : 255;
  for (const Tri& t : tris)
    for (int k = 0; k < 3; ++k)
      out.push_back(
          SDL_Vertex{{t.x[k], t.y[k]}, {0x30, 0x60, 0xA0, a}, {float(t.u[k]) / kTex, float(t.v[k]) / kTex}});
  return out;
}

void Sdl(benchmark::State& st, int depth, Source s, ModeSpec m, int leg, bool batched) {
  Depth& d = Get(depth);
  const std::vector<SDL_Vertex> v = SdlVertices(MakeTriangles(leg, uint32_t(leg)), m);
  SDL_Texture* tex = s == kFlat ? nullptr : d.SdlTex[s];
  if (tex) {
    SDL_SetTextureBlendMode(tex, SdlBlend(s, m));
    SDL_SetTextureScaleMode(tex, SDL_ScaleModeNearest);
  }
  SDL_SetRenderDrawBlendMode(d.Renderer, SdlBlend(s, m));
  for (auto _ : st) {
    if (batched) {
      SDL_RenderGeometry(d.Renderer, tex, v.data(), int(v.size()), nullptr, 0);
    } else {
      for (int i = 0; i < kTriangles; ++i) SDL_RenderGeometry(d.Renderer, tex, &v[3 * i], 3, nullptr, 0);
    }
    SDL_RenderFlush(d.Renderer);
  }
  Rates(st, leg);
}

// A plain edge-function rasteriser: bounding box, three edge tests per pixel,
// affine texture coordinates; copy (mode 0) only.
template <typename Pixel>
void EdgeTriangle(MEMIMG* dest, const MEMIMG* tex, const MemImgVertex2D* v, uint32_t colour) {
  int x0 = std::min({v[0].x, v[1].x, v[2].x}), x1 = std::max({v[0].x, v[1].x, v[2].x});
  int y0 = std::min({v[0].y, v[1].y, v[2].y}), y1 = std::max({v[0].y, v[1].y, v[2].y});
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, dest->Width - 1),
  y1 = std::min(y1, dest->Height - 1);
  const int64_t area =
      int64_t(v[1].x - v[0].x) * (v[2].y - v[0].y) - int64_t(v[2].x - v[0].x) * (v[1].y - v[0].y);
  if (area == 0) return;
  const float inv = 1.0f / float(area);
  for (int y = y0; y <= y1; ++y) {
    Pixel* row = reinterpret_cast<Pixel*>(dest->Pixels + y * dest->Base->Pitch);
    for (int x = x0; x <= x1; ++x) {
      int64_t w[3];
      for (int k = 0; k < 3; ++k) {
        const MemImgVertex2D &a = v[(k + 1) % 3], &b = v[(k + 2) % 3];
        w[k] = int64_t(b.x - a.x) * (y - a.y) - int64_t(b.y - a.y) * (x - a.x);
        if (area < 0) w[k] = -w[k];
      }
      if (w[0] > 0 || w[1] > 0 || w[2] > 0) continue;
      if (!tex) {
        row[x] = Pixel(colour);
        continue;
      }
      const float b0 = float(w[0]) * inv, b1 = float(w[1]) * inv, b2 = float(w[2]) * inv;
      const float fu = std::fabs(b0 * v[0].u + b1 * v[1].u + b2 * v[2].u);
      const float fv = std::fabs(b0 * v[0].v + b1 * v[1].v + b2 * v[2].v);
      const int tu = std::min(int(fu), tex->Width - 1), tv = std::min(int(fv), tex->Height - 1);
      row[x] = reinterpret_cast<const Pixel*>(tex->Pixels + tv * tex->Base->Pitch)[tu];
    }
  }
}

void Edge(benchmark::State& st, int depth, Source s, int leg) {
  Depth& d = Get(depth);
  const std::vector<Tri> tris = MakeTriangles(leg, uint32_t(leg));
  std::vector<MemImgVertex2D> v;
  for (const Tri& t : tris)
    for (int k = 0; k < 3; ++k) v.push_back({int(t.x[k]), int(t.y[k]), t.u[k], t.v[k]});
  const MEMIMG* tex = s == kFlat ? nullptr : &d.Tex[s];
  for (auto _ : st)
    for (int i = 0; i < kTriangles; ++i) {
      if (depth == 32)
        EdgeTriangle<uint32_t>(&d.Dest, tex, &v[3 * i], 0x00A06030);
      else
        EdgeTriangle<uint16_t>(&d.Dest, tex, &v[3 * i], 0x00A06030);
    }
  Rates(st, leg);
}

// The one-to-one blit of an L x L square of the same texture: pixels per second.
void Blit(benchmark::State& st, int depth, Source s, ModeSpec m, int leg) {
  Depth& d = Get(depth);
  MEMIMG view{};
  DeriveMemImg(&view, &d.Tex[s], 0, 0, std::min(leg, kTex), std::min(leg, kTex));
  SetState(m);
  const int key = s == kKeyed || s == kAlphaTex;
  std::mt19937 rng(1);
  for (auto _ : st)
    for (int i = 0; i < kTriangles; ++i)
      DrawMemImg(&d.Dest, &view, int(rng() % (kW - leg)), int(rng() % (kH - leg)), key, nullptr);
  st.counters["pixels"] =
      benchmark::Counter(double(st.iterations()) * kTriangles * leg * leg, benchmark::Counter::kIsRate);
  TerminateMemImg(&view);
}

// 200 sprites of 32 x 32 turned by random angles: one frame.
void Sprites(benchmark::State& st, int depth, Source s, bool sdl, bool batched) {
  Depth& d = Get(depth);
  std::mt19937 rng(9);
  std::vector<MemImgVertex2D> quads;
  std::vector<SDL_Vertex> sv;
  for (int i = 0; i < 200; ++i) {
    const float a = float(rng() % 6283) / 1000.0f, c = std::cos(a), sn = std::sin(a);
    const float cx = 30.0f + float(rng() % (kW - 60)), cy = 30.0f + float(rng() % (kH - 60));
    const float lx[4] = {-16, 16, -16, 16}, ly[4] = {-16, -16, 16, 16};
    const int tu[4] = {0, 32, 0, 32}, tv[4] = {0, 0, 32, 32};
    for (int k = 0; k < 4; ++k)
      quads.push_back({int(cx + lx[k] * c - ly[k] * sn), int(cy + lx[k] * sn + ly[k] * c), tu[k], tv[k]});
    const int order[6] = {0, 1, 2, 1, 2, 3};
    for (int k : order) {
      const MemImgVertex2D& q = quads[quads.size() - 4 + k];
      sv.push_back(
          SDL_Vertex{{float(q.x), float(q.y)}, {255, 255, 255, 255}, {float(q.u) / kTex, float(q.v) / kTex}});
    }
  }
  const ModeSpec m = kModes[0];
  SetState(m);
  const int key = s == kKeyed || s == kAlphaTex;
  SDL_SetTextureBlendMode(d.SdlTex[s], SdlBlend(s, m));
  for (auto _ : st) {
    if (!sdl) {
      for (int i = 0; i < 200; ++i) {
        DrawMemImgTriangle2D(&d.Dest, &d.Tex[s], &quads[4 * i], key, nullptr, 0);
        DrawMemImgTriangle2D(&d.Dest, &d.Tex[s], &quads[4 * i + 1], key, nullptr, 0);
      }
    } else if (batched) {
      SDL_RenderGeometry(d.Renderer, d.SdlTex[s], sv.data(), int(sv.size()), nullptr, 0);
    } else {
      for (int i = 0; i < 200; ++i) SDL_RenderGeometry(d.Renderer, d.SdlTex[s], &sv[6 * i], 6, nullptr, 0);
    }
    SDL_RenderFlush(d.Renderer);
  }
  st.counters["frames"] = benchmark::Counter(double(st.iterations()), benchmark::Counter::kIsRate);
}

void RegisterAll() {
  for (int depth : {16, 32})
    for (int s = kFlat; s <= kPalette; ++s)
      for (const ModeSpec& m : kModes)
        for (int leg : kLegs) {
          const std::string base = "tri2d/" + std::to_string(depth) + "/" + kSourceNames[s] + "/" + m.Name +
                                   "/leg" + std::to_string(leg) + "/";
          const Source src = Source(s);
          benchmark::RegisterBenchmark((base + "ours").c_str(), Ours, depth, src, m, leg)->MinTime(0.05);
          benchmark::RegisterBenchmark((base + "sdl_per_call").c_str(), Sdl, depth, src, m, leg, false)
              ->MinTime(0.05);
          benchmark::RegisterBenchmark((base + "sdl_batched").c_str(), Sdl, depth, src, m, leg, true)
              ->MinTime(0.05);
          if (m.Mode == 0 && (s == kFlat || s == kDirect))
            benchmark::RegisterBenchmark((base + "edge_function").c_str(), Edge, depth, src, leg)
                ->MinTime(0.05);
          if (s != kFlat && leg >= 16)
            benchmark::RegisterBenchmark((base + "blit_square").c_str(), Blit, depth, src, m, leg)
                ->MinTime(0.05);
        }
  for (int depth : {16, 32})
    for (int s : {kDirect, kKeyed, kAlphaTex}) {
      const std::string base = "sprites200/" + std::to_string(depth) + "/" + kSourceNames[s] + "/";
      benchmark::RegisterBenchmark((base + "ours").c_str(), Sprites, depth, Source(s), false, false)
          ->MinTime(0.05);
      benchmark::RegisterBenchmark((base + "sdl_per_call").c_str(), Sprites, depth, Source(s), true, false)
          ->MinTime(0.05);
      benchmark::RegisterBenchmark((base + "sdl_batched").c_str(), Sprites, depth, Source(s), true, true)
          ->MinTime(0.05);
    }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
