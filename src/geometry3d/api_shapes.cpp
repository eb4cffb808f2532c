// Face makers and reshaping: balls, meshes, tubes, cylinders and barns
// appended to the main store, and moves, turns, mirrors, scaling and
// deformations of runs of its faces; searching and measuring.
//
// A run is `start, count` (the count cut at the store's end; a negative
// start, a count below 1 or a start past the end fails) or, for the
// ...PgnPgn forms, an entry of the parts table. Unlike the store APIs these
// set G_ERROR: 0 on success, 1 on failure (nothing changed). Makers add all
// their faces or none (G_WORK1 = faces added).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "geometry3d/face_tools.hpp"
#include "geometry3d/geometry3d.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

using geometry3d::Face;
using geometry3d::Mat3;
using geometry3d::Vec3;

geometry3d::PolygonStores& P(Call& call) { return geometry3d::State(call.rt()).polygons; }

Vec3 VecArgs(Call& call, int n) { return {call.Double(n), call.Double(n + 1), call.Double(n + 2)}; }
Vec3 OptVecArgs(Call& call, int n, Vec3 fallback) {
  return {call.OptDouble(n, fallback.x), call.OptDouble(n + 1, fallback.y), call.OptDouble(n + 2, fallback.z)};
}
bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(double v) { return std::isfinite(v); }

void MirrorCount(Call& call) {
  values::SetLong(call.rt(), sysvar::G_PLYGN_CNT, static_cast<std::int32_t>(P(call).main.Count()));
}

Vec3 CurrentRgb(Call& call) {
  const graphics::Color c = call.rt().vram.DrawColor();
  return {c.r / 255.0, c.g / 255.0, c.b / 255.0};
}

std::size_t Room(Call& call) { return P(call).main.Capacity() - P(call).main.Count(); }

// Whether `count` more faces fit; the makers check before making anything,
// so a maker asked for millions of faces costs nothing.
bool Fits(Call& call, std::int64_t count) { return count >= 0 && static_cast<std::uint64_t>(count) <= Room(call); }

// Appends all of `faces` or, when they do not fit, none.
void AppendAll(Call& call, const std::vector<Face>& faces) {
  geometry3d::FaceStore& store = P(call).main;
  if (faces.empty() || faces.size() > store.Capacity() - store.Count()) return call.SetError(1);
  for (const Face& f : faces) store.Add(f);
  MirrorCount(call);
  call.SetWork(1, static_cast<std::int32_t>(faces.size()));
  call.SetError(0);
}

// The run named by arguments 0 and 1.
std::span<Face> RunArgs(Call& call) {
  const std::int32_t start = call.Int(0);
  const std::int32_t count = call.Int(1);
  return P(call).main.Range(start, count);
}

// The run named by the parts entry in argument 0.
std::span<Face> PartArgs(Call& call) {
  const std::int32_t part = call.Int(0);
  if (part < 0 || part >= geometry3d::kParts) return {};
  const geometry3d::PartEntry& e = P(call).parts[static_cast<std::size_t>(part)];
  return P(call).main.Range(e.start, e.count);
}

// Applies `change` to the run when the run and every number are usable.
template <typename Change>
void OnRun(Call& call, std::span<Face> run, bool numbers_ok, Change change) {
  if (run.empty() || !numbers_ok) return call.SetError(1);
  change(run);
  call.SetError(0);
}

// --- makers

// MkMeshPgn columns, rows, cell x, cell y, corner x, y, z.
void MkMeshPgn(Call& call) {
  const std::int32_t columns = call.Int(0);
  const std::int32_t rows = call.Int(1);
  const double cx = call.Double(2);
  const double cy = call.Double(3);
  const Vec3 corner = VecArgs(call, 4);
  if (!Finite(cx) || !Finite(cy) || !Finite(corner) || !Fits(call, std::int64_t{columns} * rows)) {
    return call.SetError(1);
  }
  AppendAll(call, geometry3d::MeshFaces(columns, rows, cx, cy, corner, CurrentRgb(call)));
}

// MkBallPgn centre x, y, z, radius, slices, stacks, [markers].
void MkBallPgn(Call& call) {
  const Vec3 centre = VecArgs(call, 0);
  const double radius = call.Double(3);
  const std::int32_t slices = call.Int(4);
  const std::int32_t stacks = call.Int(5);
  const bool markers = call.OptInt(6, 0) != 0;
  if (!Finite(centre) || !Finite(radius) || radius == 0 ||
      !Fits(call, std::int64_t{2} * slices * (std::int64_t{stacks} - 1) + (markers ? 2 : 0))) {
    return call.SetError(1);
  }
  AppendAll(call, geometry3d::BallFaces(centre, radius, slices, stacks, markers, CurrentRgb(call)));
}

// MkTubePgn bottom x, y, z, radius, length, slices, [segments].
void MkTubePgn(Call& call) {
  const Vec3 bottom = VecArgs(call, 0);
  const double radius = call.Double(3);
  const double length = call.Double(4);
  const std::int32_t slices = call.Int(5);
  const std::int32_t segments = call.OptInt(6, 1);
  if (!Finite(bottom) || !Finite(radius) || !Finite(length) || radius == 0 || length == 0 ||
      !Fits(call, std::int64_t{2} * slices * segments)) {
    return call.SetError(1);
  }
  AppendAll(call, geometry3d::TubeFaces(bottom, radius, length, slices, segments, CurrentRgb(call)));
}

// MkCylinder bottom x, y, z, radius, length, slices.
void MkCylinder(Call& call) {
  const Vec3 bottom = VecArgs(call, 0);
  const double radius = call.Double(3);
  const double length = call.Double(4);
  const std::int32_t slices = call.Int(5);
  if (!Finite(bottom) || !Finite(radius) || !Finite(length) || radius == 0 || length == 0 ||
      !Fits(call, std::int64_t{4} * slices)) {
    return call.SetError(1);
  }
  AppendAll(call, geometry3d::CylinderFaces(bottom, radius, length, slices, CurrentRgb(call)));
}

// BarnPgn size x, y, z, roof height, corner x, y, z.
void BarnPgn(Call& call) {
  const Vec3 size = VecArgs(call, 0);
  const double roof = call.Double(3);
  const Vec3 corner = VecArgs(call, 4);
  // A valley may reach the floor, not below it.
  if (!Finite(size) || !Finite(roof) || !Finite(corner) || size.x == 0 || size.y == 0 || size.z == 0 ||
      roof < -std::abs(size.z)) {
    return call.SetError(1);
  }
  AppendAll(call, geometry3d::BarnFaces(size, roof, corner, CurrentRgb(call)));
}

// PlateStretchPgn start, count, thickness: appends the back and sides of a
// plate for every face of the run.
void PlateStretchPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const double thickness = call.Double(2);
  std::int64_t needed = 0;
  for (const Face& f : run) needed += 1 + geometry3d::CornerCount(f);
  if (run.empty() || !Finite(thickness) || thickness == 0 || !Fits(call, needed)) return call.SetError(1);
  AppendAll(call, geometry3d::PlateFaces(run, thickness));
}

// PutPgn start, count, dx, dy, dz: copies faces of the sub store to the
// end of the main store, moved; stops when the main store is full.
void PutPgn(Call& call) {
  const std::span<Face> run = P(call).sub.Range(call.Int(0), call.Int(1));
  const Vec3 offset = VecArgs(call, 2);
  if (run.empty() || !Finite(offset)) return call.SetError(1);
  std::int32_t copied = 0;
  for (Face f : run) {
    f.base = f.base + offset;
    if (!P(call).main.Add(f)) break;
    ++copied;
  }
  MirrorCount(call);
  call.SetWork(1, copied);
  call.SetError(0);
}

// --- rigid moves, turns, mirrors, scaling

void Move(std::span<Face> run, Vec3 d) {
  for (Face& f : run) f.base = f.base + d;
}

// MovPgn start, count, dx, dy, dz.
void MovPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 d = VecArgs(call, 2);
  OnRun(call, run, Finite(d), [&](std::span<Face> r) { Move(r, d); });
}

// MovPgnPgn part, dx, dy, dz.
void MovPgnPgn(Call& call) {
  const std::span<Face> run = PartArgs(call);
  const Vec3 d = VecArgs(call, 1);
  OnRun(call, run, Finite(d), [&](std::span<Face> r) { Move(r, d); });
}

// LctPgn start, count, x, y, z: the run's bounding box centred there.
void LctPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 to = VecArgs(call, 2);
  OnRun(call, run, Finite(to), [&](std::span<Face> r) {
    const geometry3d::Bounds b = *geometry3d::BoundsOf(r);
    Move(r, to - (b.low + b.high) / 2.0);
  });
}

// JointPgn start, count, from face, to face: the run moved by VB of `to`
// minus VB of `from`.
void JointPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Face* from = P(call).main.At(call.Int(2));
  const Face* to = P(call).main.At(call.Int(3));
  if (from == nullptr || to == nullptr) return call.SetError(1);
  const Vec3 d = to->base - from->base;
  OnRun(call, run, true, [&](std::span<Face> r) { Move(r, d); });
}

// ScrPgn start, count, rx, ry, rz, [cx, cy, cz]: turned about the axis
// (rx, ry, rz) through the centre by its length in radians.
void ScrPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 r = VecArgs(call, 2);
  const Vec3 c = OptVecArgs(call, 5, {});
  OnRun(call, run, Finite(r) && Finite(c),
        [&](std::span<Face> f) { geometry3d::TransformFaces(f, geometry3d::RotationMatrix(r), c); });
}

// ScrPgnPgn part, rx, ry, rz, [cx, cy, cz].
void ScrPgnPgn(Call& call) {
  const std::span<Face> run = PartArgs(call);
  const Vec3 r = VecArgs(call, 1);
  const Vec3 c = OptVecArgs(call, 4, {});
  OnRun(call, run, Finite(r) && Finite(c),
        [&](std::span<Face> f) { geometry3d::TransformFaces(f, geometry3d::RotationMatrix(r), c); });
}

// AnglePgn start, count, yaw, pitch, roll (degrees), [cx, cy, cz].
void AnglePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 angles = VecArgs(call, 2);
  const Vec3 c = OptVecArgs(call, 5, {});
  OnRun(call, run, Finite(angles) && Finite(c), [&](std::span<Face> f) {
    geometry3d::TransformFaces(f, geometry3d::EulerMatrix(angles.x, angles.y, angles.z), c);
  });
}

// MrrPgn start, count, axis (0 x, 1 y, 2 z), position: mirrored in the
// plane where that coordinate equals the position.
void MrrPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const std::int32_t axis = call.Int(2);
  const double at = call.Double(3);
  OnRun(call, run, axis >= 0 && axis <= 2 && Finite(at), [&](std::span<Face> f) {
    Mat3 m = geometry3d::Identity();
    m.m[static_cast<std::size_t>(axis)][static_cast<std::size_t>(axis)] = -1;
    Vec3 c{};
    c[axis] = at;
    geometry3d::TransformFaces(f, m, c);
  });
}

// VSizePgn start, count, sx, sy, sz, [cx, cy, cz].
void VSizePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 s = VecArgs(call, 2);
  const Vec3 c = OptVecArgs(call, 5, {});
  OnRun(call, run, Finite(s) && Finite(c), [&](std::span<Face> f) {
    Mat3 m;
    m.m[0][0] = s.x;
    m.m[1][1] = s.y;
    m.m[2][2] = s.z;
    geometry3d::TransformFaces(f, m, c);
  });
}

// MdfyPgn index, corner (0 VB, 1 VB + VH, 2 VB + VV), x, y, z: moves one
// defining corner; the other two stay where they are.
void MdfyPgn(Call& call) {
  Face* f = P(call).main.At(call.Int(0));
  const std::int32_t corner = call.Int(1);
  const Vec3 p = VecArgs(call, 2);
  if (f == nullptr || corner < 0 || corner > 2 || !Finite(p)) return call.SetError(1);
  const Vec3 h = f->base + f->edge_h;
  const Vec3 v = f->base + f->edge_v;
  if (corner == 0) {
    f->base = p;
    f->edge_h = h - p;
    f->edge_v = v - p;
  } else if (corner == 1) {
    f->edge_h = p - f->base;
  } else {
    f->edge_v = p - f->base;
  }
  call.SetError(0);
}

// --- deformations

// FitPlanePgn start, count, nx, ny, nz, d: corners dropped onto the plane
// n·p = d along n.
void FitPlanePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 n = VecArgs(call, 2);
  const double d = call.Double(5);
  const std::optional<Vec3> unit = Finite(n) ? geometry3d::Unit(n, 1e-12) : std::nullopt;
  OnRun(call, run, unit && Finite(d), [&](std::span<Face> f) {
    const double length = geometry3d::Length(n);
    geometry3d::MapFaces(f, [&](Vec3 p) { return p - *unit * (geometry3d::Dot(p, *unit) - d / length); });
  });
}

Vec3 AxisVector(std::int32_t axis) {
  Vec3 a{};
  a[axis] = 1;
  return a;
}

// Corners at `radius` from the axis line through c (a corner on the line
// stays); with a length, only corners outside the column from c to
// c + length·axis are pulled in, onto its side or its ends.
Vec3 OntoTube(Vec3 p, Vec3 c, Vec3 axis, double radius, std::optional<double> length) {
  const double along = geometry3d::Dot(p - c, axis);
  Vec3 out = p - (c + axis * along);  // from the axis
  const double distance = geometry3d::Length(out);
  double at = along;
  if (length) {
    at = std::clamp(along, std::min(0.0, *length), std::max(0.0, *length));
    if (distance > radius) out = out * (radius / distance);
  } else if (distance > 0) {
    out = out * (radius / distance);
  }
  return c + axis * at + out;
}

// FitTubePgn start, count, axis, cx, cy, cz, radius.
void FitTubePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const std::int32_t axis = call.Int(2);
  const Vec3 c = VecArgs(call, 3);
  const double radius = call.Double(6);
  OnRun(call, run, axis >= 0 && axis <= 2 && Finite(c) && Finite(radius) && radius > 0, [&](std::span<Face> f) {
    geometry3d::MapFaces(f, [&](Vec3 p) { return OntoTube(p, c, AxisVector(axis), radius, std::nullopt); });
  });
}

// FitColumnPgn start, count, axis, cx, cy, cz, radius, length.
void FitColumnPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const std::int32_t axis = call.Int(2);
  const Vec3 c = VecArgs(call, 3);
  const double radius = call.Double(6);
  const double length = call.Double(7);
  OnRun(call, run, axis >= 0 && axis <= 2 && Finite(c) && Finite(radius) && radius > 0 && Finite(length),
        [&](std::span<Face> f) {
          geometry3d::MapFaces(f, [&](Vec3 p) { return OntoTube(p, c, AxisVector(axis), radius, length); });
        });
}

// FitSpherePgn start, count, cx, cy, cz, radius: corners moved along the
// line from the centre onto the sphere (a corner at the centre stays).
void FitSpherePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 c = VecArgs(call, 2);
  const double radius = call.Double(5);
  OnRun(call, run, Finite(c) && Finite(radius) && radius > 0, [&](std::span<Face> f) {
    geometry3d::MapFaces(f, [&](Vec3 p) {
      const std::optional<Vec3> u = geometry3d::Unit(p - c, 1e-300);
      return u ? c + *u * radius : p;
    });
  });
}

// FitSaucerPgn start, count, cx, cy, cz, radius, depth: every corner's z
// set on the dish z = cz + depth·(d / radius)², d its distance from the
// vertical through the centre.
void FitSaucerPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 c = VecArgs(call, 2);
  const double radius = call.Double(5);
  const double depth = call.Double(6);
  OnRun(call, run, Finite(c) && Finite(radius) && radius > 0 && Finite(depth), [&](std::span<Face> f) {
    geometry3d::MapFaces(f, [&](Vec3 p) {
      const double d2 = ((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y)) / (radius * radius);
      return Vec3{p.x, p.y, c.z + depth * d2};
    });
  });
}

// BendPgn start, count, radius, [cx, cz]: bent about the y axis.
void BendPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const double radius = call.Double(2);
  const Vec3 c{call.OptDouble(3, 0), 0, call.OptDouble(4, 0)};
  OnRun(call, run, Finite(radius) && radius != 0 && Finite(c),
        [&](std::span<Face> f) { geometry3d::BendFaces(f, c, radius); });
}

// ShrinkPgn start, count, factor.
void ShrinkPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const double factor = call.Double(2);
  OnRun(call, run, Finite(factor), [&](std::span<Face> f) { geometry3d::ShrinkFaces(f, factor); });
}

// BoomPgn start, count, distance, [cx, cy, cz]: the run blown apart from
// the centre (by default the centre of its bounding box).
void BoomPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const double distance = call.Double(2);
  if (run.empty()) return call.SetError(1);
  const geometry3d::Bounds b = *geometry3d::BoundsOf(run);
  const Vec3 c = OptVecArgs(call, 3, (b.low + b.high) / 2.0);
  OnRun(call, run, Finite(distance) && Finite(c), [&](std::span<Face> f) { geometry3d::ExplodeFaces(f, c, distance); });
}

// SlideSpherePgn start, count, cx, cy, cz, longitude, latitude (degrees):
// the run slid over a sphere about the centre: turned about the vertical
// through it, then tilted toward +z.
void SlideSpherePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 c = VecArgs(call, 2);
  const double longitude = call.Double(5);
  const double latitude = call.Double(6);
  OnRun(call, run, Finite(c) && Finite(longitude) && Finite(latitude), [&](std::span<Face> f) {
    const double k = geometry3d::Pi() / 180.0;
    geometry3d::TransformFaces(f, geometry3d::RotationMatrix({0, 0, longitude * k}), c);
    const geometry3d::Bounds b = *geometry3d::BoundsOf(f);
    const Vec3 from = (b.low + b.high) / 2.0 - c;
    const std::optional<Vec3> axis = geometry3d::Unit(geometry3d::Cross(Vec3{from.x, from.y, 0}, {0, 0, 1}), 1e-12);
    if (axis) geometry3d::TransformFaces(f, geometry3d::RotationMatrix(*axis * (latitude * k)), c);
  });
}

// PrtShapePgn start, count, shape.
void PrtShapePgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const std::int32_t shape = call.Int(2);
  OnRun(call, run, shape >= INT16_MIN && shape <= INT16_MAX, [&](std::span<Face> f) {
    for (Face& face : f) face.shape = static_cast<std::int16_t>(shape);
  });
}

// ColChgPgn start, count, r, g, b (0 to 255 each).
void ColChgPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  const Vec3 c = VecArgs(call, 2);
  const bool ok = c.x >= 0 && c.x <= 255 && c.y >= 0 && c.y <= 255 && c.z >= 0 && c.z <= 255;
  OnRun(call, run, ok, [&](std::span<Face> f) {
    for (Face& face : f) face.rgb = c / 255.0;
  });
}

// --- searching and measuring

// SearchPgn text, start, R index: the first face from `start` whose STR is
// the text.
void SearchPgn(Call& call) {
  std::string& text = call.Small(0);
  if (!call.String(0, text)) return;
  const std::int32_t start = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::vector<Face>& faces = P(call).main.Faces();
  for (std::size_t i = static_cast<std::size_t>(std::max(start, 0)); i < faces.size(); ++i) {
    if (faces[i].text == text) {
      call.WriteInt(out, static_cast<std::int32_t>(i));
      return call.SetError(0);
    }
  }
  call.SetError(1);
}

// GetMaxMinPgn start, count, R max x, y, z, R min x, y, z: the bounding box
// of the run's corners.
void GetMaxMinPgn(Call& call) {
  const std::span<Face> run = RunArgs(call);
  std::array<std::int32_t, 6> out{};
  for (std::size_t k = 0; k < out.size(); ++k) {
    out[k] = call.Resource(2 + static_cast<int>(k));
    if (out[k] < 0) return;
  }
  const std::optional<geometry3d::Bounds> b = geometry3d::BoundsOf(run);
  if (!b) return call.SetError(1);
  for (int k = 0; k < 3; ++k) {
    call.WriteDouble(out[static_cast<std::size_t>(k)], b->high[k]);
    call.WriteDouble(out[static_cast<std::size_t>(k + 3)], b->low[k]);
  }
  call.SetError(0);
}

constexpr Registration kShapeApis[] = {
    {Id("MkMeshPgn"), MkMeshPgn},
    {Id("MkBallPgn"), MkBallPgn},
    {Id("MkTubePgn"), MkTubePgn},
    {Id("MkCylinder"), MkCylinder},
    {Id("BarnPgn"), BarnPgn},
    {Id("PlateStretchPgn"), PlateStretchPgn},
    {Id("PutPgn"), PutPgn},
    {Id("MovPgn"), MovPgn},
    {Id("MovPgnPgn"), MovPgnPgn},
    {Id("LctPgn"), LctPgn},
    {Id("JointPgn"), JointPgn},
    {Id("ScrPgn"), ScrPgn},
    {Id("ScrPgnPgn"), ScrPgnPgn},
    {Id("AnglePgn"), AnglePgn},
    {Id("MrrPgn"), MrrPgn},
    {Id("VSizePgn"), VSizePgn},
    {Id("MdfyPgn"), MdfyPgn},
    {Id("FitPlanePgn"), FitPlanePgn},
    {Id("FitTubePgn"), FitTubePgn},
    {Id("FitColumnPgn"), FitColumnPgn},
    {Id("FitSpherePgn"), FitSpherePgn},
    {Id("FitSaucerPgn"), FitSaucerPgn},
    {Id("BendPgn"), BendPgn},
    {Id("ShrinkPgn"), ShrinkPgn},
    {Id("BoomPgn"), BoomPgn},
    {Id("SlideSpherePgn"), SlideSpherePgn},
    {Id("PrtShapePgn"), PrtShapePgn},
    {Id("ColChgPgn"), ColChgPgn},
    {Id("SearchPgn"), SearchPgn},
    {Id("GetMaxMinPgn"), GetMaxMinPgn},
};

}  // namespace

void RegisterPolygonShapeApis(Registry& registry) { registry.AddAll(kShapeApis); }

}  // namespace vx::api
