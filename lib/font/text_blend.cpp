#include "font/text_blend.h"

#include "softrender/blend_mode.h"

namespace {

// One channel: d destination, s source, max channel maximum, bits its width,
// a coverage (1 to 255), p parameter.
template <int Mode>
inline int BlendChannel(int d, int s, int max, int bits, int a, int p) {
  constexpr bool kUsesParam = BlendModeUsesParam(Mode);
  int64_t w = 1;
  int shift = 0;
  if (a != 255) {
    w *= a;
    shift += 8;
  }
  if (kUsesParam) {
    w *= p;
    shift += 8;
  }
  if constexpr (Mode == BLEND_INVSRC) s = max - s;
  if constexpr (Mode == BLEND_COPY || Mode == BLEND_ALPHA || Mode == BLEND_INVSRC || Mode == BLEND_MULA) {
    int x = Mode == BLEND_MULA ? (d * s) >> bits : s;
    if (shift == 0) return x;
    return d + static_cast<int>((static_cast<int64_t>(x - d) * w) >> shift);
  } else if constexpr (Mode == BLEND_ADD || Mode == BLEND_SUB) {
    // With the parameter as the only weight the source is scaled through the
    // product table (s * p / 255), so p = 255 adds the source unscaled.
    int sp = a == 255 ? s * p / 255 : static_cast<int>((static_cast<int64_t>(s) * w) >> shift);
    if (Mode == BLEND_ADD) return d + sp > max ? max : d + sp;
    return d - sp < 0 ? 0 : d - sp;
  } else {  // multiply
    return static_cast<int>((static_cast<int64_t>(d) * s * w) >> (bits + shift));
  }
}

template <int Mode>
void Span8888(uint8_t* dst, const uint8_t* cov, int n, const TextColor& c, int p) {
  for (int i = 0; i < n; ++i, dst += 4) {
    int a = cov[i];
    if (a == 0) continue;
    for (int ch = 0; ch < 3; ++ch)
      dst[ch] = static_cast<uint8_t>(BlendChannel<Mode>(dst[ch], c.C[ch], 255, 8, a, p));
  }
}

template <int Mode>
void Span565(uint8_t* dst, const uint8_t* cov, int n, const TextColor& c, int p) {
  for (int i = 0; i < n; ++i, dst += 2) {
    int a = cov[i];
    if (a == 0) continue;
    int v = dst[0] | dst[1] << 8;
    int b = BlendChannel<Mode>(v & 31, c.C[0], 31, 5, a, p);
    int g = BlendChannel<Mode>((v >> 5) & 63, c.C[1], 63, 6, a, p);
    int r = BlendChannel<Mode>((v >> 11) & 31, c.C[2], 31, 5, a, p);
    int out = r << 11 | g << 5 | b;
    dst[0] = static_cast<uint8_t>(out);
    dst[1] = static_cast<uint8_t>(out >> 8);
  }
}

template <int Mode>
TextSpanFn Pick(TextPixelFormat format) {
  return format == TEXT_PIXEL_RGB565 ? &Span565<Mode> : &Span8888<Mode>;
}

}  // namespace

TextSpanFn SelectTextSpan(TextPixelFormat format, int mode, int param) {
  if (format != TEXT_PIXEL_RGB565 && format != TEXT_PIXEL_XRGB8888) return nullptr;
  if (param < 0) param = 0;
  if (param > 255) param = 255;
  switch (mode) {
    case BLEND_COPY:
      return Pick<BLEND_COPY>(format);
    // An alpha blend at full strength is a copy; at zero it draws nothing,
    // as do add and subtract.
    case BLEND_ALPHA:
      return param == 0 ? nullptr : param == 255 ? Pick<BLEND_COPY>(format) : Pick<BLEND_ALPHA>(format);
    case BLEND_ADD:
      return param == 0 ? nullptr : Pick<BLEND_ADD>(format);
    case BLEND_SUB:
      return param == 0 ? nullptr : Pick<BLEND_SUB>(format);
    case BLEND_MUL:
      return Pick<BLEND_MUL>(format);
    case BLEND_INVSRC:
      return Pick<BLEND_INVSRC>(format);
    case BLEND_MULA:
      return Pick<BLEND_MULA>(format);
    default:
      return nullptr;
  }
}

TextColor MakeTextColor(TextPixelFormat format, uint32_t raw) {
  TextColor c{};
  c.Raw = raw;
  if (format == TEXT_PIXEL_RGB565) {
    c.C[0] = static_cast<int32_t>(raw & 31);
    c.C[1] = static_cast<int32_t>((raw >> 5) & 63);
    c.C[2] = static_cast<int32_t>((raw >> 11) & 31);
  } else {
    c.C[0] = static_cast<int32_t>(raw & 0xFF);
    c.C[1] = static_cast<int32_t>((raw >> 8) & 0xFF);
    c.C[2] = static_cast<int32_t>((raw >> 16) & 0xFF);
  }
  return c;
}
