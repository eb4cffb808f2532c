#include "geometry3d/vector_math.hpp"

#include <algorithm>

namespace vx::geometry3d {
namespace {

Vec3 Basis(int c) {
  Vec3 e;
  e[c] = 1;
  return e;
}

// Determinant of the 2 x 2 minor that leaves out row r and column c.
double Minor(const Mat3& a, int r, int c) {
  const int r0 = r == 0 ? 1 : 0;
  const int r1 = r == 2 ? 1 : 2;
  const int c0 = c == 0 ? 1 : 0;
  const int c1 = c == 2 ? 1 : 2;
  return a.m[r0][c0] * a.m[r1][c1] - a.m[r0][c1] * a.m[r1][c0];
}

std::optional<Vec3> RotationVectorOfPair(const Mat3& m, int p, int q) {
  const Vec3 ep = Basis(p);
  const Vec3 mp = m.Column(p);
  const Vec3 dp = mp - ep;
  const Vec3 dq = m.Column(q) - Basis(q);
  const Vec3 axis = Cross(dp, dq);
  const double axis_length = Length(axis);
  if (!(axis_length >= kShortVector)) return std::nullopt;
  Vec3 t1 = Cross(axis, ep);
  Vec3 t2 = Cross(axis, mp);
  const double t1_length = Length(t1);
  if (!(t1_length >= kShortVector)) return std::nullopt;
  t1 = t1 / t1_length;
  t2 = t2 / t1_length;
  if (!(Length(t2) > 0)) return std::nullopt;
  const double angle = AngleBetween(t1, t2);
  const double sign = Dot(axis, Cross(t1, t2)) >= 0 ? 1.0 : -1.0;
  return axis / axis_length * (sign * angle);
}

}  // namespace

Mat3 Identity() {
  Mat3 a;
  for (int i = 0; i < 3; ++i) a.m[i][i] = 1;
  return a;
}

Mat3 operator*(const Mat3& a, const Mat3& b) {
  Mat3 r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    }
  }
  return r;
}

Vec3 operator*(const Mat3& a, Vec3 v) {
  return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
          a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
          a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}

double Pi() { return 2 * std::acos(0.0); }

std::optional<Mat3> Inverse(const Mat3& a) {
  const double det = a.m[0][0] * Minor(a, 0, 0) - a.m[0][1] * Minor(a, 0, 1) +
                     a.m[0][2] * Minor(a, 0, 2);
  if (!(std::fabs(det) >= kSingularDeterminant)) return std::nullopt;
  Mat3 r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double sign = (i + j) % 2 == 0 ? 1.0 : -1.0;
      r.m[i][j] = sign * Minor(a, j, i) / det;  // adjugate: the transposed cofactors
    }
  }
  return r;
}

Mat3 RotationMatrix(Vec3 r) {
  const double theta = Length(r);
  if (!(theta >= kShortVector)) return Identity();
  const Vec3 k = r / theta;
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  Mat3 out;
  for (int col = 0; col < 3; ++col) {
    const Vec3 e = Basis(col);
    const Vec3 along = k * Dot(e, k);
    const Vec3 w = e - along;
    out.SetColumn(col, along + w * c + Cross(k, w) * s);
  }
  return out;
}

double AngleBetween(Vec3 u, Vec3 v) {
  u = u / Length(u);
  v = v / Length(v);
  const double c = Dot(u, v);
  const double s = std::min(Length(Cross(u, v)), 1.0);
  if (s > 0.5) return std::acos(std::clamp(c, -1.0, 1.0));
  return c >= 0 ? std::asin(s) : Pi() - std::asin(s);
}

std::optional<Vec3> RotationVector(const Mat3& m, int mode) {
  static constexpr int kPairs[3][2] = {{0, 1}, {1, 2}, {2, 0}};
  auto pair_of = [](int md) { return md == 2 ? 1 : (md == 3 ? 2 : 0); };
  if (mode != 0) {
    const int k = pair_of(mode);
    return RotationVectorOfPair(m, kPairs[k][0], kPairs[k][1]);
  }
  for (const auto& pair : kPairs) {
    if (auto r = RotationVectorOfPair(m, pair[0], pair[1])) return r;
  }
  return std::nullopt;
}

std::optional<Vec3> Unit(Vec3 v, double limit) {
  const double length = Length(v);
  if (!(length >= limit)) return std::nullopt;
  return v / length;
}

}  // namespace vx::geometry3d
