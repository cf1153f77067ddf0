// Vectors and matrices of the 3-D drawing state; rectangles come from the
// image layer.
#pragma once
#include <cstdint>

#include "image/rect.h"

// Three floats: a point or a direction.
struct Vector3 {
  float X, Y, Z;
};

// A 4 x 4 single-precision matrix, row-major (m[row][column]), used with row
// vectors: a point transforms as p' = p x M, translation in the fourth row,
// left-handed view space looking along +z.
struct Matrix4 {
  float M[4][4];
};

// out = identity. Returns 0.
int MatrixIdentity(Matrix4* out);
// out = a x b, formed in a temporary so out may be a or b; a null out writes
// nothing. Returns 0.
int MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b);
// Maps -1..1 in x onto x0 - w/2 .. x0 + w/2 and +1 in y onto the top. Returns 0.
int MatrixViewport(Matrix4* out, float x0, float y0, float width, float height);
// Perspective projection; aspect is height / width, a negative aspect takes
// the screen's. 0, or -1 for a degenerate projection (out unchanged).
int MatrixPerspective(Matrix4* out, float fov, float zNear, float zFar, float aspect);
// View matrix of an eye looking at a target with the given up direction. Returns 0.
int MatrixLookAt(Matrix4* out, const Vector3* eye, const Vector3* target, const Vector3* up);
// a . b as a double.
double VectorDot(const Vector3* a, const Vector3* b);
