// Rotation matrices and vectors, inverses and robust angles.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry3d/vector_math.hpp"

namespace vx::test {
namespace {

using geometry3d::Mat3;
using geometry3d::Vec3;

constexpr double kPi = 3.14159265358979323846;

void ExpectNear(Vec3 actual, Vec3 expected, double tolerance = 1e-12) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(RotationMatrix, TurnsRightHandedAboutTheAxis) {
  const Mat3 about_z = geometry3d::RotationMatrix({0, 0, kPi / 2});
  ExpectNear(about_z * Vec3{1, 0, 0}, {0, 1, 0});
  ExpectNear(about_z * Vec3{0, 1, 0}, {-1, 0, 0});
  const Mat3 about_x = geometry3d::RotationMatrix({kPi / 2, 0, 0});
  ExpectNear(about_x * Vec3{0, 1, 0}, {0, 0, 1});
  // A general axis: the axis itself stays, lengths stay.
  const Vec3 r{0.3, -0.4, 1.2};
  const Mat3 m = geometry3d::RotationMatrix(r);
  ExpectNear(m * r, r);
  EXPECT_NEAR(geometry3d::Length(m * Vec3{1, 2, 3}), std::sqrt(14.0), 1e-12);
}

TEST(RotationMatrix, ShortVectorGivesTheIdentity) {
  EXPECT_EQ(geometry3d::RotationMatrix({1e-13, 0, 0}), geometry3d::Identity());
  EXPECT_EQ(geometry3d::RotationMatrix({}), geometry3d::Identity());
}

TEST(RotationVector, RecoversTheVectorOfARotation) {
  ExpectNear(*geometry3d::RotationVector(geometry3d::RotationMatrix({0.3, 0, 0}), 0), {0.3, 0, 0});
  ExpectNear(*geometry3d::RotationVector(geometry3d::RotationMatrix({0, 0, -2.5}), 0), {0, 0, -2.5});
  const Vec3 r{0.5, -1.0, 0.7};
  ExpectNear(*geometry3d::RotationVector(geometry3d::RotationMatrix(r), 0), r, 1e-9);
  // Near a half turn the angle is still exact.
  const Vec3 half{0, kPi - 1e-7, 0};
  ExpectNear(*geometry3d::RotationVector(geometry3d::RotationMatrix(half), 0), half, 1e-9);
}

TEST(RotationVector, PairsAndFailures) {
  EXPECT_FALSE(geometry3d::RotationVector(geometry3d::Identity(), 0));
  // About x, column 0 does not move, so the pairs with column 0 see no
  // axis: modes 1 and 3 fail, mode 2 and the automatic choice succeed.
  const Mat3 about_x = geometry3d::RotationMatrix({0.3, 0, 0});
  EXPECT_FALSE(geometry3d::RotationVector(about_x, 1));
  EXPECT_FALSE(geometry3d::RotationVector(about_x, 7));  // any other mode is mode 1
  EXPECT_FALSE(geometry3d::RotationVector(about_x, 3));
  const auto by_pair = geometry3d::RotationVector(about_x, 2);
  ASSERT_TRUE(by_pair);
  ExpectNear(*by_pair, {0.3, 0, 0});
  const auto automatic = geometry3d::RotationVector(about_x, 0);
  ASSERT_TRUE(automatic);
  ExpectNear(*automatic, {0.3, 0, 0});
  // A zero matrix is no rotation, a NaN one never passes.
  Mat3 nan;
  nan.m[0][0] = std::nan("");
  EXPECT_FALSE(geometry3d::RotationVector(nan, 0));
}

TEST(Inverse, ByCofactorsAndRefusesSingular) {
  Mat3 a;
  a.m = {{{2, 0, 1}, {1, 3, 0}, {0, 1, 4}}};
  const Mat3 product = a * *geometry3d::Inverse(a);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(product.m[i][j], i == j ? 1 : 0, 1e-14);
  }
  Mat3 singular;
  singular.m = {{{1, 2, 3}, {2, 4, 6}, {0, 1, 1}}};
  EXPECT_FALSE(geometry3d::Inverse(singular));
  Mat3 tiny;
  tiny.m = {{{1e-5, 0, 0}, {0, 1e-5, 0}, {0, 0, 1e-3}}};  // determinant 1e-13
  EXPECT_FALSE(geometry3d::Inverse(tiny));
}

TEST(AngleBetween, RobustAtBothEnds) {
  EXPECT_DOUBLE_EQ(geometry3d::AngleBetween({1, 0, 0}, {-3, 0, 0}), geometry3d::Pi());
  EXPECT_DOUBLE_EQ(geometry3d::AngleBetween({1, 0, 0}, {5, 0, 0}), 0);
  EXPECT_NEAR(geometry3d::AngleBetween({1, 0, 0}, {1, 1e-9, 0}), 1e-9, 1e-20);
  EXPECT_NEAR(geometry3d::AngleBetween({1, 0, 0}, {-1, 1e-9, 0}), kPi - 1e-9, 1e-15);
  EXPECT_NEAR(geometry3d::AngleBetween({1, 0, 0}, {1, 1, 0}), kPi / 4, 1e-15);
  EXPECT_NEAR(geometry3d::AngleBetween({1, 0, 0}, {-1, 1, 0}), 3 * kPi / 4, 1e-15);
}

TEST(Unit, LimitIsInclusiveOfLongerVectors) {
  ExpectNear(*geometry3d::Unit({3, 0, 4}, 1e-13), {0.6, 0, 0.8});
  EXPECT_FALSE(geometry3d::Unit({1e-14, 0, 0}, 1e-13));
  EXPECT_FALSE(geometry3d::Unit({std::nan(""), 0, 0}, 1e-13));
}

}  // namespace
}  // namespace vx::test
