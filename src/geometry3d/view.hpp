#pragma once
// The perspective view of the 3D APIs: an eye, a viewing vector, a zoom and
// a screen rectangle on the drawing surface, with the screen frame derived
// from them, and the projection of points and segments through it.
//
// Pixel coordinates (X, Y) of the view count from the lower-left corner of
// the screen rectangle, Y upwards; the surface point is (left + X, bottom - Y).
#include <cstdint>
#include <optional>

#include "geometry3d/vector_math.hpp"

namespace vx::geometry3d {

inline constexpr int kSurfaceWidth = 2600;
inline constexpr int kSurfaceHeight = 2000;
inline constexpr double kZoomMin = 5.0;
inline constexpr double kZoomMax = 1200.0;
inline constexpr double kElevationLimit = 80.0;  // degrees, EyeMove
inline constexpr int kScreenWidthMin = 2;        // pixels between left and right

// Screen rectangle in surface coordinates (y downwards), edges included.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = kSurfaceWidth - 1;
  int bottom = kSurfaceHeight - 1;

  int Width() const { return right - left; }   // in pixel steps
  int Height() const { return bottom - top; }
};

struct Pixel2 {
  double x = 0;
  double y = 0;
};

// Where a point falls relative to the eye and the screen plane.
enum class Depth : std::int32_t {
  kBehind = -1,      // behind the eye: no projection
  kParallel = 0,     // the eye-to-point line runs along the plane
  kBeyondPlane = 1,  // the plane lies between eye and point
  kBeforePlane = 2,  // the point lies between eye and plane
};

struct Projection {
  Depth depth = Depth::kParallel;
  Pixel2 at;  // valid when Projectable()
  bool Projectable() const { return depth == Depth::kBeyondPlane || depth == Depth::kBeforePlane; }
};

// A 2D segment in view pixels, already clipped to the screen rectangle.
struct Segment2 {
  Pixel2 a;
  Pixel2 b;
};

// The projection as linear algebra, for drawing many points fast: for a
// point q with rel = q - eye, depth w = forward·rel (positive in front of the
// eye) and view pixels X = eye_x + scale * (row_x·rel) / w,
// Y = eye_y + scale * (row_y·rel) / w. Matches View::Project.
struct Camera {
  Vec3 eye;
  Vec3 forward;  // unit normal of the screen plane, away from the eye
  Vec3 row_x;
  Vec3 row_y;
  double eye_x = 0;
  double eye_y = 0;
  double scale = 0;  // the eye's distance from the screen plane
  // The screen rectangle's left and bottom: surface x = left + X, y = bottom - Y.
  double left = 0;
  double bottom = 0;
};

class View {
 public:
  View();

  // Each setter recomputes the screen frame; false when the value is
  // refused (nothing changes) or the frame cannot be recomputed.
  bool SetScreen(const ScreenRect& r);
  bool SetEye(Vec3 eye, Vec3 vector, double zoom);
  bool SetCentre(int x, int y);
  // Turns the view by yaw and pitch degrees; with a scale the eye orbits the
  // centre of view and the viewing vector is scaled. False (nothing
  // changes) when the result would be an unusable viewing vector.
  bool Move(double yaw, double pitch, std::optional<double> scale);

  Projection Project(Vec3 q) const;
  Camera CameraFrame() const;
  // The part of segment a-b visible on the screen: both ends projected and
  // clipped, or a ray from the one projectable end toward the hidden one.
  // Empty when nothing of it shows.
  std::optional<Segment2> ProjectSegment(Vec3 a, Vec3 b) const;

  Vec3 eye() const { return eye_; }
  Vec3 vector() const { return vector_; }
  double zoom() const { return zoom_; }
  const ScreenRect& screen() const { return screen_; }
  Vec3 pixel_right() const { return pixel_[0]; }
  Vec3 pixel_up() const { return pixel_[1]; }
  Vec3 origin() const { return origin_; }

 private:
  bool Recompute();
  std::optional<Segment2> Clip(Pixel2 from, Pixel2 to, bool ray) const;

  Vec3 eye_{480, 130, 190};
  Vec3 vector_{-136, -38, -52};
  double vector_length_ = 0;
  Vec3 vector_unit_;
  double zoom_ = 50.0;
  Pixel2 shift_;  // in surface widths and heights
  ScreenRect screen_;
  int centre_x_ = 1300;  // centre of view, pixels from the top-left corner, y down
  int centre_y_ = 1000;
  Vec3 pixel_[2];  // one pixel right, one pixel up
  Vec3 origin_;    // world point of the lower-left corner
  Vec3 normal_;
  Vec3 axis_[2];                 // orthonormal in-plane axes
  double to_pixels_[2][2] = {};  // (a, b) in the axes -> (X, Y)
};

}  // namespace vx::geometry3d
