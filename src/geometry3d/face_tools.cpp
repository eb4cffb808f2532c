#include "geometry3d/face_tools.hpp"

#include <algorithm>
#include <cmath>

namespace vx::geometry3d {
namespace {

Face MakeFace(Vec3 base, Vec3 h, Vec3 v, std::int32_t shape, Vec3 rgb) {
  Face f;
  f.shape = static_cast<std::int16_t>(shape);
  f.base = base;
  f.edge_h = h;
  f.edge_v = v;
  f.rgb = rgb;
  return f;
}

// Triangle a, b, c (counter-clockwise seen from outside).
Face Triangle(Vec3 a, Vec3 b, Vec3 c, Vec3 rgb) { return MakeFace(a, b - a, c - a, kShapeTriangle, rgb); }

// The face with VH and VV in the order that turns VH × VV toward `out`.
Face Facing(Face f, Vec3 out) {
  if (Dot(Cross(f.edge_h, f.edge_v), out) < 0) std::swap(f.edge_h, f.edge_v);
  return f;
}

bool CountOk(int n, int low) { return n >= low && n <= kSegmentsMax; }

}  // namespace

std::vector<Face> MeshFaces(int columns, int rows, double cell_x, double cell_y, Vec3 corner, Vec3 rgb) {
  std::vector<Face> out;
  if (!CountOk(columns, 1) || !CountOk(rows, 1)) return out;
  out.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      const Vec3 base = corner + Vec3{i * cell_x, j * cell_y, 0};
      Vec3 h{cell_x, 0, 0};
      Vec3 v{0, cell_y, 0};
      if (cell_x * cell_y < 0) std::swap(h, v);  // keep facing +z
      out.push_back(MakeFace(base, h, v, kShapeQuad, rgb));
    }
  }
  return out;
}

std::vector<Face> BallFaces(Vec3 centre, double radius, int slices, int stacks, bool markers, Vec3 rgb) {
  std::vector<Face> out;
  if (!CountOk(slices, kSegmentsMin) || !CountOk(stacks, 2)) return out;
  const double pi = Pi();
  auto point = [&](int i, int j) {  // slice i, stack j (0 the north pole)
    if (j == 0) return centre + Vec3{0, 0, radius};
    if (j == stacks) return centre + Vec3{0, 0, -radius};
    const double polar = pi * j / stacks;
    const double azimuth = 2 * pi * (i % slices) / slices;
    return centre + Vec3{radius * std::sin(polar) * std::cos(azimuth), radius * std::sin(polar) * std::sin(azimuth),
                         radius * std::cos(polar)};
  };
  out.reserve(static_cast<std::size_t>(2 * slices * (stacks - 1) + 2));
  for (int j = 0; j < stacks; ++j) {
    for (int i = 0; i < slices; ++i) {
      const Vec3 a = point(i, j), b = point(i + 1, j), c = point(i, j + 1), d = point(i + 1, j + 1);
      // Outward with azimuth growing counter-clockwise seen from outside.
      if (j == 0) {
        out.push_back(Triangle(a, c, d, rgb));
      } else if (j == stacks - 1) {
        out.push_back(Triangle(a, c, b, rgb));
      } else {
        out.push_back(Triangle(a, c, d, rgb));
        out.push_back(Triangle(a, d, b, rgb));
      }
    }
  }
  if (radius < 0) {
    for (Face& f : out) std::swap(f.edge_h, f.edge_v);
  }
  if (markers) {
    out.push_back(MakeFace(point(0, 0), {}, {}, kShapeMarker, rgb));
    out.push_back(MakeFace(point(0, stacks), {}, {}, kShapeMarker, rgb));
  }
  return out;
}

std::vector<Face> TubeFaces(Vec3 bottom, double radius, double length, int slices, int segments, Vec3 rgb) {
  std::vector<Face> out;
  if (!CountOk(slices, kSegmentsMin) || !CountOk(segments, 1)) return out;
  const double pi = Pi();
  auto point = [&](int i, int j) {
    const double azimuth = 2 * pi * (i % slices) / slices;
    return bottom + Vec3{radius * std::cos(azimuth), radius * std::sin(azimuth), length * j / segments};
  };
  out.reserve(static_cast<std::size_t>(2 * slices * segments));
  for (int j = 0; j < segments; ++j) {
    for (int i = 0; i < slices; ++i) {
      const Vec3 a = point(i, j), b = point(i + 1, j), c = point(i, j + 1), d = point(i + 1, j + 1);
      out.push_back(Triangle(a, b, d, rgb));
      out.push_back(Triangle(a, d, c, rgb));
    }
  }
  // A negative radius turns the tube half a turn about its axis, which keeps
  // the surface's orientation; only a negative length mirrors it.
  if (length < 0) {
    for (Face& f : out) std::swap(f.edge_h, f.edge_v);
  }
  return out;
}

std::vector<Face> CylinderFaces(Vec3 bottom, double radius, double length, int slices, Vec3 rgb) {
  std::vector<Face> out = TubeFaces(bottom, radius, length, slices, 1, rgb);
  if (out.empty()) return out;
  const double pi = Pi();
  const Vec3 top = bottom + Vec3{0, 0, length};
  const bool flip = length < 0;  // as for the tube: a negative radius is a half turn
  for (int i = 0; i < slices; ++i) {
    const double a0 = 2 * pi * i / slices;
    const double a1 = 2 * pi * ((i + 1) % slices) / slices;
    const Vec3 r0{radius * std::cos(a0), radius * std::sin(a0), 0};
    const Vec3 r1{radius * std::cos(a1), radius * std::sin(a1), 0};
    Face lid = Triangle(top, top + r0, top + r1, rgb);             // faces +z
    Face floor = Triangle(bottom, bottom + r1, bottom + r0, rgb);  // faces −z
    if (flip) {
      std::swap(lid.edge_h, lid.edge_v);
      std::swap(floor.edge_h, floor.edge_v);
    }
    out.push_back(lid);
    out.push_back(floor);
  }
  return out;
}

std::vector<Face> BarnFaces(Vec3 size, double roof_height, Vec3 corner, Vec3 rgb) {
  Vec3 low = corner;
  for (int k = 0; k < 3; ++k) {
    if (size[k] < 0) {
      low[k] = corner[k] + size[k];
      size[k] = -size[k];
    }
  }
  const Vec3 x{size.x, 0, 0}, y{0, size.y, 0}, z{0, 0, size.z};
  const Vec3 ridge = low + z + Vec3{0, size.y / 2, roof_height};  // at the left end
  const Vec3 eave_front = low + z;
  const Vec3 eave_back = low + z + y;
  const Vec3 left{-1, 0, 0}, right{1, 0, 0}, up{0, 0, 1};
  std::vector<Face> out;
  out.push_back(Facing(MakeFace(low, y, x, kShapeQuad, rgb), {0, 0, -1}));  // floor
  out.push_back(Facing(MakeFace(low, x, z, kShapeQuad, rgb), {0, -1, 0}));  // front wall
  out.push_back(Facing(MakeFace(low + y, z, x, kShapeQuad, rgb), {0, 1, 0}));  // back wall
  const Face front_slope = Facing(MakeFace(eave_front, x, ridge - eave_front, kShapeQuad, rgb), up);
  const Face back_slope = Facing(MakeFace(eave_back, ridge - eave_back, x, kShapeQuad, rgb), up);
  if (roof_height >= 0) {
    out.push_back(Facing(MakeFace(low, z, y, kShapeQuad, rgb), left));
    out.push_back(Facing(MakeFace(low + x, y, z, kShapeQuad, rgb), right));
    out.push_back(front_slope);
    out.push_back(back_slope);
    out.push_back(Facing(Triangle(eave_front, ridge, eave_back, rgb), left));  // gable ends
    out.push_back(Facing(Triangle(eave_front + x, eave_back + x, ridge + x, rgb), right));
    return out;
  }
  // A valley: each end wall is its rectangle without the notch above the
  // valley, three triangles from the valley's bottom.
  for (const bool at_right : {false, true}) {
    const Vec3 shift = at_right ? x : Vec3{};
    const Vec3 outward = at_right ? right : left;
    const Vec3 bottom = ridge + shift;
    const Vec3 corners[4] = {eave_front + shift, low + shift, low + y + shift, eave_back + shift};
    for (int k = 0; k < 3; ++k) out.push_back(Facing(Triangle(bottom, corners[k], corners[k + 1], rgb), outward));
  }
  out.push_back(front_slope);
  out.push_back(back_slope);
  return out;
}

int CornerCount(const Face& f) { return f.shape == 1 || f.shape == 3 ? 3 : 4; }

Vec3 Corner(const Face& f, int k) {
  switch (k) {
    case 0:
      return f.base;
    case 1:
      return f.base + f.edge_h;
    case 2:
      return CornerCount(f) == 3 ? f.base + f.edge_v : f.base + f.edge_h + f.edge_v;
    default:
      return f.base + f.edge_v;
  }
}

Vec3 FaceCentre(const Face& f) {
  const int n = CornerCount(f);
  Vec3 sum{};
  for (int k = 0; k < n; ++k) sum = sum + Corner(f, k);
  return sum / n;
}

std::optional<Bounds> BoundsOf(std::span<const Face> faces) {
  if (faces.empty()) return std::nullopt;
  Bounds b{Corner(faces[0], 0), Corner(faces[0], 0)};
  for (const Face& f : faces) {
    for (int k = 0; k < CornerCount(f); ++k) {
      const Vec3 p = Corner(f, k);
      for (int i = 0; i < 3; ++i) {
        b.low[i] = std::min(b.low[i], p[i]);
        b.high[i] = std::max(b.high[i], p[i]);
      }
    }
  }
  return b;
}

void MapFaces(std::span<Face> faces, const PointMap& map, bool reverses) {
  for (Face& f : faces) {
    const Vec3 base = map(f.base);
    f.edge_h = map(f.base + f.edge_h) - base;
    f.edge_v = map(f.base + f.edge_v) - base;
    f.base = base;
    if (reverses) std::swap(f.edge_h, f.edge_v);
  }
}

void TransformFaces(std::span<Face> faces, const Mat3& m, Vec3 centre) {
  const double det = Dot(m.Column(0), Cross(m.Column(1), m.Column(2)));
  for (Face& f : faces) {
    f.base = centre + m * (f.base - centre);
    f.edge_h = m * f.edge_h;
    f.edge_v = m * f.edge_v;
    if (det < 0) std::swap(f.edge_h, f.edge_v);
  }
}

Mat3 EulerMatrix(double yaw, double pitch, double roll) {
  const double k = Pi() / 180.0;
  const Mat3 rz = RotationMatrix({0, 0, yaw * k});
  const Mat3 ry = RotationMatrix({0, pitch * k, 0});
  const Mat3 rx = RotationMatrix({roll * k, 0, 0});
  return rz * (ry * rx);
}

void ShrinkFaces(std::span<Face> faces, double factor) {
  for (Face& f : faces) {
    const Vec3 c = FaceCentre(f);
    f.base = c + (f.base - c) * factor;
    f.edge_h = f.edge_h * factor;
    f.edge_v = f.edge_v * factor;
  }
}

void ExplodeFaces(std::span<Face> faces, Vec3 centre, double distance) {
  for (Face& f : faces) {
    const std::optional<Vec3> away = Unit(FaceCentre(f) - centre, 1e-12);
    if (away) f.base = f.base + *away * distance;
  }
}

void BendFaces(std::span<Face> faces, Vec3 centre, double radius) {
  MapFaces(faces, [&](Vec3 p) {
    const double angle = (p.x - centre.x) / radius;
    const double r = radius + (p.z - centre.z);
    return Vec3{centre.x + r * std::sin(angle), p.y, centre.z - radius + r * std::cos(angle)};
  });
}

std::vector<Face> PlateFaces(std::span<const Face> faces, double thickness) {
  std::vector<Face> out;
  for (const Face& f : faces) {
    const std::optional<Vec3> n = Unit(Cross(f.edge_h, f.edge_v), 1e-300);
    if (!n) continue;
    const Vec3 back = *n * -thickness;
    Face under = f;
    under.base = f.base + back;
    std::swap(under.edge_h, under.edge_v);
    out.push_back(under);
    const int corners = CornerCount(f);
    for (int k = 0; k < corners; ++k) {
      const Vec3 a = Corner(f, k);
      const Vec3 b = Corner(f, (k + 1) % corners);
      Face side = f;
      side.shape = static_cast<std::int16_t>(f.shape == 3 || f.shape == 2 ? 2 : 0);
      side.base = a;
      side.edge_h = back;
      side.edge_v = b - a;
      if (thickness < 0) std::swap(side.edge_h, side.edge_v);
      out.push_back(side);
    }
  }
  return out;
}

}  // namespace vx::geometry3d
