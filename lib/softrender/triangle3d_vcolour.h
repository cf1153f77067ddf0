// The vertex-coloured 3-D span loops: each texel is modulated by the colour
// interpolated between the vertices, and the interpolated vertex alpha
// weighs the blend where the blend mode has a weight. Neither the tint nor
// the blend parameter of the drawing state is read.
//
// One loop per depth handling x texture kind (palette, direct, direct with
// alpha) x blend mode x blend graph x transparent flag; each selector is
// compiled in its own file so the instantiations build in parallel.
#pragma once
#include <cstdint>
#include <cstring>

#include "softrender/blit_rules.h"
#include "softrender/triangle3d_frame.h"

namespace tri3d {

using softblit::SrcKind;

// The decisions taken once per triangle.
struct VcChoice {
  DepthMode Depth;
  int Mode;    // 0, 1, 2, 3, 4, 10 or 11
  bool Graph;  // blend graph given
  bool Key;    // transparent flag
};

// A colour plane (14 fraction bits) at the pixel, as a byte. Values just
// outside the triangle can leave 0..255; they are clamped so they never
// reach a neighbouring channel.
inline uint32_t PlaneByte(uint32_t c) {
  const int32_t v = static_cast<int32_t>(c) / 16384;
  return v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v);
}

// (d * 2^k + (x - d) * w) >> k, the weighted mix of one channel.
template <int K>
inline uint32_t Mix(uint32_t d, uint32_t x, uint32_t w) {
  return static_cast<uint32_t>(
      ((static_cast<int64_t>(d) << K) + (static_cast<int64_t>(x) - static_cast<int64_t>(d)) * w) >> K);
}

// A 16-bit (zero-extended) or 32-bit value.
template <int Bits>
inline uint32_t LoadPixel(const uint8_t* p) {
  if constexpr (Bits == 32) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
}

template <int Bits, SrcKind S, int Mode, bool G, bool K>
struct VcOp {
  static constexpr int DstSize = Bits / 8;
  static constexpr int TexelSize = S == SrcKind::Palette ? 1 : S == SrcKind::Alpha ? 4 : Bits / 8;
  static constexpr bool Graph = G;
  static constexpr bool UsesV = Mode == 1 || Mode == 2 || Mode == 3 || Mode == 10 || Mode == 11;
  static constexpr int ColourPlanes = UsesV ? 4 : 3;
  // Alpha 0 under the transparent flag leaves the pixel alone in these modes;
  // in the others it takes the translucent path.
  static constexpr bool SkipAlphaZero = Mode <= 3 || (Bits == 16 && Mode == 10);

  // Channel layout: blue, green, red.
  static constexpr int kShift[3] = {0, Bits == 32 ? 8 : 5, Bits == 32 ? 16 : 11};
  static constexpr uint32_t kMax[3] = {Bits == 32 ? 255u : 31u, Bits == 32 ? 255u : 63u,
                                       Bits == 32 ? 255u : 31u};
  // The shift of a texel x colour x destination product.
  static constexpr int kProd[3] = {Bits == 32 ? 16 : 13, Bits == 32 ? 16 : 14, Bits == 32 ? 16 : 13};

  template <bool Tr>
  static inline uint32_t Channel(int k, uint32_t t, uint32_t c, uint32_t d, uint32_t v, uint32_t a,
                                 uint32_t L) {
    if constexpr (Mode == 4) {
      if constexpr (!G && !Tr) return (t * c * d) >> kProd[k];
      if constexpr (!G && Tr) return (t * c * d * a) >> (kProd[k] + 8);
      if constexpr (G && !Tr) return (t * c * d * L) >> (kProd[k] + 8);
      if constexpr (G && Tr) return (((t * c) >> 8) * d * L * a) >> (kProd[k] + 8);
    } else if constexpr (Mode == 2 || Mode == 3) {
      // The scaled source of the packed add or subtract.
      if constexpr (!G && !Tr) return (t * c * v) >> 16;
      if constexpr (!G && Tr) return (t * c * a * v) >> 24;
      if constexpr (G && !Tr) return (t * c * v * L) >> 24;
      if constexpr (G && Tr) return (((t * c) >> 8) * a * v * L) >> 24;
    } else {
      uint32_t x;
      if constexpr (Mode == 10) {
        x = ((kMax[k] - t) * c) >> 8;
      } else if constexpr (Mode == 11) {
        x = (t * c * d) >> kProd[k];
      } else {
        x = (t * c) >> 8;
      }
      if constexpr (Mode == 0) {
        if constexpr (!G && !Tr) return x;
        if constexpr (!G && Tr) return Mix<8>(d, x, a);
        if constexpr (G && !Tr) return Mix<8>(d, x, L);
        if constexpr (G && Tr) return Mix<16>(d, x, L * a);
      } else {
        if constexpr (!G && !Tr) return Mix<8>(d, x, v);
        if constexpr (!G && Tr) return Mix<16>(d, x, v * a);
        if constexpr (G && !Tr) return Mix<16>(d, x, L * v);
        if constexpr (G && Tr) return Mix<24>(d, x, L * v * a);
      }
    }
    return 0;
  }

  template <bool Tr>
  static inline void Blend(uint8_t* dst, uint32_t s, const uint32_t* cp, uint32_t a, uint32_t L) {
    const uint32_t D = LoadPixel<Bits>(dst);
    const uint32_t v = UsesV ? PlaneByte(cp[3]) : 0;
    uint32_t out = 0;
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      const uint32_t t = (s >> kShift[k]) & kMax[k];
      const uint32_t d = (D >> kShift[k]) & kMax[k];
      out |= (Channel<Tr>(k, t, PlaneByte(cp[k]), d, v, a, L) & kMax[k]) << kShift[k];
    }
    if constexpr (Mode == 2 || Mode == 3) {
      out = Bits == 32 ? softblit::Packed32<Mode, true>(D, out) : softblit::Packed16<Mode, true>(D, out);
    } else if constexpr (Bits == 32) {
      out |= D & 0xFF000000u;  // the fourth byte is not a channel
    }
    if constexpr (Bits == 32) {
      std::memcpy(dst, &out, 4);
    } else {
      const uint16_t h = static_cast<uint16_t>(out);
      std::memcpy(dst, &h, 2);
    }
  }

  static inline void Pixel(const SpanJob& j, uint8_t* dst, const uint8_t* texel, uint32_t g,
                           const uint32_t* cp) {
    const uint32_t L = G ? j.Px.Levels[g] : 0;
    if constexpr (S == SrcKind::Palette) {
      const uint32_t i = *texel;
      if (K && i == j.Px.Key) return;
      Blend<false>(dst, LoadPixel<Bits>(j.Px.Palette + i * (Bits / 8)), cp, 0, L);
    } else if constexpr (S == SrcKind::Direct) {
      const uint32_t s = LoadPixel<Bits>(texel);
      if (K && s == j.Px.Key) return;
      Blend<false>(dst, s, cp, 0, L);
    } else {
      const uint32_t s = LoadPixel<Bits>(texel);
      const uint32_t a = Bits == 32 ? s >> 24 : texel[2];
      if constexpr (K) {
        if (SkipAlphaZero && a == 0) return;
        if (a == 255) {
          Blend<false>(dst, s, cp, a, L);
          return;
        }
      }
      Blend<true>(dst, s, cp, a, L);
    }
  }
};

template <int Bits, SrcKind S, DepthMode D, int Mode, bool G, bool K>
void VcSpans(const SpanJob& j) {
  RunSpans<D, VcOp<Bits, S, Mode, G, K>>(j);
}

template <int Bits, SrcKind S, DepthMode D, int Mode>
SpanFn PickVcFlags(const VcChoice& c) {
  if (c.Graph) return c.Key ? VcSpans<Bits, S, D, Mode, true, true> : VcSpans<Bits, S, D, Mode, true, false>;
  return c.Key ? VcSpans<Bits, S, D, Mode, false, true> : VcSpans<Bits, S, D, Mode, false, false>;
}

template <int Bits, SrcKind S, DepthMode D>
SpanFn PickVcMode(const VcChoice& c) {
  return PickForSoftBlendMode(c.Mode, [&](auto m) { return PickVcFlags<Bits, S, D, decltype(m)::value>(c); });
}

template <int Bits, SrcKind S>
SpanFn PickVc(const VcChoice& c) {
  return PickForDepthMode(c.Depth, [&](auto d) { return PickVcMode<Bits, S, decltype(d)::value>(c); });
}

SpanFn SelectVc32Direct(const VcChoice& c);
SpanFn SelectVc32Alpha(const VcChoice& c);
SpanFn SelectVc32Palette(const VcChoice& c);
SpanFn SelectVc16Direct(const VcChoice& c);
SpanFn SelectVc16Alpha(const VcChoice& c);
SpanFn SelectVc16Palette(const VcChoice& c);

// The loop for a 16- or 32-bit texture of the given kind; null when the
// mode is not drawn.
inline SpanFn SelectVertexColourSpans(int bits, SrcKind s, const VcChoice& c) {
  using Selector = SpanFn (*)(const VcChoice&);
  // Indexed by depth (16, 32), then kind in the order direct, alpha, palette.
  static constexpr Selector kSelectors[2][3] = {{SelectVc16Direct, SelectVc16Alpha, SelectVc16Palette},
                                                {SelectVc32Direct, SelectVc32Alpha, SelectVc32Palette}};
  static_assert(int(SrcKind::Direct) == 0 && int(SrcKind::Alpha) == 1 && int(SrcKind::Palette) == 2);
  return kSelectors[bits == 32 ? 1 : 0][static_cast<int>(s)](c);
}

}  // namespace tri3d
