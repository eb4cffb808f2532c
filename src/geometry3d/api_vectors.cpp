// The vector and matrix family: a bank of 200 row-major 3 x 3 matrices and a
// bank of 200 3-vectors kept for the whole process, and stateless vector
// operations. Angles are in radians.
//
// A call that fails sets G_ERROR to 1 and writes no output variable; one
// that succeeds sets it to 0 (VScrew and VValMtx leave it alone). Every
// bank, column and operation index is checked at both ends.
#include <array>
#include <cstdint>
#include <optional>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "geometry3d/geometry3d.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

using geometry3d::Mat3;
using geometry3d::ValidBankIndex;
using geometry3d::Vec3;

geometry3d::Geometry3d& G(Call& call) { return geometry3d::State(call.rt()); }

Mat3& Matrix(Call& call, std::int32_t i) { return G(call).matrices[static_cast<std::size_t>(i)]; }
Vec3& Vector(Call& call, std::int32_t i) { return G(call).vectors[static_cast<std::size_t>(i)]; }

Vec3 VecArgs(Call& call, int n) { return {call.Double(n), call.Double(n + 1), call.Double(n + 2)}; }

// The output variables of arguments n to n + count - 1; false when one is
// missing (the getter has reported it).
template <std::size_t N>
bool Outputs(Call& call, int n, std::array<std::int32_t, N>* out) {
  for (std::size_t k = 0; k < N; ++k) {
    (*out)[k] = call.Resource(n + static_cast<int>(k));
    if ((*out)[k] < 0) return false;
  }
  return true;
}

void WriteVec(Call& call, const std::array<std::int32_t, 3>& out, Vec3 v) {
  for (int k = 0; k < 3; ++k) call.WriteDouble(out[static_cast<std::size_t>(k)], v[k]);
}

bool ValidBanks(std::initializer_list<std::int32_t> indexes) {
  for (std::int32_t i : indexes) {
    if (!ValidBankIndex(i)) return false;
  }
  return true;
}

// VSetMtx index, m00, m01, m02, m10, m11, m12, m20, m21, m22.
void VSetMtx(Call& call) {
  const std::int32_t index = call.Int(0);
  Mat3 m;
  for (int k = 0; k < 9; ++k) m.m[static_cast<std::size_t>(k / 3)][static_cast<std::size_t>(k % 3)] = call.Double(1 + k);
  if (!ValidBankIndex(index)) return call.SetError(1);
  Matrix(call, index) = m;
  call.SetError(0);
}

// VGetMtx index, nine variables (row by row).
void VGetMtx(Call& call) {
  const std::int32_t index = call.Int(0);
  std::array<std::int32_t, 9> out{};
  if (!Outputs(call, 1, &out)) return;
  if (!ValidBankIndex(index)) return call.SetError(1);
  const Mat3& m = Matrix(call, index);
  for (std::size_t k = 0; k < 9; ++k) call.WriteDouble(out[k], m.m[k / 3][k % 3]);
  call.SetError(0);
}

// VAddMtx destination, a, i, b, j: M[destination] = a M[i] + b M[j].
void VAddMtx(Call& call) {
  const std::int32_t dest = call.Int(0);
  const double a = call.Double(1);
  const std::int32_t i = call.Int(2);
  const double b = call.Double(3);
  const std::int32_t j = call.Int(4);
  if (!ValidBanks({dest, i, j})) return call.SetError(1);
  const Mat3 mi = Matrix(call, i);
  const Mat3 mj = Matrix(call, j);
  Mat3 r;
  for (std::size_t row = 0; row < 3; ++row) {
    for (std::size_t col = 0; col < 3; ++col) r.m[row][col] = a * mi.m[row][col] + b * mj.m[row][col];
  }
  Matrix(call, dest) = r;
  call.SetError(0);
}

// VMulMtx destination, i, j: M[destination] = M[i] M[j]; the destination
// may be either source.
void VMulMtx(Call& call) {
  const std::int32_t dest = call.Int(0);
  const std::int32_t i = call.Int(1);
  const std::int32_t j = call.Int(2);
  if (!ValidBanks({dest, i, j})) return call.SetError(1);
  const Mat3 product = Matrix(call, i) * Matrix(call, j);
  Matrix(call, dest) = product;
  call.SetError(0);
}

// VRevMtx destination, source: the inverse; a singular source fails and
// leaves the destination alone.
void VRevMtx(Call& call) {
  const std::int32_t dest = call.Int(0);
  const std::int32_t source = call.Int(1);
  if (!ValidBanks({dest, source})) return call.SetError(1);
  const std::optional<Mat3> inverse = geometry3d::Inverse(Matrix(call, source));
  if (!inverse) return call.SetError(1);
  Matrix(call, dest) = *inverse;
  call.SetError(0);
}

// VRotMtx destination, rx, ry, rz: rotation about r by |r| radians.
void VRotMtx(Call& call) {
  const std::int32_t dest = call.Int(0);
  const Vec3 r = VecArgs(call, 1);
  if (!ValidBankIndex(dest)) return call.SetError(1);
  Matrix(call, dest) = geometry3d::RotationMatrix(r);
  call.SetError(0);
}

// VRotVec index, three variables, mode?: the rotation vector of M[index].
void VRotVec(Call& call) {
  const std::int32_t index = call.Int(0);
  std::array<std::int32_t, 3> out{};
  if (!Outputs(call, 1, &out)) return;
  const std::int32_t mode = call.OptInt(4, 0);
  if (!ValidBankIndex(index)) return call.SetError(1);
  const std::optional<Vec3> r = geometry3d::RotationVector(Matrix(call, index), mode);
  if (!r) return call.SetError(1);
  WriteVec(call, out, *r);
  call.SetError(0);
}

// VMtxVec index, x, y, z, three variables: M[index] (x, y, z).
void VMtxVec(Call& call) {
  const std::int32_t index = call.Int(0);
  const Vec3 v = VecArgs(call, 1);
  std::array<std::int32_t, 3> out{};
  if (!Outputs(call, 4, &out)) return;
  if (!ValidBankIndex(index)) return call.SetError(1);
  WriteVec(call, out, Matrix(call, index) * v);
  call.SetError(0);
}

// VVecAng a, p, b, q, variable: the angle between column p of M[a] and
// column q of M[b].
void VVecAng(Call& call) {
  const std::int32_t a = call.Int(0);
  const std::int32_t p = call.Int(1);
  const std::int32_t b = call.Int(2);
  const std::int32_t q = call.Int(3);
  const std::int32_t out = call.Resource(4);
  if (out < 0) return;
  const bool columns = p >= 0 && p <= 2 && q >= 0 && q <= 2;
  if (!columns || !ValidBanks({a, b})) return call.SetError(1);
  const Vec3 u = Matrix(call, a).Column(p);
  const Vec3 v = Matrix(call, b).Column(q);
  if (!(geometry3d::Length(u) >= geometry3d::kShortVector) ||
      !(geometry3d::Length(v) >= geometry3d::kShortVector)) {
    return call.SetError(1);
  }
  call.WriteDouble(out, geometry3d::AngleBetween(u, v));
  call.SetError(0);
}

// VScrew ax, ay, az, bx, by, bz, three variables: a × b.
void VScrew(Call& call) {
  const Vec3 a = VecArgs(call, 0);
  const Vec3 b = VecArgs(call, 3);
  std::array<std::int32_t, 3> out{};
  if (!Outputs(call, 6, &out)) return;
  WriteVec(call, out, geometry3d::Cross(a, b));
}

// VElem x, y, z, three variables: the unit vector.
void VElem(Call& call) {
  const Vec3 v = VecArgs(call, 0);
  std::array<std::int32_t, 3> out{};
  if (!Outputs(call, 3, &out)) return;
  const std::optional<Vec3> unit = geometry3d::Unit(v, geometry3d::kShortUnitVector);
  if (!unit) return call.SetError(1);
  WriteVec(call, out, *unit);
  call.SetError(0);
}

// VArryRW operation, index, three values or variables: 0 writes x, y, z;
// 11, 12, 13 write x, y or z only; 1 reads into three variables; any other
// operation does nothing.
void VArryRW(Call& call) {
  const std::int32_t operation = call.Int(0);
  const std::int32_t index = call.Int(1);
  if (!ValidBankIndex(index)) return call.SetError(1);
  Vec3& v = Vector(call, index);
  switch (operation) {
    case 0: v = VecArgs(call, 2); break;
    case 11: case 12: case 13: {
      const int k = operation - 11;
      v[k] = call.Double(2 + k);
      break;
    }
    case 1: {
      std::array<std::int32_t, 3> out{};
      if (!Outputs(call, 2, &out)) return;
      WriteVec(call, out, v);
      break;
    }
    default: break;
  }
  call.SetError(0);
}

// VValMtx: kept for old scripts; does nothing.
void VValMtx(Call&) {}

// --- VArryFnc: operations over ranges of the vector bank

enum ArryOp : std::int32_t {
  ARRY_COPY = 0,        // V[d + k] = V[a + k]
  ARRY_COMBINE = 1,     // V[d + k] = G_DBLWK1 V[a + k] + G_DBLWK2 V[b + k]
  ARRY_CROSS = 2,       // V[d + k] = V[a + k] × V[b + k]
  ARRY_NORMALISE = 3,   // V[d + k] = V[a + k] / |V[a + k]|
  ARRY_TRANSFORM = 4,   // V[d + k] = M[b] V[a + k]
  ARRY_DOT = 5,         // G_DBLWK1 = V[a]·V[b], G_DBLWK2 = their angle
  ARRY_CENTROID = 6,    // V[d] = mean of V[a .. a + n - 1]; G_DBLWK1 the largest distance from it
};

bool RangeInBank(std::int32_t first, std::int32_t count) {
  return ValidBankIndex(first) && ValidBankIndex(static_cast<std::int64_t>(first) + count - 1);
}

bool ArryFnc(Call& call, std::int32_t op, std::int32_t a, std::int32_t b, std::int32_t d,
             std::int32_t n) {
  auto& bank = G(call).vectors;
  auto at = [&](std::int32_t i) -> Vec3& { return bank[static_cast<std::size_t>(i)]; };
  if (n < 1 || !RangeInBank(a, n)) return false;
  const bool writes = op >= ARRY_COPY && op <= ARRY_TRANSFORM;
  if (writes && !RangeInBank(d, n)) return false;
  if ((op == ARRY_COMBINE || op == ARRY_CROSS) && !RangeInBank(b, n)) return false;
  // Results go to a copy first, so ranges may overlap.
  std::array<Vec3, geometry3d::kBankSize> result{};
  switch (op) {
    case ARRY_COPY:
      for (std::int32_t k = 0; k < n; ++k) result[static_cast<std::size_t>(k)] = at(a + k);
      break;
    case ARRY_COMBINE: {
      const double wa = values::ReadAsDouble(call.rt(), sysvar::G_DBLWK1);
      const double wb = values::ReadAsDouble(call.rt(), sysvar::G_DBLWK2);
      for (std::int32_t k = 0; k < n; ++k) result[static_cast<std::size_t>(k)] = at(a + k) * wa + at(b + k) * wb;
      break;
    }
    case ARRY_CROSS:
      for (std::int32_t k = 0; k < n; ++k) result[static_cast<std::size_t>(k)] = geometry3d::Cross(at(a + k), at(b + k));
      break;
    case ARRY_NORMALISE:
      for (std::int32_t k = 0; k < n; ++k) {
        const std::optional<Vec3> unit = geometry3d::Unit(at(a + k), geometry3d::kShortUnitVector);
        if (!unit) return false;
        result[static_cast<std::size_t>(k)] = *unit;
      }
      break;
    case ARRY_TRANSFORM: {
      if (!ValidBankIndex(b)) return false;
      const Mat3& m = G(call).matrices[static_cast<std::size_t>(b)];
      for (std::int32_t k = 0; k < n; ++k) result[static_cast<std::size_t>(k)] = m * at(a + k);
      break;
    }
    case ARRY_DOT: {
      if (!ValidBankIndex(b)) return false;
      const Vec3 u = at(a);
      const Vec3 v = at(b);
      if (!(geometry3d::Length(u) >= geometry3d::kShortVector) ||
          !(geometry3d::Length(v) >= geometry3d::kShortVector)) {
        return false;
      }
      call.SetDblWork(1, geometry3d::Dot(u, v));
      call.SetDblWork(2, geometry3d::AngleBetween(u, v));
      call.SetWork(1, 0);
      return true;
    }
    case ARRY_CENTROID: {
      if (!ValidBankIndex(d)) return false;
      Vec3 sum;
      for (std::int32_t k = 0; k < n; ++k) sum = sum + at(a + k);
      const Vec3 mean = sum / n;
      double farthest = 0;
      std::int32_t farthest_index = a;
      for (std::int32_t k = 0; k < n; ++k) {
        const double distance = geometry3d::Length(at(a + k) - mean);
        if (distance > farthest) {
          farthest = distance;
          farthest_index = a + k;
        }
      }
      at(d) = mean;
      call.SetDblWork(1, farthest);
      call.SetWork(1, 1);
      call.SetWork(2, farthest_index);
      return true;
    }
    default:
      return false;
  }
  for (std::int32_t k = 0; k < n; ++k) at(d + k) = result[static_cast<std::size_t>(k)];
  call.SetWork(1, n);
  return true;
}

// VArryFnc operation, a, b, destination, count.
void VArryFnc(Call& call) {
  const std::int32_t op = call.Int(0);
  const std::int32_t a = call.Int(1);
  const std::int32_t b = call.Int(2);
  const std::int32_t d = call.Int(3);
  const std::int32_t n = call.Int(4);
  call.SetError(ArryFnc(call, op, a, b, d, n) ? 0 : 1);
}

constexpr Registration kVectorApis[] = {
    {Id("VScrew"), VScrew},   {Id("VElem"), VElem},       {Id("VSetMtx"), VSetMtx},
    {Id("VGetMtx"), VGetMtx}, {Id("VRevMtx"), VRevMtx},   {Id("VArryRW"), VArryRW},
    {Id("VArryFnc"), VArryFnc}, {Id("VValMtx"), VValMtx}, {Id("VAddMtx"), VAddMtx},
    {Id("VMulMtx"), VMulMtx}, {Id("VRotMtx"), VRotMtx},   {Id("VRotVec"), VRotVec},
    {Id("VVecAng"), VVecAng}, {Id("VMtxVec"), VMtxVec},
};

}  // namespace

void RegisterVectorApis(Registry& registry) { registry.AddAll(kVectorApis); }

}  // namespace vx::api
