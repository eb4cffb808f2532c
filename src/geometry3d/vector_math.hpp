#pragma once
// 3-vectors and row-major 3 x 3 matrices of doubles, and the rotation
// maths the script APIs and the 3D view share.
#include <array>
#include <cmath>
#include <optional>

namespace vx::geometry3d {

struct Vec3 {
  double x = 0;
  double y = 0;
  double z = 0;

  double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  friend bool operator==(const Vec3&, const Vec3&) = default;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline Vec3 operator/(Vec3 a, double k) { return {a.x / k, a.y / k, a.z / k}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

// Row-major: m[row][column].
struct Mat3 {
  std::array<std::array<double, 3>, 3> m{};

  Vec3 Column(int c) const { return {m[0][c], m[1][c], m[2][c]}; }
  void SetColumn(int c, Vec3 v) {
    m[0][c] = v.x;
    m[1][c] = v.y;
    m[2][c] = v.z;
  }
  friend bool operator==(const Mat3&, const Mat3&) = default;
};

Mat3 Identity();
Mat3 operator*(const Mat3& a, const Mat3& b);
Vec3 operator*(const Mat3& a, Vec3 v);

// π as the rotation APIs use it: 2 acos(0).
double Pi();

// Limits of the family.
inline constexpr double kSingularDeterminant = 1e-12;  // VRevMtx
inline constexpr double kShortVector = 1e-12;          // axes, columns, rotation pairs
inline constexpr double kShortUnitVector = 1e-13;      // VElem

// Inverse by cofactors over the determinant; empty when |det| < 1e-12.
std::optional<Mat3> Inverse(const Mat3& a);

// Right-handed rotation about r by |r| radians (Rodrigues); the identity
// when |r| < 1e-12.
Mat3 RotationMatrix(Vec3 r);

// Angle between u and v (0 to π), accurate near 0 and π: acos of the cosine
// (clamped to [-1, 1]) when the sine exceeds 0.5, else from asin of the sine.
// Both must be non-zero.
double AngleBetween(Vec3 u, Vec3 v);

// The rotation vector (unit axis × signed angle) of the rotation m, found
// from the basis pair that `mode` selects: 2 → (1, 2), 3 → (2, 0), any other
// → (0, 1); 0 tries modes 1, 2, 3 in turn. Empty when no tried pair works.
std::optional<Vec3> RotationVector(const Mat3& m, int mode);

// Unit vector of v; empty when |v| < limit.
std::optional<Vec3> Unit(Vec3 v, double limit);

}  // namespace vx::geometry3d
