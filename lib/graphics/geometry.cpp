#include "graphics/geometry.h"

#include <cmath>
#include <cstring>

#include "graphics/soft/display.h"

// ---- Matrices -------------------------------------------------------------------

namespace {

Vector3 Sub(const Vector3& a, const Vector3& b) { return Vector3{a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return Vector3{a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

// A zero vector stays zero rather than becoming NaN.
Vector3 Normalised(const Vector3& v) {
  const double length = std::sqrt(VectorDot(&v, &v));
  if (length == 0.0) return v;
  const float k = float(1.0 / length);
  return Vector3{v.X * k, v.Y * k, v.Z * k};
}

}  // namespace

int MatrixIdentity(Matrix4* out) {
  std::memset(out, 0, sizeof *out);
  for (int i = 0; i < 4; ++i) out->M[i][i] = 1.0f;
  return 0;
}

int MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b) {
  if (!out) return 0;
  Matrix4 t;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a->M[i][k] * b->M[k][j];
      t.M[i][j] = sum;
    }
  *out = t;
  return 0;
}

int MatrixViewport(Matrix4* out, float x0, float y0, float width, float height) {
  std::memset(out, 0, sizeof *out);
  out->M[0][0] = width * 0.5f;
  out->M[1][1] = height * -0.5f;
  out->M[2][2] = 1.0f;
  out->M[3][0] = x0;
  out->M[3][1] = y0;
  out->M[3][3] = 1.0f;
  return 0;
}

int MatrixPerspective(Matrix4* out, float fov, float zNear, float zFar, float aspect) {
  if (aspect < 0.0f) {
    int w = 640, h = 480;
    GetScreenSize(&w, &h);
    aspect = float(h) / float(w);
  }
  const float s = std::sin(fov * 0.5f);
  const float c = std::cos(fov * 0.5f);
  if (std::fabs(zFar - zNear) < 0.01f || std::fabs(s) < 0.01f) return -1;
  const float cot = c / s;
  const float q = zFar / (zFar - zNear);
  std::memset(out, 0, sizeof *out);
  out->M[0][0] = aspect * cot;
  out->M[1][1] = cot;
  out->M[2][2] = q;
  out->M[2][3] = 1.0f;
  out->M[3][2] = -q * zNear;
  return 0;
}

int MatrixLookAt(Matrix4* out, const Vector3* eye, const Vector3* target, const Vector3* up) {
  const Vector3 f0 = Sub(*target, *eye);
  const Vector3 side = Cross(*up, f0);
  const Vector3 r = Normalised(side);
  const Vector3 u = Normalised(Cross(f0, side));
  const Vector3 f = Normalised(f0);
  out->M[0][0] = r.X;
  out->M[0][1] = u.X;
  out->M[0][2] = f.X;
  out->M[0][3] = 0.0f;
  out->M[1][0] = r.Y;
  out->M[1][1] = u.Y;
  out->M[1][2] = f.Y;
  out->M[1][3] = 0.0f;
  out->M[2][0] = r.Z;
  out->M[2][1] = u.Z;
  out->M[2][2] = f.Z;
  out->M[2][3] = 0.0f;
  out->M[3][0] = float(-VectorDot(&r, eye));
  out->M[3][1] = float(-VectorDot(&u, eye));
  out->M[3][2] = float(-VectorDot(&f, eye));
  out->M[3][3] = 1.0f;
  return 0;
}

double VectorDot(const Vector3* a, const Vector3* b) {
  return double(a->X) * b->X + double(a->Y) * b->Y + double(a->Z) * b->Z;
}
