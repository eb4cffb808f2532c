// The 3D view: defaults, projection and its behind-eye cases, clipping and
// rays, and the view changes that must be refused.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry3d/view.hpp"

namespace vx::test {
namespace {

using geometry3d::Depth;
using geometry3d::ScreenRect;
using geometry3d::Vec3;
using geometry3d::View;

TEST(View, CentreOfViewFallsOnTheCentrePixel) {
  const View view;
  const geometry3d::Projection p = view.Project({344, 92, 138});
  ASSERT_TRUE(p.Projectable());
  EXPECT_NEAR(p.at.x, 1300, 1e-6);
  EXPECT_NEAR(p.at.y, 999, 1e-6);  // 1999 - 1000 rows above the bottom edge
}

TEST(View, DepthCases) {
  const View view;
  const Vec3 eye = view.eye();
  const Vec3 forward = view.vector();
  EXPECT_EQ(view.Project(eye + forward * 2).depth, Depth::kBeyondPlane);
  EXPECT_EQ(view.Project(eye + forward * 0.5).depth, Depth::kBeforePlane);
  EXPECT_EQ(view.Project(eye - forward).depth, Depth::kBehind);
  EXPECT_EQ(view.Project(eye).depth, Depth::kParallel);  // no distance to the plane
  EXPECT_EQ(view.Project(eye + geometry3d::Cross(forward, {0, 0, 1})).depth, Depth::kParallel);
}

TEST(View, ZoomDoublesDistancesFromTheCentre) {
  View view;
  const Vec3 q{344, 92, 150};
  const double before = view.Project(q).at.y - 999;
  ASSERT_TRUE(view.SetEye(view.eye(), view.vector(), 100));
  EXPECT_NEAR(view.Project(q).at.y - 999, 2 * before, 1e-6);
  ASSERT_TRUE(view.SetEye(view.eye(), view.vector(), 2000));  // out of range: kept
  EXPECT_EQ(view.zoom(), 100);
}

TEST(View, RefusesUnusableChanges) {
  View view;
  EXPECT_FALSE(view.SetEye({0, 0, 0}, {0, 0, -1}, 50));  // vertical
  EXPECT_FALSE(view.SetEye({0, 0, 0}, {1e-11, 0, 0}, 50));
  EXPECT_FALSE(view.SetEye({0, 0, 0}, {NAN, 1, 0}, 50));
  EXPECT_EQ(view.eye(), (Vec3{480, 130, 190}));
  EXPECT_FALSE(view.SetScreen({0, 0, 2600, 1999}));
  EXPECT_FALSE(view.SetScreen({100, 0, 101, 100}));   // one pixel wide
  EXPECT_FALSE(view.SetScreen({100, 50, 300, 40}));   // reversed
  EXPECT_FALSE(view.SetScreen({-1, 0, 300, 40}));
  EXPECT_EQ(view.screen().right, 2599);
  EXPECT_TRUE(view.SetScreen({100, 0, 102, 0}));
}

TEST(View, MoveClampsElevationAndKeepsTheRightPoint) {
  View view;
  const Vec3 eye = view.eye();
  ASSERT_TRUE(view.Move(0, 90, std::nullopt));  // from -20.2 degrees to 69.8
  ASSERT_TRUE(view.Move(0, 90, std::nullopt));
  const Vec3 r = view.vector();
  const double elevation = std::atan(r.z / std::hypot(r.x, r.y)) * 180 / 3.14159;
  EXPECT_NEAR(elevation, 80, 1e-9);
  EXPECT_EQ(view.eye(), eye);

  // Down as far as up: -20.2 degrees turned 90 further down stops at -80.
  View low;
  ASSERT_TRUE(low.Move(0, -90, std::nullopt));
  const Vec3 d = low.vector();
  EXPECT_NEAR(std::atan(d.z / std::hypot(d.x, d.y)) * 180 / 3.14159, -80, 1e-9);
  EXPECT_NEAR(std::hypot(d.x, d.y), std::hypot(136.0, 38.0), 1e-9) << "the heading and ground length stay";

  View orbit;
  const Vec3 centre = orbit.eye() + orbit.vector();
  ASSERT_TRUE(orbit.Move(90, 0, 1.0));
  const Vec3 moved = orbit.eye() + orbit.vector();
  EXPECT_NEAR(moved.x, centre.x, 1e-9);
  EXPECT_NEAR(moved.y, centre.y, 1e-9);
  EXPECT_NEAR(moved.z, centre.z, 1e-9);
  EXPECT_GT(geometry3d::Length(orbit.eye() - eye), 100);

  View zero;
  EXPECT_FALSE(zero.Move(10, 0, 0.0));  // would leave no viewing vector
  EXPECT_EQ(zero.vector(), (Vec3{-136, -38, -52}));
}

TEST(View, SegmentsAreClippedToTheScreen) {
  View view;
  ASSERT_TRUE(view.SetScreen({100, 100, 300, 200}));
  ASSERT_TRUE(view.SetCentre(100, 50));
  const Vec3 centre = view.eye() + view.vector();
  const Vec3 right = view.pixel_right();
  // Far longer than the screen is wide, through the centre of view.
  const auto s = view.ProjectSegment(centre - right * 5000, centre + right * 5000);
  ASSERT_TRUE(s);
  EXPECT_NEAR(s->a.x, 0, 1e-6);
  EXPECT_NEAR(s->b.x, 200, 1e-6);
  // Entirely off the screen.
  EXPECT_FALSE(view.ProjectSegment(centre + right * 5000, centre + right * 6000));
}

TEST(View, HalfHiddenSegmentBecomesARayToTheEdge) {
  const View view;
  const Vec3 centre = view.eye() + view.vector();
  const Vec3 behind = view.eye() - view.vector() + view.pixel_right() * 100;
  const auto s = view.ProjectSegment(centre, behind);
  ASSERT_TRUE(s);
  EXPECT_NEAR(s->a.x, 1300, 1e-6);
  // The ray reaches an edge of the rectangle.
  const bool at_edge = std::fabs(s->b.x) < 1e-6 || std::fabs(s->b.x - 2599) < 1e-6 ||
                       std::fabs(s->b.y) < 1e-6 || std::fabs(s->b.y - 1999) < 1e-6;
  EXPECT_TRUE(at_edge);
  // Both ends behind: nothing.
  EXPECT_FALSE(view.ProjectSegment(view.eye() - view.vector(), view.eye() - view.vector() * 2));
}

}  // namespace
}  // namespace vx::test
