// Plain copies through a valid run table: sprites with long drawn spans and
// noisy images with short ones give the pixels of the reference model, runs
// of every length included, also after direct writes the table no longer
// matches.
#include "softrender/test_support.h"

namespace {

class RunChoiceTest : public SoftRenderTest {};

// A round sprite (transparent corners, a translucent or keyed rim) or noise.
void Paint(TestImg& img, bool alpha, bool is32, bool noise, std::mt19937& rng) {
  for (int y = 0; y < img.m.Height; ++y)
    for (int x = 0; x < img.m.Width; ++x) {
      uint8_t* p = img.At(x, y);
      const int bpp = img.m.Base->Format->BytesPerPixel;
      for (int b = 0; b < bpp; ++b) p[b] = static_cast<uint8_t>(rng() | 1);
      int kind;  // 0 transparent, 1 opaque, 2 translucent
      if (noise) {
        kind = static_cast<int>(rng() % 3);
      } else {
        const int dx = 2 * x - (img.m.Width - 1), dy = 2 * y - (img.m.Height - 1), r2 = dx * dx + dy * dy;
        const int r = img.m.Width - 1;
        kind = r2 > r * r ? 0 : r2 > (r - 6) * (r - 6) ? 2 : 1;
      }
      if (alpha)
        p[is32 ? 3 : 2] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(1 + rng() % 254);
      else if (kind == 0)
        std::memset(p, 0, bpp);
    }
}

TEST_F(RunChoiceTest, PlainCopiesMatchTheModelOnSpritesAndNoise) {
  std::mt19937 rng(31);
  for (int depth = 0; depth < 2; ++depth) {
    const bool is32 = depth == 1;
    const MemImgColorType type = is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    for (int alpha = 0; alpha < 2; ++alpha) {
      for (int noise = 0; noise < 2; ++noise) {
        for (int size : {1, 2, 3, 5, 7, 40, 150}) {  // the widest has opaque runs longer than 64
          TestImg dst, src;
          ASSERT_EQ(dst.Make(size + 8, size + 8, type), 0);
          ASSERT_EQ(src.Make(size, size, type, 0, alpha, 1), 0);
          Paint(src, alpha, is32, noise, rng);
          ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
          ASSERT_EQ(src.m.Base->RunTableValid, 1u);
          if (noise) {
            EXPECT_LT(src.m.Base->RunTableSpanLength, 8u);
          } else if (size == 150) {
            EXPECT_GE(src.m.Base->RunTableSpanLength, 32u);
          }
          for (int mode : {0, 1}) {  // mode 1 at p = 255 is the same plain copy
            const RefBlendState st{{0, 0, size + 8, size + 8}, mode, 255, 0xFFFFFF, false};
            std::vector<uint8_t> init(dst.Bytes());
            for (auto& v : init) v = static_cast<uint8_t>(rng());
            dst.Restore(init);
            RefDrawMemImg(&dst.m, &src.m, 3, 4, 1, nullptr, st);
            const std::vector<uint8_t> want = dst.Snapshot();
            dst.Restore(init);
            ApplyState(st);
            DrawMemImg(&dst.m, &src.m, 3, 4, 1, nullptr);
            EXPECT_EQ(dst.Snapshot(), want) << "bits " << (is32 ? 32 : 16) << " alpha " << alpha << " noise "
                                            << noise << " size " << size << " mode " << mode;
            // The run loops themselves, whatever the table's spans.
            const uint32_t spanLength = src.m.Base->RunTableSpanLength;
            src.m.Base->RunTableSpanLength = 0xFFFFFFFFu;
            dst.Restore(init);
            DrawMemImg(&dst.m, &src.m, 3, 4, 1, nullptr);
            src.m.Base->RunTableSpanLength = spanLength;
            EXPECT_EQ(dst.Snapshot(), want) << "run loops: bits " << (is32 ? 32 : 16) << " alpha " << alpha
                                            << " noise " << noise << " size " << size << " mode " << mode;
          }
        }
      }
    }
  }
}

// Drawing into an image's pixels leaves its run table valid: an unclipped
// keyed draw still follows the table's kinds, not the pixels, in every plain
// copy (kind 0 skipped, kind 1 copied as opaque, kind 2 weighed by its alpha).
TEST_F(RunChoiceTest, PlainCopiesFollowTheTableAfterDirectWrites) {
  std::mt19937 rng(77);
  for (int depth = 0; depth < 2; ++depth) {
    const bool is32 = depth == 1;
    const MemImgColorType type = is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    for (int alpha = 0; alpha < 2; ++alpha) {
      for (int noise = 0; noise < 2; ++noise) {
        for (int size : {3, 9, 40, 150}) {
          TestImg dst, src;
          ASSERT_EQ(dst.Make(size + 8, size + 8, type), 0);
          ASSERT_EQ(src.Make(size, size, type, 0, alpha, 1), 0);
          Paint(src, alpha, is32, noise, rng);
          ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
          // Repaint: every kind may now lie under every other.
          Paint(src, alpha, is32, true, rng);
          ASSERT_EQ(src.m.Base->RunTableValid, 1u);
          const RefBlendState st{{0, 0, size + 8, size + 8}, 0, 255, 0xFFFFFF, false};
          std::vector<uint8_t> init(dst.Bytes());
          for (auto& v : init) v = static_cast<uint8_t>(rng());
          dst.Restore(init);
          RefDrawMemImg(&dst.m, &src.m, 3, 4, 1, nullptr, st);
          const std::vector<uint8_t> want = dst.Snapshot();
          dst.Restore(init);
          ApplyState(st);
          DrawMemImg(&dst.m, &src.m, 3, 4, 1, nullptr);
          EXPECT_EQ(dst.Snapshot(), want)
              << "bits " << (is32 ? 32 : 16) << " alpha " << alpha << " noise " << noise << " size " << size;
        }
      }
    }
  }
}

}  // namespace
