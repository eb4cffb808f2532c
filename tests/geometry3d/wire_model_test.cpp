// The wireframe model: tables, bases and offsets, and wire files with
// damaged records.
#include <gtest/gtest.h>

#include <string>

#include "geometry3d/wire_model.hpp"

namespace vx::test {
namespace {

using geometry3d::LoadResult;
using geometry3d::Vec3;
using geometry3d::WireModel;

constexpr const char* kSquare =
    "P, 0, 0, 0, 0\n"
    "p,1, 10, 0, 0\n"
    "P, 2, 10, 10, 0\r\n"
    "L, 0, 1, 255, 0, 0\n"
    "l, 1, 2, 0, 300, -5\n"
    "# comment\n"
    "P 3, 1, 1, 1\n"        // no comma after the letter: skipped
    "P, 4, 1, x, 1\n"       // a number that does not parse: skipped
    "L, 0, 2, 1, 2\n";      // too few numbers: skipped

TEST(WireModel, LoadsPointsAndLinesAndMovesTheBase) {
  WireModel wire;
  wire.SetOffset(100, 0, -1);
  ASSERT_EQ(wire.Load(kSquare), LoadResult::kComplete);
  EXPECT_EQ(wire.Point(2)->at, (Vec3{110, 10, -1}));
  EXPECT_FALSE(wire.Point(3)->defined);
  EXPECT_FALSE(wire.Point(4)->defined);
  ASSERT_EQ(wire.Lines().size(), 2u);
  EXPECT_EQ(wire.Lines()[1].g, 255);  // clamped
  EXPECT_EQ(wire.Lines()[1].b, 0);
  EXPECT_EQ(wire.Base(), 3);

  // A second load numbers its points after the first file's.
  ASSERT_EQ(wire.Load(kSquare), LoadResult::kComplete);
  EXPECT_TRUE(wire.Point(5)->defined);
  ASSERT_EQ(wire.Lines().size(), 4u);
  EXPECT_EQ(wire.Lines()[2].from, 3);
  EXPECT_EQ(wire.Base(), 6);

  wire.Reset();
  EXPECT_EQ(wire.Base(), 0);
  EXPECT_TRUE(wire.Lines().empty());
  EXPECT_TRUE(wire.Point(5)->defined);  // points stay
  wire.Clear();
  EXPECT_FALSE(wire.Point(0)->defined);
}

TEST(WireModel, EmptyFileSetsBaseToOne) {
  WireModel wire;
  EXPECT_EQ(wire.Load(""), LoadResult::kComplete);
  EXPECT_EQ(wire.Base(), 1);
}

TEST(WireModel, IndexesOutsideTheTable) {
  WireModel wire;
  EXPECT_FALSE(wire.SetPoint(50000, {}));
  EXPECT_FALSE(wire.SetPoint(-1, {}));
  EXPECT_EQ(wire.Point(-1), nullptr);
  EXPECT_EQ(wire.Point(50000), nullptr);
  // A negative point is skipped; one past the table stops the load there.
  EXPECT_EQ(wire.Load("P, -3, 1, 1, 1\nP, 7, 1, 1, 1\nP, 50000, 1, 1, 1\nP, 8, 1, 1, 1\n"),
            LoadResult::kStopped);
  EXPECT_TRUE(wire.Point(7)->defined);
  EXPECT_FALSE(wire.Point(8)->defined);
  EXPECT_EQ(wire.Base(), 0);  // a stopped load leaves the base
  // Huge numbers saturate instead of wrapping round into the table.
  EXPECT_EQ(wire.Load("P, 99999999999999999999999, 1, 1, 1\n"), LoadResult::kStopped);
  EXPECT_EQ(wire.Load("L, 99999999999999999999, -99999999999999999999, 1, 1, 1\n"),
            LoadResult::kComplete);
  EXPECT_EQ(wire.Lines().back().from, -1);
  EXPECT_EQ(wire.Lines().back().to, -1);
}

TEST(WireModel, FullLineTableStopsTheLoad) {
  WireModel wire;
  for (int i = 0; i < geometry3d::kWireLines; ++i) ASSERT_TRUE(wire.AddLine(0, 1, 1, 1, 1));
  EXPECT_FALSE(wire.AddLine(0, 1, 1, 1, 1));
  EXPECT_EQ(wire.Load("P, 0, 1, 1, 1\nL, 0, 1, 1, 1, 1\n"), LoadResult::kStopped);
}

TEST(WireModel, LoadInOneColour) {
  WireModel wire;
  geometry3d::WireLine colour;
  colour.r = 1;
  colour.g = 2;
  colour.b = 3;
  ASSERT_EQ(wire.Load("L, 0, 1\nL, 1, 2, 200, 200, 200\nL, 5\n", colour), LoadResult::kComplete);
  ASSERT_EQ(wire.Lines().size(), 2u);
  for (const geometry3d::WireLine& line : wire.Lines()) {
    EXPECT_EQ(line.r, 1);
    EXPECT_EQ(line.b, 3);
  }
  // Without a colour the short record is incomplete.
  EXPECT_EQ(wire.Load("L, 0, 1\n"), LoadResult::kComplete);
  EXPECT_EQ(wire.Lines().size(), 2u);
}

TEST(WireModel, LongLinesAreReadInPieces) {
  WireModel wire;
  // 255 characters of padding end the first piece; the record after it in
  // the same line is then read as a line of its own.
  std::string text = "X" + std::string(254, ' ') + "P, 5, 1, 2, 3\n";
  ASSERT_EQ(wire.Load(text), LoadResult::kComplete);
  EXPECT_TRUE(wire.Point(5)->defined);
  // Garbage bytes, NULs and no final newline never crash.
  const std::string garbage("P,\0,1\xff\xfe,\n,L,,,\nP, 1e999, nan, -inf, 1", 37);
  EXPECT_EQ(wire.Load(garbage), LoadResult::kComplete);
}

}  // namespace
}  // namespace vx::test
