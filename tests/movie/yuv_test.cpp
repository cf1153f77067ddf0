// The YUV-to-RGB tables and both conversion paths (the fixed-point one in
// each of its loops) against slow reference models written from the colour
// formulas, and the update's entry rules over a stock filled by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "movie/theora.h"

namespace {

using Bytes = std::vector<uint8_t>;

int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// The fixed-point rule: 14-bit products summed, divided by 16384 truncating
// toward zero, clamped.
void FixedReference(int y, int u, int v, int* r, int* g, int* b) {
  const int l = (y - 16) * 19070;
  *r = Clamp255((l + (v - 128) * 26148) / 16384);
  *g = Clamp255((l + (128 - u) * 6406 + (128 - v) * 13320) / 16384);
  *b = Clamp255((l + (u - 128) * 33062) / 16384);
}

// The floating-point rule, in single precision, truncated then clamped.
void FloatReference(int y, int u, int v, int* r, int* g, int* b) {
  const float yf = float(y - 16) * 1.164f;
  const float rf = float(v - 128) * 1.596f + yf;
  const float gf = yf - float(u - 128) * 0.391f - float(v - 128) * 0.813f;
  const float bf = float(u - 128) * 2.018f + yf;
  *r = Clamp255(int(rf));
  *g = Clamp255(int(gf));
  *b = Clamp255(int(bf));
}

struct Frame {
  Bytes Y, U, V;
  TheoraFrameSlot Slot{};
  Frame(int yw, int yh, int ys, int uvw, int uvh, int uvs) {
    Y.assign(size_t(ys) * size_t(yh), 0);
    U.assign(size_t(uvs) * size_t(uvh), 0);
    V.assign(size_t(uvs) * size_t(uvh), 0);
    Slot.PlaneY = Y.data();
    Slot.PlaneU = U.data();
    Slot.PlaneV = V.data();
    Slot.YWidth = yw;
    Slot.YHeight = yh;
    Slot.YStride = ys;
    Slot.UVWidth = uvw;
    Slot.UVHeight = uvh;
    Slot.UVStride = uvs;
  }
  uint8_t& y(int c, int r) { return Y[size_t(r) * size_t(Slot.YStride) + size_t(c)]; }
  uint8_t& u(int c, int r) { return U[size_t(r) * size_t(Slot.UVStride) + size_t(c)]; }
  uint8_t& v(int c, int r) { return V[size_t(r) * size_t(Slot.UVStride) + size_t(c)]; }
  void Randomise(uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto& b : Y) b = uint8_t(rng());
    for (auto& b : U) b = uint8_t(rng());
    for (auto& b : V) b = uint8_t(rng());
  }
};

class YuvTables : public ::testing::Test {
 protected:
  void SetUp() override { InitYuvToRgbTables(); }
};

TEST_F(YuvTables, TablesHoldTheTruncatedProductsAndTheClampRange) {
  for (int i = -512; i < 768; ++i) EXPECT_EQ(YuvClamp()[i], Clamp255(i)) << i;
  EXPECT_EQ(VToRedTable[0], -3346944);
  EXPECT_EQ(VToRedTable[255], 3320796);
  EXPECT_EQ(UToGreenTable[0], 819968);
  EXPECT_EQ(UToGreenTable[255], -813562);
  EXPECT_EQ(VToGreenTable[0], 1704960);
  EXPECT_EQ(UToBlueTable[0], -4231936);
  EXPECT_EQ(UToBlueTable[255], 4198874);
  EXPECT_EQ(YToLumaTable[255], 4557730);
  EXPECT_EQ(YToLumaTable[16], 0);
  EXPECT_EQ(VToRedTable[128] | UToGreenTable[128] | VToGreenTable[128] | UToBlueTable[128], 0);
  // Building again gives the same tables.
  const int32_t before = UToBlueTable[3];
  InitYuvToRgbTables();
  EXPECT_EQ(UToBlueTable[3], before);
}

// The fixed-point loops this processor can run: the table-driven one and
// each vector form up to the widest.
std::vector<YuvFixedLoop> FixedLoops() {
  std::vector<YuvFixedLoop> loops;
  for (int l = YUV_LOOP_SCALAR; l <= WidestYuvFixedLoop(); ++l) loops.push_back(YuvFixedLoop(l));
  return loops;
}

uint32_t FixedReferencePixel(int y, int u, int v) {
  int r, g, b;
  FixedReference(y, u, v, &r, &g, &b);
  return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// Every (Y, U, V) through every fixed-point loop: 64 frames of 256 x 256
// blocks, block (bx, by) with U = bx, V = by and the four Y values 4k..4k+3.
TEST_F(YuvTables, FixedPathMatchesTheFormulasForAllInputs) {
  Frame f(512, 512, 512, 256, 256, 256);
  for (int r = 0; r < 256; ++r) {
    for (int c = 0; c < 256; ++c) {
      f.u(c, r) = uint8_t(c);
      f.v(c, r) = uint8_t(r);
    }
  }
  std::vector<uint32_t> want(512 * 512), out(512 * 512);
  int lowest = 1 << 30, highest = -(1 << 30);
  for (int k = 0; k < 64; ++k) {
    for (int r = 0; r < 512; ++r) {
      for (int c = 0; c < 512; ++c) {
        const int y = 4 * k + (r & 1) * 2 + (c & 1), u = c / 2, v = r / 2;
        f.y(c, r) = uint8_t(y);
        want[size_t(r) * 512 + size_t(c)] = FixedReferencePixel(y, u, v);
        const int l = (y - 16) * 19070;
        for (int q : {(l + (v - 128) * 26148) / 16384, (l + (128 - u) * 6406 + (128 - v) * 13320) / 16384,
                      (l + (u - 128) * 33062) / 16384}) {
          lowest = std::min(lowest, q);
          highest = std::max(highest, q);
        }
      }
    }
    for (YuvFixedLoop loop : FixedLoops()) {
      std::fill(out.begin(), out.end(), 0u);
      ConvertYuvFixedWith(loop, &f.Slot, reinterpret_cast<uint8_t*>(out.data()), 512 * 4, 512, 512);
      const auto bad = std::mismatch(out.begin(), out.end(), want.begin());
      if (bad.first != out.end()) {
        const size_t at = size_t(bad.first - out.begin());
        ADD_FAILURE() << "loop " << loop << " Y " << int(f.y(int(at % 512), int(at / 512))) << " U "
                      << at % 512 / 2 << " V " << at / 512 / 2;
      }
    }
  }
  EXPECT_EQ(lowest, -276);
  EXPECT_EQ(highest, 534);
}

TEST_F(YuvTables, WorkedValues) {
  struct Case {
    int y, u, v, r, g, b;
  } cases[] = {{16, 128, 128, 0, 0, 0},  {235, 128, 128, 254, 254, 254}, {255, 128, 128, 255, 255, 255},
               {0, 128, 128, 0, 0, 0},   {81, 90, 240, 254, 0, 0},       {145, 54, 34, 0, 255, 0},
               {41, 240, 110, 0, 0, 255}};
  for (const Case& c : cases) {
    Frame f(2, 2, 2, 1, 1, 1);
    std::fill(f.Y.begin(), f.Y.end(), uint8_t(c.y));
    f.U[0] = uint8_t(c.u);
    f.V[0] = uint8_t(c.v);
    uint8_t out[16];
    ConvertYuvFixed(&f.Slot, out, 8, 2, 2);
    for (int px = 0; px < 4; ++px) {
      EXPECT_EQ(out[px * 4 + 0], c.b) << c.y << "," << c.u << "," << c.v;
      EXPECT_EQ(out[px * 4 + 1], c.g) << c.y << "," << c.u << "," << c.v;
      EXPECT_EQ(out[px * 4 + 2], c.r) << c.y << "," << c.u << "," << c.v;
      EXPECT_EQ(out[px * 4 + 3], 255);
    }
  }
}

// Random planes with padded strides, against the reference model; chroma at
// (c >> xshift, r >> yshift) for every layout.
TEST_F(YuvTables, FloatPathMatchesTheFormulasForEveryLayout) {
  struct Layout {
    int yw, yh, uvw, uvh;
  } layouts[] = {
      {320, 240, 320, 240}, {320, 240, 160, 240}, {321, 241, 161, 121}, {33, 17, 17, 9}, {48, 32, 24, 16}};
  uint32_t seed = 1;
  for (const Layout& l : layouts) {
    Frame f(l.yw, l.yh, l.yw + 13, l.uvw, l.uvh, l.uvw + 7);
    f.Randomise(seed++);
    const int pitch = l.yw * 4 + 12;
    Bytes out(size_t(pitch) * size_t(l.yh), 0xAB);
    ConvertYuvFloat(&f.Slot, out.data(), pitch, l.yw, l.yh);
    const int xs = l.uvw < l.yw ? 1 : 0, ys = l.uvh < l.yh ? 1 : 0;
    int mismatches = 0;
    for (int r = 0; r < l.yh; ++r) {
      for (int c = 0; c < l.yw; ++c) {
        int er, eg, eb;
        FloatReference(f.y(c, r), f.u(c >> xs, r >> ys), f.v(c >> xs, r >> ys), &er, &eg, &eb);
        const uint8_t* px = out.data() + size_t(r) * size_t(pitch) + size_t(c) * 4;
        if ((px[0] != eb || px[1] != eg || px[2] != er || px[3] != 255) && ++mismatches < 5) {
          ADD_FAILURE() << l.yw << "x" << l.yh << " at " << c << "," << r;
        }
      }
      // The row's padding is left alone.
      for (int p = l.yw * 4; p < pitch; ++p) EXPECT_EQ(out[size_t(r) * size_t(pitch) + size_t(p)], 0xAB);
    }
    EXPECT_EQ(mismatches, 0) << l.yw << "x" << l.yh;
  }
}

// Random 2:1 frames through every fixed-point loop, whole destination
// buffers against the reference model: every run length from one block to
// past two of the widest steps (so each loop ends in each narrower one and
// the table-driven tail), strides with and without padding (without, a read
// past the last row leaves the planes), destinations with an odd width or
// height whose last column or row stays as it was, and row padding that
// stays as it was.
TEST_F(YuvTables, EveryFixedLoopMatchesTheFormulasOnRandomFrames) {
  constexpr uint8_t kUntouched = 0xA5;
  uint32_t seed = 1;
  for (int blocks = 1; blocks <= 80; ++blocks) {
    for (int rows = 1; rows <= 3; ++rows) {
      const int yw = 2 * blocks, yh = 2 * rows, padded = (blocks + rows) & 1;
      Frame f(yw, yh, yw + padded * 7, blocks, rows, blocks + padded * 3);
      f.Randomise(seed++);
      // The destination: one column or row short of the planes now and then.
      const int width = yw - (blocks % 3 == 0), height = yh - (blocks % 4 == 1);
      const int pitch = width * 4 + 8;
      Bytes want(size_t(pitch) * size_t(height), kUntouched);
      for (int r = 0; r < height / 2 * 2; ++r) {
        for (int c = 0; c < width / 2 * 2; ++c) {
          const uint32_t px = FixedReferencePixel(f.y(c, r), f.u(c / 2, r / 2), f.v(c / 2, r / 2));
          std::memcpy(want.data() + size_t(r) * size_t(pitch) + size_t(c) * 4, &px, 4);
        }
      }
      for (YuvFixedLoop loop : FixedLoops()) {
        Bytes out(want.size(), kUntouched);
        ConvertYuvFixedWith(loop, &f.Slot, out.data(), pitch, width, height);
        EXPECT_EQ(out, want) << "loop " << loop << ", " << blocks << " x " << rows << " blocks, destination "
                             << width << " x " << height;
      }
    }
  }
}

// The walks stay inside a destination smaller than the planes.
TEST_F(YuvTables, WalksStayInsideTheDestination) {
  Frame f(192, 32, 192, 96, 16, 96);
  f.Randomise(9);
  // 100 x 10: fifty blocks a row, more than one step of every vector loop.
  std::vector<uint32_t> out(size_t(100) * 10 + 1);
  for (YuvFixedLoop loop : FixedLoops()) {
    std::fill(out.begin(), out.end(), 0x12345678u);
    ConvertYuvFixedWith(loop, &f.Slot, reinterpret_cast<uint8_t*>(out.data()), 100 * 4, 100, 10);
    EXPECT_NE(out[out.size() - 2], 0x12345678u) << loop;
    EXPECT_EQ(out.back(), 0x12345678u) << loop;
  }
  std::fill(out.begin(), out.end(), 0x12345678u);
  ConvertYuvFloat(&f.Slot, reinterpret_cast<uint8_t*>(out.data()), 100 * 4, 100, 10);
  EXPECT_EQ(out.back(), 0x12345678u);
}

// A player put together by hand: the stock holds the frames given, the
// thread's state is set by the test.
struct HandPlayer {
  std::unique_ptr<TheoraPlayer> P = std::make_unique<TheoraPlayer>();
  std::unique_ptr<TheoraFrameSlot[]> Slots;
  std::vector<std::unique_ptr<Frame>> Frames;
  HandPlayer(int w, int h, int slots) {
    EXPECT_EQ(MakeXRGB8PixelImageImpl(w, h, &P->Image), 0);
    Slots = std::make_unique<TheoraFrameSlot[]>(size_t(slots));
    P->Stock = Slots.get();
    P->StockSize = slots;
  }
  ~HandPlayer() { ReleasePixelImageImpl(&P->Image); }
  Frame& Store(int slot, int frame, int uvw, int uvh) {
    const int w = P->Image.Width, h = P->Image.Height;
    Frames.push_back(std::make_unique<Frame>(w, h, w, uvw, uvh, uvw));
    Frame& f = *Frames.back();
    f.Randomise(uint32_t(frame + 100));
    TheoraFrameSlot& s = Slots[size_t(slot)];
    s.PlaneY = f.Slot.PlaneY;
    s.PlaneU = f.Slot.PlaneU;
    s.PlaneV = f.Slot.PlaneV;
    s.YWidth = w;
    s.YHeight = h;
    s.YStride = w;
    s.UVWidth = uvw;
    s.UVHeight = uvh;
    s.UVStride = uvw;
    s.Frame = frame;
    s.Used = 1;
    return f;
  }
};

TEST_F(YuvTables, UpdateConvertsOncePerShownFrameAndPicksThePath) {
  HandPlayer hp(32, 16, 3);
  TheoraPlayer* p = hp.P.get();
  hp.Store(0, 4, 16, 8);
  Frame& full = hp.Store(2, 5, 32, 16);  // full-size chroma: floating point
  p->CurrentFrame = 5;
  EXPECT_EQ(UpdateTheoraMovieImage(p, 0, 0), 0);  // nothing asked
  EXPECT_EQ(UpdateTheoraMovieImage(p, 0, 1), 0);  // only the overlay, and there is none
  EXPECT_EQ(p->ImageCurrent, 0);
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 1), 1);
  EXPECT_EQ(p->ImageCurrent, 1);
  int r, g, b;
  FloatReference(full.y(31, 15), full.u(31, 15), full.v(31, 15), &r, &g, &b);
  const uint8_t* px = p->Image.Pixels + 15 * p->Image.Pitch + 31 * 4;
  EXPECT_EQ(px[0], b);
  EXPECT_EQ(px[1], g);
  EXPECT_EQ(px[2], r);
  // The same frame again: nothing to do, the image is left as it is.
  p->Image.Pixels[0] ^= 0xFF;
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 0);
  p->Image.Pixels[0] ^= 0xFF;

  // Frame 4 has half-size chroma: the fixed-point path.
  p->CurrentFrame = 4;
  p->ImageCurrent = 0;
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 1);
  Frame& half = *hp.Frames[0];
  FixedReference(half.y(7, 3), half.u(3, 1), half.v(3, 1), &r, &g, &b);
  px = p->Image.Pixels + 3 * p->Image.Pitch + 7 * 4;
  EXPECT_EQ(px[0], b);
  EXPECT_EQ(px[1], g);
  EXPECT_EQ(px[2], r);
}

TEST_F(YuvTables, UpdateGivesUpWhenTheFrameCannotCome) {
  HandPlayer hp(16, 16, 2);
  TheoraPlayer* p = hp.P.get();
  hp.Store(0, 1, 8, 8);
  p->CurrentFrame = 2;
  p->EndOfStream = 1;  // not stored and the file has ended
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 0);
  EXPECT_EQ(p->ImageCurrent, 0);
  p->CurrentFrame = 1;
  p->ThreadState = THEORA_THREAD_ENDED;  // stored, but the thread has left
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 0);
  EXPECT_EQ(p->ImageCurrent, 0);
}

}  // namespace
