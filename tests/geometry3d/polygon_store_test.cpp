// Face stores and polygon files: the file line byte for byte, keys in any
// order, missing keys, long texts, and the store's range rules.
#include <gtest/gtest.h>

#include <string>

#include "geometry3d/polygon_store.hpp"

namespace vx::test {
namespace {

using geometry3d::Face;
using geometry3d::FaceStore;
using geometry3d::Vec3;

Face Sample() {
  Face f;
  f.shape = 1;
  f.base = {1, 2, 3};
  f.edge_h = {0.5, 0, 0};
  f.edge_v = {0, -0.25, 0};
  f.rgb = {1, 0.5, 0};
  f.image = 2;
  f.text = "tex.bmp";
  f.extra = -7;
  f.add_info = {1, 2, 3, 4};
  return f;
}

TEST(PolygonFile, LineByteForByte) {
  EXPECT_EQ(geometry3d::FormatFace(Sample()),
            "$VB(1.000000,2.000000,3.000000),$VH(0.500000,0.000000,0.000000), "
            "$VV(0.000000,-0.250000,0.000000), $SHP(1), $IP(2), $STR(tex.bmp), "
            "$RGB(1.000000,0.500000,0.000000), $EX(-7), $ADDINFO(1,2,3,4),\r\n");
}

TEST(PolygonFile, RoundTripAndScale) {
  const std::string line = geometry3d::FormatFace(Sample());
  const auto back = geometry3d::ParseFace(line, 1.0);
  ASSERT_TRUE(back);
  EXPECT_EQ(geometry3d::FormatFace(*back), line);
  const auto doubled = geometry3d::ParseFace(line, 2.0);
  EXPECT_EQ(doubled->base, (Vec3{2, 4, 6}));
  EXPECT_EQ(doubled->edge_v, (Vec3{0, -0.5, 0}));
  // A 127-byte name survives; 128 bytes do not fit.
  Face named = Sample();
  named.text = std::string(127, 'n');
  EXPECT_EQ(geometry3d::ParseFace(geometry3d::FormatFace(named), 1)->text, named.text);
  named.text += "n";
  EXPECT_EQ(geometry3d::ParseFace(geometry3d::FormatFace(named), 1)->text, "");
}

TEST(PolygonFile, KeysInAnyOrderAndDefaults) {
  const auto f = geometry3d::ParseFace("x $VV(0,0,1) $SHP(3) $VB(1,1,1) junk $VH(1,0,0)", 1);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->shape, 3);
  EXPECT_EQ(f->base, (Vec3{1, 1, 1}));
  EXPECT_EQ(f->rgb, (Vec3{0.5, 0.5, 0.5}));
  EXPECT_EQ(f->text, "");
  EXPECT_FALSE(geometry3d::ParseFace("$VB(1,1,1) $VH(1,0,0)", 1));
  EXPECT_FALSE(geometry3d::ParseFace("$VB(1,1,1) $VH(1,0,0) $VV(1,x,0)", 1));
  // A Shift-JIS character whose second byte is ')' does not end the text.
  const auto sjis = geometry3d::ParseFace("$VB(0,0,0)$VH(0,0,0)$VV(0,0,0)$STR(\x83\x29z)", 1);
  EXPECT_EQ(sjis->text, "\x83\x29z");
  const std::vector<Face> faces = geometry3d::ParsePolygonFile(
      "$VB(0,0,0)$VH(1,0,0)$VV(0,1,0)\r\n\r\ngarbage\n$VB(5,0,0)$VH(1,0,0)$VV(0,1,0)", 1);
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[1].base.x, 5);
}

TEST(FaceStore, RangesAndCapacity) {
  FaceStore store(12);
  for (int i = 0; i < 10; ++i) {
    Face f;
    f.base.x = i;
    ASSERT_TRUE(store.Add(f));
  }
  store.Delete(-1, 2);
  store.Delete(10, 1);
  store.Delete(2, -1);
  EXPECT_EQ(store.Count(), 10u);
  store.Delete(5, 1000);
  EXPECT_EQ(store.Count(), 5u);
  store.Delete(0, 2147483647);
  EXPECT_EQ(store.Count(), 0u);
  for (int i = 0; i < 10; ++i) store.Add(Face{});
  store.At(9)->edge_h = {3, 3, 3};
  EXPECT_EQ(store.Copy(9, 1, {1, 0, 0}), 1u);
  EXPECT_EQ(store.At(10)->base.x, 1);
  EXPECT_EQ(store.At(10)->edge_h, (Vec3{3, 3, 3}));
  EXPECT_EQ(store.Copy(0, 5, {}), 1u);  // full at 12
  EXPECT_FALSE(store.Add(Face{}));
  EXPECT_EQ(store.At(12), nullptr);
  EXPECT_EQ(store.At(-1), nullptr);
  store.Reduce(12);
  EXPECT_EQ(store.Count(), 12u);
  store.Reduce(3);
  EXPECT_EQ(store.Count(), 3u);
}

TEST(BoxFaces, NegativeSizeMakesTheSameBoxAndNormalsPointOut) {
  const auto a = geometry3d::BoxFaces({-2, 1, 1}, {0, 0, 0}, {});
  const auto b = geometry3d::BoxFaces({2, 1, 1}, {-2, 0, 0}, {});
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].base, b[i].base);
    EXPECT_EQ(a[i].edge_h, b[i].edge_h);
    const Vec3 centre{-1, 0.5, 0.5};
    const Vec3 middle = a[i].base + (a[i].edge_h + a[i].edge_v) * 0.5;
    EXPECT_GT(geometry3d::Dot(geometry3d::Cross(a[i].edge_h, a[i].edge_v), middle - centre), 0);
  }
}

}  // namespace
}  // namespace vx::test
