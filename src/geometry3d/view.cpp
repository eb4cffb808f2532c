#include "geometry3d/view.hpp"

#include <cmath>
#include <limits>

namespace vx::geometry3d {
namespace {

constexpr Vec3 kUp{0, 0, 1};
constexpr double kPixelScale = 18.0;  // a view vector's length spans 18 half-widths at zoom 1
constexpr double kParallelLimit = 1e-10;
constexpr double kFlatLimit = 1e-9;        // horizontal extent of a vertical view vector
constexpr double kVectorSquareMin = 1e-20;  // squared length of a usable view vector
constexpr double kMovePi = 3.14159;         // EyeMove's degrees

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A view vector the frame can be built on: finite, not vertical, not zero.
bool UsableVector(Vec3 r) {
  return Finite(r) && !(r.x == 0 && r.y == 0) && Dot(r, r) >= kVectorSquareMin;
}

}  // namespace

View::View() { Recompute(); }

bool View::Recompute() {
  vector_length_ = Length(vector_);
  vector_unit_ = vector_ / vector_length_;
  const std::optional<Vec3> h = Unit(Cross(vector_, kUp), std::numeric_limits<double>::min());
  if (!h) return false;
  const std::optional<Vec3> v = Unit(Cross(*h, vector_), std::numeric_limits<double>::min());
  if (!v) return false;
  const double size = vector_length_ * kPixelScale / (screen_.Width() / 2) / zoom_;
  pixel_[0] = *h * size;
  pixel_[1] = *v * size;
  const Vec3 centre = eye_ + vector_;
  origin_ = centre - pixel_[0] * centre_x_ - pixel_[1] * (screen_.Height() - centre_y_);
  const std::optional<Vec3> n = Unit(Cross(pixel_[0], pixel_[1]), std::numeric_limits<double>::min());
  if (!n) return false;
  normal_ = *n;
  origin_ = origin_ + pixel_[0] * (shift_.x * kSurfaceWidth) + pixel_[1] * (shift_.y * kSurfaceHeight);
  const std::optional<Vec3> e1 = Unit(pixel_[0], std::numeric_limits<double>::min());
  const std::optional<Vec3> e2 = Unit(Cross(normal_, pixel_[0]), std::numeric_limits<double>::min());
  if (!e1 || !e2) return false;
  axis_[0] = *e1;
  axis_[1] = *e2;
  // (a, b) = X * (e1.v0, e2.v0) + Y * (e1.v1, e2.v1); invert that 2 x 2 map.
  const double m00 = Dot(*e1, pixel_[0]), m01 = Dot(*e2, pixel_[0]);
  const double m10 = Dot(*e1, pixel_[1]), m11 = Dot(*e2, pixel_[1]);
  const double det = m00 * m11 - m01 * m10;
  if (!(std::fabs(det) > 0) || !std::isfinite(det)) return false;
  to_pixels_[0][0] = m11 / det;
  to_pixels_[0][1] = -m01 / det;
  to_pixels_[1][0] = -m10 / det;
  to_pixels_[1][1] = m00 / det;
  return true;
}

bool View::SetScreen(const ScreenRect& r) {
  const bool inside = r.left >= 0 && r.top >= 0 && r.right < kSurfaceWidth && r.bottom < kSurfaceHeight;
  if (!inside || r.Width() < kScreenWidthMin || r.bottom < r.top) return false;
  screen_ = r;
  return Recompute();
}

bool View::SetEye(Vec3 eye, Vec3 vector, double zoom) {
  if (!Finite(eye) || !UsableVector(vector)) return false;
  eye_ = eye;
  vector_ = vector;
  if (zoom >= kZoomMin && zoom <= kZoomMax) zoom_ = zoom;
  return Recompute();
}

bool View::SetCentre(int x, int y) {
  centre_x_ = x;
  centre_y_ = y;
  return Recompute();
}

bool View::Move(double yaw, double pitch, std::optional<double> scale) {
  const Vec3 centre = eye_ + vector_;
  const double turn = yaw * kMovePi / 180.0;
  Vec3 r{vector_.x * std::cos(turn) - vector_.y * std::sin(turn),
         vector_.y * std::cos(turn) + vector_.x * std::sin(turn), vector_.z};
  const double ground = std::hypot(r.x, r.y);
  if (!(ground >= kFlatLimit)) return false;  // a vertical vector has no heading to keep
  double elevation = std::atan(r.z / ground) * 180.0 / kMovePi + pitch;
  if (elevation > kElevationLimit) elevation = kElevationLimit;
  if (elevation < -kElevationLimit) elevation = -kElevationLimit;
  r.z = std::tan(elevation * kMovePi / 180.0) * ground;
  Vec3 eye = eye_;
  if (scale) {
    r = r * *scale;
    eye = centre - r;
  }
  if (!UsableVector(r) || !Finite(eye)) return false;
  eye_ = eye;
  vector_ = r;
  return Recompute();
}

Projection View::Project(Vec3 q) const {
  double dp = Dot(eye_ - origin_, normal_);
  double dq = Dot(q - origin_, normal_);
  if (dp < 0) {
    dp = -dp;
    dq = -dq;
  }
  Projection out;
  if (!(std::fabs(dp - dq) >= kParallelLimit)) return out;  // also NaN
  if (dp <= dq) {
    out.depth = Depth::kBehind;
    return out;
  }
  out.depth = dq < 0 ? Depth::kBeyondPlane : Depth::kBeforePlane;
  const Vec3 on_plane = eye_ + (q - eye_) * (dp / (dp - dq)) - origin_;
  const double a = Dot(on_plane, axis_[0]);
  const double b = Dot(on_plane, axis_[1]);
  out.at = {a * to_pixels_[0][0] + b * to_pixels_[1][0], a * to_pixels_[0][1] + b * to_pixels_[1][1]};
  // Coordinates so large that the arithmetic overflowed have no pixel.
  if (!std::isfinite(out.at.x) || !std::isfinite(out.at.y)) return Projection{};
  return out;
}

Camera View::CameraFrame() const {
  Camera c;
  c.eye = eye_;
  const double side = Dot(eye_ - origin_, normal_);
  c.forward = side < 0 ? normal_ : normal_ * -1.0;
  c.scale = std::fabs(side);
  c.row_x = axis_[0] * to_pixels_[0][0] + axis_[1] * to_pixels_[1][0];
  c.row_y = axis_[0] * to_pixels_[0][1] + axis_[1] * to_pixels_[1][1];
  c.eye_x = Dot(c.row_x, eye_ - origin_);
  c.eye_y = Dot(c.row_y, eye_ - origin_);
  c.left = screen_.left;
  c.bottom = screen_.bottom;
  return c;
}

// Liang-Barsky against 0 <= X <= width, 0 <= Y <= height; a ray runs on
// from `from` through `to` without end.
std::optional<Segment2> View::Clip(Pixel2 from, Pixel2 to, bool ray) const {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  double t0 = 0;
  double t1 = ray ? std::numeric_limits<double>::infinity() : 1.0;
  auto edge = [&](double p, double q) {  // inside when p * t <= q
    if (p == 0) return q >= 0;
    const double t = q / p;
    if (p < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
    return true;
  };
  const double w = screen_.Width();
  const double h = screen_.Height();
  if (!edge(-dx, from.x) || !edge(dx, w - from.x) || !edge(-dy, from.y) || !edge(dy, h - from.y)) {
    return std::nullopt;
  }
  if (!std::isfinite(t1)) t1 = t0;  // a ray with no direction: only its start
  const Segment2 s{{from.x + dx * t0, from.y + dy * t0}, {from.x + dx * t1, from.y + dy * t1}};
  if (!std::isfinite(s.a.x + s.a.y + s.b.x + s.b.y)) return std::nullopt;  // overflowed
  return s;
}

std::optional<Segment2> View::ProjectSegment(Vec3 a, Vec3 b) const {
  const Projection pa = Project(a);
  const Projection pb = Project(b);
  if (pa.Projectable() && pb.Projectable()) return Clip(pa.at, pb.at, false);
  if (!pa.Projectable() && !pb.Projectable()) return std::nullopt;
  // One end hidden: on the screen the line runs from the visible end away
  // from the vanishing point of the direction toward that end.
  const Vec3 seen = pa.Projectable() ? a : b;
  const Vec3 hidden = pa.Projectable() ? b : a;
  const Pixel2 start = pa.Projectable() ? pa.at : pb.at;
  const Projection vanishing = Project(eye_ + (seen - hidden));
  if (!vanishing.Projectable()) return std::nullopt;
  const Pixel2 toward{start.x + (start.x - vanishing.at.x), start.y + (start.y - vanishing.at.y)};
  return Clip(start, toward, true);
}

}  // namespace vx::geometry3d
