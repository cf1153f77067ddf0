// The per-pixel frame every 3-D span loop shares: the walk over the rows of
// the span table, the depth test and write, the perspective quotient, the
// texel address and the texture range test. A span family supplies only the
// pixel operation (an Op type); the depth handling is a template parameter,
// so no loop branches on flags per pixel.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "softrender/textured_pixel.h"

namespace tri3d {

enum class DepthMode { None = 0, Test = 1, TestWrite = 2 };

// Calls pick(std::integral_constant<DepthMode, D>{}) with D equal to `depth`,
// so that each depth handling gets loops of its own, and returns what it returns.
template <class Pick>
auto PickForDepthMode(DepthMode depth, Pick&& pick) {
  switch (depth) {
    case DepthMode::None:
      return pick(std::integral_constant<DepthMode, DepthMode::None>{});
    case DepthMode::Test:
      return pick(std::integral_constant<DepthMode, DepthMode::Test>{});
    default:
      return pick(std::integral_constant<DepthMode, DepthMode::TestWrite>{});
  }
}

// One drawn row: first column and pixel count, after clipping.
struct SpanEntry {
  int32_t First;
  int32_t Count;
};
constexpr int kSpanTableRows = 4096;
extern SpanEntry TriangleSpanTable[kSpanTableRows];

// The interpolated planes, in their fixed-point forms.
enum Plane { PW, PU, PV, PZ, PC0, PC1, PC2, PC3, kPlaneCount };

// Everything a span loop reads, prepared once per triangle (the row fields
// once per chunk of the span table).
struct SpanJob {
  int FirstRow;  // screen row of span table entry 0
  int RowCount;  // entries in use
  uint8_t* Dst;  // destination view's top-left pixel
  intptr_t DstPitch;
  uint8_t* Z;  // depth image's top-left value, or null
  intptr_t ZPitch;
  uint32_t Q0[kPlaneCount];  // value at the screen origin
  uint32_t Sx[kPlaneCount];  // step per column
  uint32_t Sy[kPlaneCount];  // step per row
  const uint8_t* Tex;        // texture view's top-left texel
  intptr_t TexPitch;
  uint32_t TexW, TexH;
  const uint8_t* Graph;  // blend graph's top-left byte, or null
  intptr_t GraphPitch;
  // Tables, tint and parameter rows, key (an index for palette textures),
  // palette and blend-graph levels.
  texpix::PixelParams Px;
};
using SpanFn = void (*)(const SpanJob&);

// Half a step, rounded toward zero: values are taken at pixel centres.
inline uint32_t HalfStep(uint32_t s) { return static_cast<uint32_t>(static_cast<int32_t>(s) / 2); }

// The depth stored for a fixed-point Z (2^24 = 1.0), clamped to the range
// of the depth image.
inline uint32_t DepthValue(uint32_t z) {
  const int32_t d = static_cast<int32_t>(z) >> 8;
  return d < 0 ? 0u : d > 0xFFFF ? 0xFFFFu : static_cast<uint32_t>(d);
}

// The texel coordinate of a fixed-point U or V (2^26 = 1.0 times rhw) with
// the perspective quotient q = 2^29 / W: never negative, so a negative
// product lands far beyond the texture. q is a whole number, so its relative
// error reaches 1/q: at rhw = 1 it is 8, and every rhw from just above 8/9
// to 1 gives 8 as well. Texture mapping is accurate only for rhw well below
// 1: near rhw = 1 a texel position can be off by up to an eighth.
inline uint32_t TexelCoord(uint32_t uv, uint32_t q, uint32_t size) {
  const uint32_t a = static_cast<uint32_t>(static_cast<int32_t>(uv) >> 10);
  return (a * q * size) >> 19;
}

// Op provides:
//   static constexpr int TexelSize;          bytes per texel
//   static constexpr bool Graph;             reads the blend graph
//   static constexpr int ColourPlanes;       0, 3 (blue, green, red) or 4 (and alpha)
//   static void Pixel(const SpanJob&, uint8_t* dst, const uint8_t* texel, uint32_t graphByte,
//                     const uint32_t* colour);   colour: the planes C0.. at the pixel
template <DepthMode D, class Op>
void RunSpans(const SpanJob& j) {
  constexpr bool Depth = D != DepthMode::None;
  constexpr int NC = Op::ColourPlanes;
  // The per-pixel steps and the texture's extent in locals: the pixel and
  // depth stores may alias the job as far as the compiler knows.
  const uint32_t sxW = j.Sx[PW], sxU = j.Sx[PU], sxV = j.Sx[PV], sxZ = j.Sx[PZ];
  const uint32_t texW = j.TexW, texH = j.TexH;
  uint32_t row[kPlaneCount];
  for (int p = 0; p < kPlaneCount; ++p) {
    row[p] = j.Q0[p] + j.Sy[p] * static_cast<uint32_t>(j.FirstRow) + HalfStep(j.Sy[p]);
  }
  uint8_t* dstRow = j.Dst + static_cast<intptr_t>(j.FirstRow) * j.DstPitch;
  uint8_t* zRow = Depth ? j.Z + static_cast<intptr_t>(j.FirstRow) * j.ZPitch : nullptr;
  for (int r = 0; r < j.RowCount; ++r) {
    const SpanEntry e = TriangleSpanTable[r];
    if (e.Count > 0) {
      const uint32_t f = static_cast<uint32_t>(e.First);
      uint32_t w = row[PW] + j.Sx[PW] * f + HalfStep(j.Sx[PW]);
      if (w != 0) {
        uint32_t u = row[PU] + j.Sx[PU] * f + HalfStep(j.Sx[PU]);
        uint32_t v = row[PV] + j.Sx[PV] * f + HalfStep(j.Sx[PV]);
        uint32_t z = 0;
        if constexpr (Depth) z = row[PZ] + j.Sx[PZ] * f + HalfStep(j.Sx[PZ]);
        uint32_t c[NC > 0 ? NC : 1] = {};
        for (int k = 0; k < NC; ++k) c[k] = row[PC0 + k] + j.Sx[PC0 + k] * f + HalfStep(j.Sx[PC0 + k]);
        uint8_t* d = dstRow + static_cast<intptr_t>(e.First) * (Op::DstSize);
        uint8_t* zp = Depth ? zRow + static_cast<intptr_t>(e.First) * 2 : nullptr;
        for (int32_t n = 0; n < e.Count; ++n) {
          bool visible = true;
          if constexpr (Depth) {
            const uint32_t dv = DepthValue(z);
            uint16_t stored;
            std::memcpy(&stored, zp, 2);
            if (stored < dv) {
              visible = false;
            } else if constexpr (D == DepthMode::TestWrite) {
              const uint16_t nv = static_cast<uint16_t>(dv);
              std::memcpy(zp, &nv, 2);
            }
          }
          // A W of zero has no quotient: such a pixel gets no colour.
          if (visible && w != 0) {
            const uint32_t q = static_cast<uint32_t>(0x20000000 / static_cast<int32_t>(w));
            const uint32_t tx = TexelCoord(u, q, texW), ty = TexelCoord(v, q, texH);
            if (tx < texW && ty < texH) {
              const uint8_t* texel = j.Tex + static_cast<intptr_t>(ty) * j.TexPitch + tx * Op::TexelSize;
              uint32_t g = 0;
              if constexpr (Op::Graph) g = j.Graph[static_cast<intptr_t>(ty) * j.GraphPitch + tx];
              Op::Pixel(j, d, texel, g, c);
            }
          }
          w += sxW;
          u += sxU;
          v += sxV;
          if constexpr (Depth) {
            z += sxZ;
            zp += 2;
          }
          for (int k = 0; k < NC; ++k) c[k] += j.Sx[PC0 + k];
          d += Op::DstSize;
        }
      }
    }
    for (int p = 0; p < kPlaneCount; ++p) row[p] += j.Sy[p];
    dstRow += j.DstPitch;
    if constexpr (Depth) zRow += j.ZPitch;
  }
}

}  // namespace tri3d
