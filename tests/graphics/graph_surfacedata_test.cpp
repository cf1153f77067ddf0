// Surface-data records: normalised requests, software images, locking, the
// depth image, reference counts and the pixel-format helpers.
#include "graph_fixture.h"
#include "graphics/surfacedata.h"
#include "vexlo.h"

using namespace graphtest;

namespace {

SurfaceFormatRequest Request(uint8_t texture, uint8_t alpha, uint8_t drawValid, uint8_t alphaTest,
                             uint8_t bits) {
  return SurfaceFormatRequest{texture, alpha, drawValid, 0, 0, alphaTest, bits, 0, 0};
}

TEST_F(Graphics16Test, AnAlphaRequestGivesASoftwareAlphaImage) {
  const SurfaceFormatRequest q = Request(0, 1, 0, 1, 16);
  const int h = AddSurfaceData(1, 10, 10, 0, &q);
  ASSERT_GE(h, 0);
  EXPECT_EQ(h & 0xF8000000, SURFACE_DATA_HANDLE_TAG);
  const SurfaceDataRecord* r = GetSurfaceDataRecord(h);
  EXPECT_EQ(r->Software, 1u);
  EXPECT_EQ(r->FormatIndex, 11);
  EXPECT_EQ(r->Request.SystemMemory, 1);
  EXPECT_EQ(r->Request.DrawValid, 1);
  EXPECT_EQ(r->Request.AlphaTestFlag, 0);
  EXPECT_EQ(r->Image.Base->AlphaFlag, 1u);
  const SurfaceFormatRequest deep = Request(0, 1, 0, 0, 32);
  const int d = AddSurfaceData(1, 4, 4, 0, &deep);
  EXPECT_EQ(GetSurfaceDataRecord(d)->FormatIndex, 13);
  EXPECT_EQ(DeleteSurfaceData(h), 0);
  EXPECT_EQ(DeleteSurfaceData(h), -1);
  DeleteSurfaceData(d);
}

TEST(TextureFormatIndex, FollowsTheRequestBytes) {
  SurfaceFormatRequest q = Request(1, 0, 1, 1, 16);
  EXPECT_EQ(GetTextureFormatIndex(&q), 8);
  q = Request(1, 0, 1, 0, 32);
  EXPECT_EQ(GetTextureFormatIndex(&q), 7);
  q = Request(1, 1, 0, 0, 16);
  EXPECT_EQ(GetTextureFormatIndex(&q), 2);
  q = Request(1, 0, 0, 1, 32);
  EXPECT_EQ(GetTextureFormatIndex(&q), 5);
  q = Request(1, 0, 0, 0, 32);
  EXPECT_EQ(GetTextureFormatIndex(&q), 1);
}

TEST_F(Graphics16Test, TextureRequestsAreNormalisedAndDrawnInSoftware) {
  const SurfaceFormatRequest q = Request(1, 0, 1, 1, 16);
  const int h = AddSurfaceData(1, 8, 8, 0, &q);
  ASSERT_GE(h, 0);
  const SurfaceDataRecord* r = GetSurfaceDataRecord(h);
  EXPECT_EQ(r->Request.AlphaTestFlag, 0);
  EXPECT_EQ(GetTextureFormatIndex(&r->Request), 6);
  EXPECT_EQ(r->Software, 1u);
  EXPECT_EQ(r->Surface, nullptr);
  DeleteSurfaceData(h);
}

// Without a software-drawing request, as a new process starts.
class SurfaceDataWithoutSoftware : public teststate::FreshProcessTest {};

TEST_F(SurfaceDataWithoutSoftware, ADeviceSurfaceCannotBeMadeAndLeavesNoRecord) {
  const SurfaceFormatRequest q = Request(0, 0, 1, 0, 16);
  const int count = GraphicsManager.SurfaceData.Count;
  EXPECT_EQ(AddSurfaceData(1, 8, 8, 0, &q), -1);
  EXPECT_EQ(GraphicsManager.SurfaceData.Count, count);
}

TEST_F(Graphics16Test, LockingNestsAndUnlockingPairs) {
  const SurfaceFormatRequest q = Request(0, 0, 1, 0, 16);
  const int h = AddSurfaceData(1, 32, 16, 0, &q);
  int pitch = 0;
  uint8_t* first = nullptr;
  const Rect at{4, 2, 8, 8};
  ColorFormat f{};
  ASSERT_EQ(LockSurfaceData(h, &pitch, &first, 0, &at, &f), 0);
  EXPECT_EQ(f.BitDepth, 16);
  const SurfaceDataRecord* r = GetSurfaceDataRecord(h);
  EXPECT_EQ(first, r->Image.Pixels + 2 * pitch + 4 * 2);
  uint8_t* again = nullptr;
  EXPECT_EQ(LockSurfaceData(h, &pitch, &again, 0, nullptr, nullptr), -2);
  EXPECT_EQ(again, first);
  EXPECT_EQ(UnlockSurfaceData(h, nullptr), 0);
  EXPECT_EQ(r->LockCount, 1);
  EXPECT_EQ(UnlockSurfaceData(h, nullptr), 0);
  EXPECT_EQ(UnlockSurfaceData(h, nullptr), -1);
  const Rect outside{40, 0, 50, 4};
  EXPECT_EQ(LockSurfaceData(h, &pitch, &first, 0, &outside, nullptr), -1);
  DeleteSurfaceData(h);
}

TEST_F(Graphics16Test, DepthImagesNeedADrawTargetAndReferencesCount) {
  const SurfaceFormatRequest q = Request(0, 0, 1, 0, 16);
  const int h = AddSurfaceData(1, 16, 16, 0, &q);
  ASSERT_EQ(AttachZBufferSurface(h, 1), 0);
  EXPECT_EQ(IsValidMemImg(&GetSurfaceDataRecord(h)->ZImage), 1);
  ASSERT_EQ(AttachZBufferSurface(h, 0), 0);
  EXPECT_EQ(IsValidMemImg(&GetSurfaceDataRecord(h)->ZImage), 0);
  GetSurfaceDataRecord(h)->Request.DrawValid = 0;
  EXPECT_EQ(AttachZBufferSurface(h, 1), -1);
  EXPECT_EQ(AddSurfaceDataRef(h), 2);
  EXPECT_EQ(ReleaseSurfaceDataRef(h), 1);
  EXPECT_EQ(AddSurfaceDataRef(0x38000000 | 0xFFFF), -1);
  int lost = 0;
  GetSurfaceDataRecord(h)->LostFlag = &lost;
  DeleteSurfaceData(h);
  EXPECT_EQ(lost, 1);
}

TEST(PixelFormats, RecordsAndColourFormatsAgree) {
  PixelFormatRecord p{};
  ASSERT_EQ(MakeRgbPixelFormat(&p, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u), 0);
  EXPECT_EQ(p.Size, 32u);
  EXPECT_EQ(p.Flags, 0x40u);
  ColorFormat f{};
  ColorFormatFromPixelFormat(&p, &f);
  EXPECT_EQ(f.BytesPerPixel, 4);
  EXPECT_EQ(f.AlphaShift, 24);
  EXPECT_EQ(f.UnusedMask, 0u);
  MakeRgbPixelFormatImpl(&p, 16, 0x7C00, 0x03E0, 0x001F, 0);
  ColorFormatFromPixelFormat(&p, &f);
  EXPECT_EQ(f.UnusedMask, 0x8000u);
  EXPECT_EQ(f.UnusedShift, 15);
  EXPECT_EQ(f.GreenWidth, 5);
  uint16_t px[4] = {0, 1, 2, 3};
  const Rect r{3, 0, 1, 1};
  SetUnusedBitsInRect(&r, reinterpret_cast<uint8_t*>(px), 8, &f, 1);
  EXPECT_EQ(px[0], 0u);
  EXPECT_EQ(px[1], 0x8001u);
  EXPECT_EQ(px[2], 0x8002u);
  EXPECT_EQ(px[3], 3u);
}

}  // namespace
