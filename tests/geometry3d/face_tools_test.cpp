// Face makers and reshaping: counts, closed solids with outward normals
// (their enclosed volume, summed from the faces, is positive and right),
// mirrors that keep normals outward, bends, plates and bounds.
#include "geometry3d/face_tools.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

namespace vx::geometry3d {
namespace {

const Vec3 kGrey{0.5, 0.5, 0.5};

// Signed volume enclosed by the faces (divergence theorem); positive when
// every normal points out of the solid.
double Volume(const std::vector<Face>& faces) {
  double six_v = 0;
  for (const Face& f : faces) {
    const Vec3 a = Corner(f, 0), b = Corner(f, 1), c = Corner(f, 2);
    six_v += Dot(a, Cross(b, c));
    if (CornerCount(f) == 4) six_v += Dot(a, Cross(c, Corner(f, 3)));
  }
  return six_v / 6;
}

// The area-weighted normals of a closed surface add up to nothing.
Vec3 NormalSum(const std::vector<Face>& faces) {
  Vec3 sum{};
  for (const Face& f : faces) sum = sum + Cross(f.edge_h, f.edge_v) * (CornerCount(f) == 3 ? 0.5 : 1.0);
  return sum;
}

// How many times the surface winds round `p` (the sum of the solid angles
// its triangles span, over 4π): 1 inside a closed solid whose faces point
// out, 0 outside, -1 inside one turned inside out.
double Winding(const std::vector<Face>& faces, Vec3 p) {
  double sum = 0;
  const auto angle = [&](Vec3 a, Vec3 b, Vec3 c) {
    a = a - p;
    b = b - p;
    c = c - p;
    const double la = Length(a), lb = Length(b), lc = Length(c);
    return 2 * std::atan2(Dot(a, Cross(b, c)), la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la);
  };
  for (const Face& f : faces) {
    sum += angle(Corner(f, 0), Corner(f, 1), Corner(f, 2));
    if (CornerCount(f) == 4) sum += angle(Corner(f, 0), Corner(f, 2), Corner(f, 3));
  }
  return sum / (4 * Pi());
}

// Every face of a closed solid has the solid behind it and nothing in front:
// a step from its centre along VH × VV leaves the solid, one against it
// enters. Faces of no area are left out.
void ExpectEveryFaceOutward(const std::vector<Face>& faces) {
  for (std::size_t i = 0; i < faces.size(); ++i) {
    const std::optional<Vec3> n = Unit(Cross(faces[i].edge_h, faces[i].edge_v), 1e-9);
    if (!n) continue;
    const Vec3 c = FaceCentre(faces[i]);
    EXPECT_NEAR(Winding(faces, c + *n * 1e-3), 0, 1e-3) << "in front of face " << i;
    EXPECT_NEAR(Winding(faces, c - *n * 1e-3), 1, 1e-3) << "behind face " << i;
  }
}

void ExpectClosed(const std::vector<Face>& faces) {
  const Vec3 s = NormalSum(faces);
  EXPECT_NEAR(s.x, 0, 1e-6);
  EXPECT_NEAR(s.y, 0, 1e-6);
  EXPECT_NEAR(s.z, 0, 1e-6);
}

TEST(Makers, BallCountsRadiusAndOutwardNormals) {
  const Vec3 c{10, -5, 3};
  const std::vector<Face> ball = BallFaces(c, 20, 200, 151, false, kGrey);
  ASSERT_EQ(ball.size(), 60000u);
  for (const Face& f : ball) {
    ASSERT_EQ(f.shape, kShapeTriangle);
    for (int k = 0; k < 3; ++k) ASSERT_NEAR(Length(Corner(f, k) - c), 20, 1e-9);
    ASSERT_GT(Dot(Cross(f.edge_h, f.edge_v), FaceCentre(f) - c), 0);
  }
  ExpectClosed(ball);
  const double sphere = 4.0 / 3.0 * Pi() * 20 * 20 * 20;
  EXPECT_NEAR(Volume(ball), sphere, sphere * 0.01);
  const std::vector<Face> marked = BallFaces(c, 20, 8, 4, true, kGrey);
  ASSERT_EQ(marked.size(), 2u * 8 * 3 + 2);
  EXPECT_EQ(marked[marked.size() - 2].shape, kShapeMarker);
  EXPECT_EQ(marked.back().base, (c + Vec3{0, 0, -20}));
  EXPECT_TRUE(BallFaces(c, 20, 2, 4, false, kGrey).empty());
  EXPECT_TRUE(BallFaces(c, 20, 8, 1, false, kGrey).empty());
  EXPECT_TRUE(BallFaces(c, 20, 1001, 4, false, kGrey).empty());
}

TEST(Makers, TubeCylinderMeshAndBarn) {
  const std::vector<Face> tube = TubeFaces({0, 0, 0}, 5, 30, 12, 3, kGrey);
  EXPECT_EQ(tube.size(), 2u * 12 * 3);
  for (const Face& f : tube) EXPECT_GT(Dot(Cross(f.edge_h, f.edge_v), FaceCentre(f) - Vec3{0, 0, FaceCentre(f).z}), 0);

  const std::vector<Face> cylinder = CylinderFaces({1, 2, 3}, 5, 30, 16, kGrey);
  EXPECT_EQ(cylinder.size(), 4u * 16);
  ExpectClosed(cylinder);
  const double polygon = 0.5 * 16 * 25 * std::sin(2 * Pi() / 16);
  EXPECT_NEAR(Volume(cylinder), polygon * 30, 1e-6);
  // A negative length grows downwards and still points out.
  EXPECT_NEAR(Volume(CylinderFaces({1, 2, 3}, 5, -30, 16, kGrey)), polygon * 30, 1e-6);

  const std::vector<Face> mesh = MeshFaces(3, 2, 10, -5, {0, 0, 7}, kGrey);
  ASSERT_EQ(mesh.size(), 6u);
  for (const Face& f : mesh) EXPECT_GT(Cross(f.edge_h, f.edge_v).z, 0);
  EXPECT_TRUE(MeshFaces(0, 2, 1, 1, {}, kGrey).empty());

  const std::vector<Face> barn = BarnFaces({4, 6, 3}, 2, {0, 0, 0}, kGrey);
  ASSERT_EQ(barn.size(), 9u);
  ExpectClosed(barn);
  EXPECT_NEAR(Volume(barn), 4 * 6 * 3 + 0.5 * 6 * 2 * 4, 1e-9);
}

TEST(Makers, NegativeRadiiTurnSolidsHalfARoundAndOnlyNegativeLengthsMirror) {
  // A ten-sided prism of radius 4 and height 6: 282.1 whatever the signs.
  const double prism = 0.5 * 10 * 16 * std::sin(2 * Pi() / 10) * 6;
  for (const double radius : {4.0, -4.0}) {
    for (const double length : {6.0, -6.0}) {
      SCOPED_TRACE(testing::Message() << "radius " << radius << " length " << length);
      const std::vector<Face> cylinder = CylinderFaces({0, 0, 0}, radius, length, 10, kGrey);
      EXPECT_NEAR(Volume(cylinder), prism, 1e-9);
      ExpectClosed(cylinder);
      ExpectEveryFaceOutward(cylinder);
      // The open tube: every face looks away from the axis.
      for (const Face& f : TubeFaces({0, 0, 0}, radius - 1, length + 4, 6, 2, kGrey)) {
        const Vec3 c = FaceCentre(f);
        EXPECT_GT(Dot(Cross(f.edge_h, f.edge_v), Vec3{c.x, c.y, 0}), 0);
      }
    }
  }
  // A ball's negative radius sends every point through the centre, a
  // mirror of space: the faces are turned back so that they still look out.
  const std::vector<Face> ball = BallFaces({1, 2, 3}, -5, 12, 8, false, kGrey);
  EXPECT_GT(Volume(ball), 0.9 * 4.0 / 3.0 * Pi() * 125);
  ExpectEveryFaceOutward(ball);
}

TEST(Makers, BarnRoofsRidgeOrValley) {
  const std::vector<Face> ridge = BarnFaces({4, 6, 3}, 1, {0, 0, 0}, kGrey);
  ASSERT_EQ(ridge.size(), 9u);
  EXPECT_NEAR(Volume(ridge), 72 + 12, 1e-9);
  ExpectEveryFaceOutward(ridge);
  // A valley takes its prism out of the box: 72 - 12, every face looking
  // out, and no end wall covering the notch above the valley.
  const std::vector<Face> valley = BarnFaces({4, 6, 3}, -1, {0, 0, 0}, kGrey);
  ASSERT_EQ(valley.size(), 11u);
  EXPECT_NEAR(Volume(valley), 60, 1e-9);
  ExpectClosed(valley);
  ExpectEveryFaceOutward(valley);
  const Vec3 notch{0, 3, 2.9};  // on the end wall's plane, inside the notch
  for (const Face& f : valley) {
    if (std::abs(f.base.x) > 1e-12 || CornerCount(f) != 3) continue;
    const Vec3 a = Corner(f, 0) - notch, b = Corner(f, 1) - notch, c = Corner(f, 2) - notch;
    const double s1 = Cross(a, b).x, s2 = Cross(b, c).x, s3 = Cross(c, a).x;
    EXPECT_FALSE((s1 > 0 && s2 > 0 && s3 > 0) || (s1 < 0 && s2 < 0 && s3 < 0)) << "the notch is covered";
  }
  // Negative sizes grow the barn the other way from the corner; a valley
  // down to the floor (pinching the barn in two along it) still closes.
  const std::vector<Face> mirrored = BarnFaces({-4, 6, -3}, -1, {4, 0, 3}, kGrey);
  EXPECT_NEAR(Volume(mirrored), 60, 1e-9);
  ExpectEveryFaceOutward(mirrored);
  const std::vector<Face> deepest = BarnFaces({4, 6, 3}, -3, {0, 0, 0}, kGrey);
  EXPECT_NEAR(Volume(deepest), 72 - 36, 1e-9);
  ExpectClosed(deepest);
}

TEST(Reshaping, MirrorKeepsNormalsOutward) {
  std::vector<Face> c = CylinderFaces({0, 0, 0}, 5, 10, 8, kGrey);
  const double before = Volume(c);
  Mat3 mirror = Identity();
  mirror.m[0][0] = -1;
  TransformFaces(c, mirror, {3, 0, 0});
  EXPECT_NEAR(Volume(c), before, 1e-9);
  const std::optional<Bounds> b = BoundsOf(c);
  ASSERT_TRUE(b);
  EXPECT_NEAR(b->low.x, 1, 1e-9);  // 6 - 5
  EXPECT_NEAR(b->high.x, 11, 1e-9);
  // A rotation keeps the volume, a scale multiplies it.
  TransformFaces(c, RotationMatrix({0.3, -1.1, 0.4}), {1, 1, 1});
  EXPECT_NEAR(Volume(c), before, 1e-9);
  Mat3 scale{};
  scale.m[0][0] = 2;
  scale.m[1][1] = 3;
  scale.m[2][2] = -1;  // a flip too
  TransformFaces(c, scale, {});
  EXPECT_NEAR(Volume(c), before * 6, 1e-6);
}

TEST(Reshaping, EulerAnglesTurnInOrder) {
  // Yaw 90 about z takes x to y; pitch 90 about y takes x to -z.
  const Vec3 y = EulerMatrix(90, 0, 0) * Vec3{1, 0, 0};
  EXPECT_NEAR(y.y, 1, 1e-12);
  const Vec3 down = EulerMatrix(0, 90, 0) * Vec3{1, 0, 0};
  EXPECT_NEAR(down.z, -1, 1e-12);
  // Roll first, then yaw: z turned by roll 90 about x is -y, then yaw 90 → x.
  const Vec3 v = EulerMatrix(90, 0, 90) * Vec3{0, 0, 1};
  EXPECT_NEAR(v.x, 1, 1e-12);
}

TEST(Reshaping, BendShrinkExplodeAndPlate) {
  Face f;
  f.base = {Pi() * 10 / 2, 0, 0};  // a quarter of a circle of radius 10 along x
  f.edge_h = {1, 0, 0};
  f.edge_v = {0, 1, 0};
  std::vector<Face> run{f};
  BendFaces(run, {0, 0, 0}, 10);
  EXPECT_NEAR(run[0].base.x, 10, 1e-9);
  EXPECT_NEAR(run[0].base.z, -10, 1e-9);
  // A point at the centre stays.
  run[0].base = {0, 4, 2};
  BendFaces(run, {0, 0, 0}, 10);
  EXPECT_NEAR(run[0].base.x, 0, 1e-12);
  EXPECT_NEAR(run[0].base.z, 2, 1e-12);

  Face square;
  square.base = {0, 0, 0};
  square.edge_h = {2, 0, 0};
  square.edge_v = {0, 2, 0};
  std::vector<Face> s{square};
  ShrinkFaces(s, 0.5);
  EXPECT_EQ(s[0].base, (Vec3{0.5, 0.5, 0}));
  EXPECT_EQ(s[0].edge_h, (Vec3{1, 0, 0}));
  ExplodeFaces(s, {1, 1, -3}, 2);
  EXPECT_NEAR(s[0].base.z, 2, 1e-12);

  std::vector<Face> plate = PlateFaces(std::vector<Face>{square}, 0.5);
  ASSERT_EQ(plate.size(), 5u);
  plate.push_back(square);
  ExpectClosed(plate);
  EXPECT_NEAR(Volume(plate), 4 * 0.5, 1e-12);
}

TEST(Reshaping, MapFacesMovesTheThreeDefiningCorners) {
  Face f;
  f.base = {1, 0, 0};
  f.edge_h = {1, 0, 0};
  f.edge_v = {0, 1, 0};
  std::vector<Face> run{f};
  MapFaces(run, [](Vec3 p) { return Vec3{p.x * 2, p.y, p.z + 1}; });
  EXPECT_EQ(run[0].base, (Vec3{2, 0, 1}));
  EXPECT_EQ(run[0].edge_h, (Vec3{2, 0, 0}));
  EXPECT_EQ(run[0].edge_v, (Vec3{0, 1, 0}));
  EXPECT_FALSE(BoundsOf(std::vector<Face>{}));
}

}  // namespace
}  // namespace vx::geometry3d
