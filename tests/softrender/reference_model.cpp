#include "softrender/reference_model.h"

#include <cstring>

#include "softrender/memimg_tables.h"

namespace {

uint32_t Rd(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  std::memcpy(&v, p, bytes);
  return v;
}
void Wr(uint8_t* p, uint32_t v, int bytes) { std::memcpy(p, &v, bytes); }

int64_t FloorShift(int64_t v, int bits) {
  // floor(v / 2^bits) for any sign
  const int64_t d = int64_t{1} << bits;
  return v >= 0 ? v / d : -((-v + d - 1) / d);
}

struct Pix {
  bool draw;
  bool useA;  // the alpha is one of the weights
  uint32_t a;
  uint32_t s;  // colour after palette look-up
  bool rawCopy;
};

struct Ctx {
  bool is32;
  int mode;
  int p;
  bool tint;
  uint32_t tb, tg, tr;
  bool graph;
  bool alphaSrc;
  bool paletteSrc;
  bool run;
  bool mmx;
};

// The tint's byte for channel c (0 blue, 1 green, 2 red).
uint32_t TintOf(const Ctx& c, int ch) { return ch == 0 ? c.tb : ch == 1 ? c.tg : c.tr; }

// Modes 2 and 3 in the packed forms.
uint32_t PackedAdd32(uint32_t d, uint32_t s, bool withB) {
  uint32_t sum = (d & 0xFEFEFF) + (s & 0xFEFEFF);
  uint32_t carries = sum & 0x1010100;
  uint32_t r = sum | (carries - (carries >> 8));
  if (withB) r |= (d | s) & 0x10100;
  return r;
}
uint32_t PackedSub32(uint32_t d, uint32_t s) {
  uint32_t r = (d | 0x1010100) - (s & 0xFEFEFF);
  uint32_t guards = r & 0x1010100;
  return r & (guards - (guards >> 8));
}
uint32_t PackedAdd16(uint32_t d, uint32_t s, bool withB) {
  uint32_t sum = (d & 0xF7DF) + (s & 0xF7DF);
  uint32_t carries = sum & 0x10820;
  uint32_t r = sum | (carries - (carries >> 5));
  if (withB) r |= (d | s) & 0x0820;
  return r & 0xFFFF;
}
uint32_t PackedSub16(uint32_t d, uint32_t s) {
  uint32_t r = (d | 0x10820) - (s & 0xF7DF);
  uint32_t guards = r & 0x10820;
  return r & (guards - (guards >> 5)) & 0xFFFF;
}

bool Plain(const Ctx& c) { return !c.graph && !c.tint && !c.alphaSrc; }

// Modes that weigh the source by p.
bool PWeighted(int mode) { return mode == 1 || mode == 2 || mode == 3 || mode == 10 || mode == 11; }

// The product W of the weights that apply (graph level, source alpha, p) and
// their count k: a blend scales by W / 256^k.
void Weights(const Ctx& c, uint32_t a, bool useA, uint32_t L, uint64_t* W, int* k) {
  if (c.graph) {
    *W *= L;
    ++*k;
  }
  if (useA) {
    *W *= a;
    ++*k;
  }
  if (PWeighted(c.mode)) {
    *W *= static_cast<uint64_t>(c.p);
    ++*k;
  }
}

uint32_t Pixel32(const Ctx& c, uint32_t s, uint32_t d, uint32_t a, bool useA, uint32_t L) {
  const int mode = c.mode;
  if (!c.run && mode == 1 && c.p == 128 && Plain(c)) return ((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F);
  if (!c.run && (mode == 2 || mode == 3) && c.p == 255 && Plain(c)) {
    if (c.mmx) {
      uint32_t r = 0;
      for (int b = 0; b < 32; b += 8) {
        int x = static_cast<int>((d >> b) & 255), y = static_cast<int>((s >> b) & 255);
        int v = mode == 2 ? x + y : x - y;
        if (v > 255) v = 255;
        if (v < 0) v = 0;
        r |= static_cast<uint32_t>(v) << b;
      }
      return r;
    }
    return mode == 2 ? PackedAdd32(d, s, false) : PackedSub32(d, s);
  }
  uint64_t W = 1;
  int k = 0;
  Weights(c, a, useA, L, &W, &k);
  if (mode == 0 && k == 0 && !c.tint) return s;

  uint32_t out = 0;
  uint32_t sPrime = 0;
  for (int ch = 0; ch < 3; ++ch) {
    int sv = static_cast<int>((s >> (8 * ch)) & 255);
    int dv = static_cast<int>((d >> (8 * ch)) & 255);
    if (mode == 10) sv = 255 - sv;
    if (c.tint) sv = static_cast<int>(MemImgProductTable[TintOf(c, ch)][sv]);
    int64_t res = 0;
    switch (mode) {
      case 0:
      case 1:
      case 10:
      case 11: {
        int64_t X = mode == 11 ? (int64_t{dv} * sv) / 256 : sv;
        if (k == 0)
          res = X;
        else
          res = dv + FloorShift((X - dv) * static_cast<int64_t>(W), 8 * k);
        break;
      }
      case 2:
      case 3: {
        int64_t sp;
        if (k == 1)
          sp = MemImgProductTable[c.p][sv];  // p is the only weight
        else
          sp = (int64_t{sv} * static_cast<int64_t>(W)) >> (8 * k);
        sPrime |= static_cast<uint32_t>(sp) << (8 * ch);
        break;
      }
      case 4:
        res =
            static_cast<int64_t>((static_cast<uint64_t>(dv) * static_cast<uint64_t>(sv) * W) >> (8 + 8 * k));
        break;
    }
    out |= static_cast<uint32_t>(res) << (8 * ch);
  }
  if (mode == 2) return PackedAdd32(d, sPrime, true);
  if (mode == 3) return PackedSub32(d, sPrime);
  return out | (d & 0xFF000000);
}

uint32_t Pixel16(const Ctx& c, uint32_t s, uint32_t d, uint32_t a, bool useA, uint32_t L) {
  const int mode = c.mode;
  if (!c.run && mode == 1 && c.p == 128 && Plain(c)) return ((s >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF);
  if (!c.run && (mode == 2 || mode == 3) && c.p == 255 && Plain(c))
    return mode == 2 ? PackedAdd16(d, s, false) : PackedSub16(d, s);
  uint64_t W = 1;
  int k = 0;
  Weights(c, a, useA, L, &W, &k);
  if (mode == 0 && k == 0 && !c.tint) return s;
  if (mode == 10) s = (~s) & 0xFFFF;

  static const int shifts[3] = {0, 5, 11};
  static const int widths[3] = {5, 6, 5};
  uint32_t out = 0, sPrime = 0;
  for (int ch = 0; ch < 3; ++ch) {
    const int mask = (1 << widths[ch]) - 1;
    int sv = static_cast<int>((s >> shifts[ch]) & mask);
    const int dv = static_cast<int>((d >> shifts[ch]) & mask);
    int64_t res = 0;
    if (mode == 2 || mode == 3) {
      int64_t u;
      if (c.graph) {
        int64_t t = c.tint ? MemImgProductTable[TintOf(c, ch)][sv] : sv;
        int64_t w2 = L;
        int k2 = 1;
        if (useA) {
          w2 *= a;
          ++k2;
        }
        u = (t * w2) >> (8 * k2);
      } else if (useA) {
        int64_t u0 = (int64_t{sv} * a) >> 8;
        u = c.tint ? MemImgProductTable[TintOf(c, ch)][u0] : u0;
      } else {
        u = c.tint ? MemImgProductTable[TintOf(c, ch)][sv] : sv;
      }
      sPrime |= MemImgProductTable[c.p][u] << shifts[ch];
      continue;
    }
    if (c.tint) sv = static_cast<int>(MemImgProductTable[TintOf(c, ch)][sv]);
    if (mode == 4) {
      res = static_cast<int64_t>((static_cast<uint64_t>(dv) * static_cast<uint64_t>(sv) * W) >>
                                 (widths[ch] + 8 * k));
    } else {
      const int64_t X = mode == 11 ? (int64_t{dv} * sv) >> widths[ch] : sv;
      if (k == 0) {
        res = X;
      } else if (k == 1 && PWeighted(mode)) {
        const bool lerp = mode == 1 && !c.run && !c.tint && !c.alphaSrc;
        if (lerp) {
          const int kk = c.p / 4;
          res = (X * kk + dv * (63 - kk)) / 63;
        } else {
          const int64_t diff = X - dv;
          res = dv + diff * c.p / 255;  // truncation toward zero
        }
      } else {
        res = dv + FloorShift((X - dv) * static_cast<int64_t>(W), 8 * k);
      }
    }
    out |= static_cast<uint32_t>(res) << shifts[ch];
  }
  if (mode == 2) return PackedAdd16(d, sPrime, true);
  if (mode == 3) return PackedSub16(d, sPrime);
  return out;
}

}  // namespace

void RefDrawMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* graph,
                   const RefBlendState& st) {
  if (!IsValidMemImg(dest) || !IsValidMemImg(src)) return;
  const MemImgBase* db = dest->Base;
  const MemImgBase* sb = src->Base;
  if (db->Type != sb->Type || db->PaletteFlag || db->AlphaFlag) return;
  if (db->Type > 1) return;
  if (graph && (!IsValidMemImg(graph) || graph->Base->Type != 2 || graph->Width < src->Width ||
                graph->Height < src->Height))
    return;
  Ctx c{};
  c.mode = st.Mode;
  c.p = st.Param < 0 ? 0 : st.Param > 255 ? 255 : st.Param;
  if (c.mode < 0 || c.mode > 11 || (c.mode >= 5 && c.mode <= 9)) return;
  if ((c.mode == 1 || c.mode == 2 || c.mode == 3) && c.p == 0) return;
  if (c.mode == 1 && c.p == 255) c.mode = 0;
  c.is32 = db->Type == 1;
  c.tint = (st.Tint & 0xFFFFFF) != 0xFFFFFF;
  c.tb = st.Tint & 255;
  c.tg = (st.Tint >> 8) & 255;
  c.tr = (st.Tint >> 16) & 255;
  c.graph = graph != nullptr;
  c.paletteSrc = sb->PaletteFlag != 0;
  c.alphaSrc = sb->AlphaFlag != 0;

  // Clip to the clip rectangle and the destination.
  int64_t l = x, t = y, r = int64_t{x} + src->Width, b = int64_t{y} + src->Height;
  int64_t cl = st.Clip.Left < 0 ? 0 : st.Clip.Left, ct = st.Clip.Top < 0 ? 0 : st.Clip.Top;
  int64_t cr = st.Clip.Right > dest->Width ? dest->Width : st.Clip.Right;
  int64_t cb = st.Clip.Bottom > dest->Height ? dest->Height : st.Clip.Bottom;
  if (l < cl) l = cl;
  if (t < ct) t = ct;
  if (r > cr) r = cr;
  if (b > cb) b = cb;
  if (r <= l || b <= t) return;
  // The run table lists the image's rows from the top: it fits a view of
  // whole rows that starts at the first one.
  const bool whole = src->Pixels == sb->Pixels && static_cast<uint32_t>(src->Width) == sb->Width;
  c.run =
      transFlag && sb->RunTableValid && sb->RunTable && whole && r - l == src->Width && b - t == src->Height;
  c.mmx = st.Mmx && c.is32 && !c.run && Plain(c) &&
          ((c.mode == 1 && c.p == 128) || ((c.mode == 2 || c.mode == 3) && c.p == 255));

  const int dbytes = c.is32 ? 4 : 2;
  const int sbytes = c.paletteSrc ? 1 : c.alphaSrc ? 4 : dbytes;
  uint32_t key = sb->TransColor;
  if (!c.paletteSrc && !c.is32) key &= 0xFFFF;

  for (int64_t py = t; py < b; ++py) {
    const int64_t sy = py - y;
    // Gather the row's source pixels and their decisions first.
    const int n = static_cast<int>(r - l);
    Pix row[1024];
    for (int i = 0; i < n; ++i) {
      const int64_t sx = l + i - x;
      const uint8_t* sp = src->Pixels + sy * sb->Pitch + sx * sbytes;
      Pix& px = row[i];
      px = Pix{true, false, 0, 0, false};
      const uint32_t raw = c.paletteSrc ? *sp : Rd(sp, c.is32 ? 4 : 2);
      if (c.paletteSrc)
        px.s = Rd(sb->Palette + raw * (c.is32 ? 4 : 2), c.is32 ? 4 : 2);
      else
        px.s = raw;
      if (c.alphaSrc) {
        px.a = c.is32 ? sp[3] : sp[2];
        if (transFlag) {
          if (px.a == 0) {
            // Multiply weighs an invisible pixel as 0 in the per-pixel loops;
            // the run table skips it.
            px.draw = c.mode == 4 && !c.run;
            px.useA = true;
          } else if (px.a == 255) {
            px.useA = false;
          } else {
            px.useA = true;
          }
        } else {
          px.useA = true;
          if (c.mode == 0 && !c.graph && !c.tint) px.rawCopy = true;
        }
      } else if (transFlag && raw == key) {
        px.draw = false;
      }
    }
    if (c.run) {
      // The run table decides alone, whatever the pixels hold now: kind 0
      // is skipped, kind 1 drawn as opaque without a key test, kind 2 weighed
      // by the alpha (alpha sources) or drawn as opaque; kind 3 ends the row.
      const uint8_t* runs = sb->RunTable;
      for (int64_t row_ = 0; row_ < sy; ++row_)
        while ((*runs++ >> 6) != 3) {}
      int i = 0;
      for (;;) {
        const uint8_t byte = *runs++;
        const int kind = byte >> 6;
        if (kind == 3) break;
        for (int k = 0; k <= (byte & 63) && i < n; ++k, ++i) {
          row[i].draw = kind != 0;
          row[i].useA = kind == 2 && c.alphaSrc;
          row[i].rawCopy = false;
        }
      }
    }
    uint8_t* drow = dest->Pixels + py * db->Pitch;
    const bool pairs = !c.is32 && !c.run && (c.mode == 2 || c.mode == 3) && c.p == 255 && Plain(c);
    for (int i = 0; i < n; ++i) {
      uint8_t* dp = drow + (l + i) * dbytes;
      const uint32_t L =
          c.graph ? BlendGraphLevelTable[graph->Pixels[sy * graph->Base->Pitch + (l + i - x)]] : 0;
      if (pairs && (i % 2 == 0) && i + 1 < n && row[i].draw && row[i + 1].draw) {
        const uint32_t dd = Rd(dp, 4), ss = row[i].s | row[i + 1].s << 16;
        uint32_t res;
        if (c.mode == 2) {
          const uint64_t sum64 = uint64_t{dd & 0xF7DEF7DF} + (ss & 0xF7DEF7DF);
          const uint32_t sum = static_cast<uint32_t>(sum64);
          const uint32_t carries = sum & 0x8210820;
          uint32_t sub = carries >> 5;
          if (sum64 > 0xFFFFFFFFull) sub |= 0x8000000;
          res = sum | (carries - sub);
        } else {
          const uint32_t left = dd | 0x8210820, right = ss & 0xF7DEF7DF;
          const uint32_t rr = left - right;
          const uint32_t guards = rr & 0x8210820;
          uint32_t keep = guards - (guards >> 5);
          if (left >= right) keep |= 0xF8000000;
          res = rr & keep;
        }
        Wr(dp, res, 4);
        ++i;
        continue;
      }
      if (!row[i].draw) continue;
      const uint32_t d = Rd(dp, dbytes);
      uint32_t v;
      if (row[i].rawCopy)
        v = row[i].s;
      else if (c.is32)
        v = Pixel32(c, row[i].s, d, row[i].a, row[i].useA, L);
      else
        v = Pixel16(c, row[i].s, d, row[i].a, row[i].useA, L);
      Wr(dp, v, dbytes);
    }
  }
}
