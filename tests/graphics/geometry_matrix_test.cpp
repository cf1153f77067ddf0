// Matrices, projection and look-at, with the worked values.
#include <gtest/gtest.h>

#include "graphics/geometry.h"

namespace {

Matrix4 Filled(float base) {
  Matrix4 m;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m.M[i][j] = base + float(i * 4 + j);
  return m;
}

TEST(Matrix, MultiplyByIdentityInPlaceLeavesTheMatrix) {
  Matrix4 m = Filled(1.0f), id;
  MatrixIdentity(&id);
  const Matrix4 before = m;
  EXPECT_EQ(MatrixMultiply(&m, &m, &id), 0);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(m.M[i][j], before.M[i][j]);
  EXPECT_EQ(MatrixMultiply(nullptr, &m, &id), 0);
}

TEST(Matrix, ProductIsRowByColumn) {
  Matrix4 a = Filled(0.0f), b = Filled(1.0f), out;
  MatrixMultiply(&out, &a, &b);
  float expected = 0.0f;
  for (int k = 0; k < 4; ++k) expected += a.M[1][k] * b.M[k][2];
  EXPECT_FLOAT_EQ(out.M[1][2], expected);
  // out may be the second operand too.
  MatrixMultiply(&b, &a, &b);
  EXPECT_FLOAT_EQ(b.M[1][2], expected);
}

TEST(Matrix, ViewportMapsTheUnitSquareOntoTheTarget) {
  Matrix4 v;
  MatrixViewport(&v, 320.0f, 240.0f, 640.0f, 480.0f);
  EXPECT_FLOAT_EQ(v.M[0][0], 320.0f);
  EXPECT_FLOAT_EQ(v.M[1][1], -240.0f);
  EXPECT_FLOAT_EQ(v.M[3][0], 320.0f);
  EXPECT_FLOAT_EQ(v.M[3][1], 240.0f);
  EXPECT_FLOAT_EQ(v.M[3][3], 1.0f);
  EXPECT_FLOAT_EQ(v.M[0][3], 0.0f);
}

TEST(Matrix, PerspectiveRefusesDegenerateRangesAndTakesTheScreenAspect) {
  Matrix4 p = Filled(9.0f);
  EXPECT_EQ(MatrixPerspective(&p, 1.0471976f, 1.0f, 1.005f, 1.0f), -1);
  EXPECT_EQ(MatrixPerspective(&p, 0.01f, 1.0f, 100.0f, 1.0f), -1);
  EXPECT_FLOAT_EQ(p.M[0][0], 9.0f);  // untouched
  ASSERT_EQ(MatrixPerspective(&p, 1.0471976f, 10.0f, 1010.0f, -1.0f), 0);
  const float cot = 1.7320508f;
  EXPECT_NEAR(p.M[1][1], cot, 1e-5);
  EXPECT_NEAR(p.M[0][0], 0.75f * cot, 1e-5);
  EXPECT_NEAR(p.M[2][2], 1010.0f / 1000.0f, 1e-6);
  EXPECT_FLOAT_EQ(p.M[2][3], 1.0f);
  EXPECT_NEAR(p.M[3][2], -1.01f * 10.0f, 1e-4);
  EXPECT_FLOAT_EQ(p.M[3][3], 0.0f);
}

TEST(Matrix, LookAtAlongZIsATranslation) {
  Matrix4 m;
  const Vector3 eye{320.0f, 240.0f, -415.69f}, at{320.0f, 240.0f, -414.69f}, up{0.0f, 1.0f, 0.0f};
  ASSERT_EQ(MatrixLookAt(&m, &eye, &at, &up), 0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(m.M[i][j], i == j ? 1.0f : 0.0f, 1e-6);
  EXPECT_NEAR(m.M[3][0], -320.0f, 1e-3);
  EXPECT_NEAR(m.M[3][1], -240.0f, 1e-3);
  EXPECT_NEAR(m.M[3][2], 415.69f, 1e-3);
  EXPECT_FLOAT_EQ(m.M[3][3], 1.0f);
}

TEST(Matrix, LookAtSidewaysTurnsTheAxes) {
  Matrix4 m;
  const Vector3 eye{0, 0, 0}, at{1, 0, 0}, up{0, 1, 0};
  MatrixLookAt(&m, &eye, &at, &up);
  // Looking along +x: +x becomes depth, -z becomes the right.
  EXPECT_NEAR(m.M[0][2], 1.0f, 1e-6);
  EXPECT_NEAR(m.M[2][0], -1.0f, 1e-6);
  EXPECT_NEAR(m.M[1][1], 1.0f, 1e-6);
}

TEST(Vector, DotIsComputedInDouble) {
  const Vector3 a{1.0f, 2.0f, 3.0f}, b{4.0f, -5.0f, 6.0f};
  EXPECT_DOUBLE_EQ(VectorDot(&a, &b), 12.0);
}

TEST(RectHelpers, ClipOrderAndSize) {
  const Rect bounds{0, 0, 100, 100};
  Rect a{50, 50, 10, 10};
  ClipRect(&a, &bounds);
  EXPECT_EQ(a.Right, 50);
  EXPECT_EQ(a.Bottom, 50);
  Rect b{-20, 30, 40, 500};
  ClipRect(&b, &bounds);
  EXPECT_EQ(b.Left, 0);
  EXPECT_EQ(b.Bottom, 100);
  Rect c{200, 200, 300, 300};
  ClipRect(&c, &bounds);
  EXPECT_EQ(c.Left, 100);
  EXPECT_EQ(c.Right, 100);
  Rect d{9, 8, 1, 2};
  NormalizeRect(&d);
  int w, h;
  RectDimensions(&d, &w, &h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 6);
}

}  // namespace
