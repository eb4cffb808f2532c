// The face renderer drawing into a bank: depth order, the fill rule on
// shared edges, cutting at the eye plane and the drawing area, the side the
// light falls on, picking, and perspective-correct images.
#include "geometry3d/rasterizer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "geometry3d/view.hpp"
#include "graphics/vram.hpp"

namespace vx::geometry3d {
namespace {

using graphics::Color;
using graphics::PixelRect;

constexpr int kW = 400;
constexpr int kH = 300;

Face Quad(Vec3 base, Vec3 h, Vec3 v, Vec3 rgb, std::int16_t shape = 2) {
  Face f;
  f.shape = shape;
  f.base = base;
  f.edge_h = h;
  f.edge_v = v;
  f.rgb = rgb;
  return f;
}

// Looks along +y from (0, -500, 0) onto a 400 x 300 screen at the bank's
// top-left; x grows to the right and z upwards on the screen.
class RendererTest : public ::testing::Test {
 protected:
  RendererTest() : bank_(static_cast<std::uint8_t*>(std::calloc(graphics::VRAM_BANK_BYTES, 1))) {
    EXPECT_TRUE(view_.SetScreen({0, 0, kW - 1, kH - 1}));
    EXPECT_TRUE(view_.SetCentre(kW / 2, kH / 2));
    EXPECT_TRUE(view_.SetEye({0, -500, 0}, {0, 500, 0.001}, 50));
  }
  void Draw(const std::vector<Face>& faces, std::int32_t mode = kDrawUnlit, bool clear = true,
            PixelRect area = {0, 0, kW - 1, kH - 1}, const TextureLookup& textures = {}) {
    renderer_.Begin(bank_.get(), area, view_.CameraFrame(), clear);
    settings_.mode = mode;
    renderer_.DrawFaces(faces, 0, settings_, textures);
  }
  Color At(int x, int y) const { return graphics::ReadPixel(bank_.get(), x, y); }
  // Surface pixel of a world point.
  std::pair<int, int> PixelOf(Vec3 p) const {
    const Projection pr = view_.Project(p);
    EXPECT_TRUE(pr.Projectable());
    return {static_cast<int>(std::lround(pr.at.x)), static_cast<int>(std::lround(kH - 1 - pr.at.y))};
  }

  graphics::BankMemory bank_;
  View view_;
  Renderer renderer_;
  DrawSettings settings_;
};

TEST(CameraFrame, ProjectsLikeTheView) {
  View view;
  ASSERT_TRUE(view.SetScreen({100, 50, 900, 650}));
  ASSERT_TRUE(view.SetCentre(300, 200));
  ASSERT_TRUE(view.SetEye({40, -300, 120}, {-20, 310, -90}, 80));
  const Camera c = view.CameraFrame();
  for (const Vec3 q : {Vec3{0, 0, 0}, Vec3{100, 50, -30}, Vec3{-400, 900, 200}, Vec3{30, -250, 110}}) {
    const Projection p = view.Project(q);
    ASSERT_TRUE(p.Projectable());
    const Vec3 rel = q - c.eye;
    const double w = Dot(c.forward, rel);
    ASSERT_GT(w, 0);
    EXPECT_NEAR(c.eye_x + c.scale * Dot(c.row_x, rel) / w, p.at.x, 1e-6);
    EXPECT_NEAR(c.eye_y + c.scale * Dot(c.row_y, rel) / w, p.at.y, 1e-6);
  }
  EXPECT_EQ(c.left, 100);
  EXPECT_EQ(c.bottom, 650);
  // Behind the eye the depth is negative.
  EXPECT_LT(Dot(c.forward, Vec3{40, -400, 150} - c.eye), 0);
}

const Vec3 kRed{1, 0, 0};
const Vec3 kBlue{0, 0, 1};
const Color kRedPixel{0, 0, 255};
const Color kBluePixel{255, 0, 0};

TEST_F(RendererTest, NearerFaceWinsWhateverTheOrder) {
  const Face near = Quad({-50, -100, -50}, {100, 0, 0}, {0, 0, 100}, kRed);
  const Face far = Quad({-80, 100, -80}, {160, 0, 0}, {0, 0, 160}, kBlue);
  const auto [cx, cy] = PixelOf({0, 0, 0});
  Draw({near, far});
  EXPECT_EQ(At(cx, cy), kRedPixel);
  Draw({far, near});
  EXPECT_EQ(At(cx, cy), kRedPixel);
  // Outside the near face the far one shows.
  const auto [ex, ey] = PixelOf({77, 100, 0});
  EXPECT_EQ(At(ex, ey), kBluePixel);
  EXPECT_EQ(renderer_.FaceAt(cx, cy), 1);
  EXPECT_EQ(renderer_.FaceAt(ex, ey), 0);
  EXPECT_EQ(renderer_.FaceAt(5, 5), std::nullopt);
  EXPECT_EQ(renderer_.FaceAt(kW + 5, 5), std::nullopt);
}

TEST_F(RendererTest, SharedEdgesAreCoveredExactlyOnce) {
  // A square as two triangles drawn half-transparent over black: a pixel
  // covered twice would be brighter, one left out black.
  // Corners 50 pixels from the centre of view on its plane fall on pixel
  // centres, and the shared diagonal runs through a row of them.
  const double k = Length(view_.pixel_right()) * 50;
  const Vec3 a{-k, 0, -k}, b{k, 0, -k}, c{k, 0, k}, d{-k, 0, k};
  const Face t1 = Quad(a, b - a, c - a, {1, 1, 1}, 3);
  const Face t2 = Quad(a, c - a, d - a, {1, 1, 1}, 3);
  Draw({t1, t2}, kDrawTranslucent);
  int once = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const Color p = At(x, y);
      ASSERT_TRUE((p == Color{} || p == Color{128, 128, 128})) << x << "," << y;
      once += (p == Color{128, 128, 128}) ? 1 : 0;
    }
  }
  // Both halves together cover what the whole quadrilateral covers.
  std::fill(bank_.get(), bank_.get() + graphics::VRAM_BANK_BYTES, 0);
  Draw({t1}, kDrawTranslucent);
  const std::int64_t first = renderer_.Stats().pixels;
  Draw({t2}, kDrawTranslucent);
  EXPECT_EQ(first + renderer_.Stats().pixels, once);
  EXPECT_EQ(once, 100 * 100);  // the top and left edges in, the others out
}

TEST_F(RendererTest, DepthModeSpreadsGreysFromNearestToFarthest) {
  const Face near = Quad({-50, -100, -50}, {100, 0, 0}, {0, 0, 0.001}, kRed);  // a sliver: its depth only
  const Face wall = Quad({-80, 100, -80}, {160, 0, 0}, {0, 0, 160}, kBlue);
  const Face slope = Quad({-100, -100, -60}, {40, 0, 0}, {0, 200, 0}, kBlue);  // from depth 400 to 600
  Draw({near, wall, slope}, kDrawDepth);
  const auto [cx, cy] = PixelOf({0, 100, 0});
  EXPECT_EQ(At(cx, cy), (Color{0, 0, 0}));  // the farthest depth drawn
  const auto [nx, ny] = PixelOf({-80, -95, -60});
  const auto [mx, my] = PixelOf({-80, 0, -60});
  const auto [fx, fy] = PixelOf({-80, 95, -60});
  EXPECT_GT(At(nx, ny).g, 240);
  EXPECT_LT(At(fx, fy).g, 15);
  EXPECT_GT(At(nx, ny).g, At(mx, my).g);
  EXPECT_GT(At(mx, my).g, At(fx, fy).g);
}

TEST_F(RendererTest, FacesReachingBehindTheEyeAreCutAtTheEyePlane) {
  // A floor under the eye from far behind it to far in front.
  const Face floor = Quad({-1000, -3000, -20}, {2000, 0, 0}, {0, 6000, 0}, kRed);
  Draw({floor});
  EXPECT_EQ(renderer_.Stats().faces_drawn, 1);
  EXPECT_EQ(At(kW / 2, kH - 1), kRedPixel);  // right under the eye
  EXPECT_EQ(At(0, kH - 1), kRedPixel);
  EXPECT_EQ(At(kW / 2, 0), Color{});  // above the horizon
  // Entirely behind the eye: nothing.
  Draw({Quad({-50, -700, -50}, {100, 0, 0}, {0, 0, 100}, kBlue)});
  EXPECT_EQ(renderer_.Stats().faces_drawn, 0);
  EXPECT_EQ(renderer_.Stats().pixels, 0);
}

TEST_F(RendererTest, NothingIsWrittenOutsideTheArea) {
  const Face big = Quad({-400, 0, -400}, {800, 0, 0}, {0, 0, 800}, kRed);
  const PixelRect area{100, 50, 199, 149};
  Draw({big}, kDrawUnlit, true, area);
  EXPECT_EQ(renderer_.Stats().pixels, 100 * 100);
  EXPECT_EQ(At(100, 50), kRedPixel);
  EXPECT_EQ(At(199, 149), kRedPixel);
  EXPECT_EQ(At(99, 100), Color{});
  EXPECT_EQ(At(200, 100), Color{});
  EXPECT_EQ(At(150, 49), Color{});
  EXPECT_EQ(At(150, 150), Color{});
  EXPECT_EQ(renderer_.FaceAt(99, 100), std::nullopt);
}

TEST_F(RendererTest, LightFallsOnTheSideThatFacesIt) {
  // A wall facing the eye; its two halves are the same face drawn twice,
  // seen from the front with the light in front, then behind.
  const Face wall = Quad({-50, 0, -50}, {100, 0, 0}, {0, 0, 100}, {1, 1, 1}, 0);
  settings_.light.ambient = 0.2;
  settings_.light.position = {0, -1000, 0};
  Draw({wall}, kDrawFlat);
  const auto [cx, cy] = PixelOf({0, 0, 0});
  const int lit = At(cx, cy).g;
  settings_.light.position = {0, 1000, 0};
  Draw({wall}, kDrawFlat);
  const int dark = At(cx, cy).g;
  EXPECT_GT(lit, 240);
  EXPECT_NEAR(dark, 51, 1);  // the ambient share only
  // The same wall turned round (VH and VV swapped) shades the same: faces
  // show both sides.
  Face turned = wall;
  std::swap(turned.edge_h, turned.edge_v);
  settings_.light.position = {0, -1000, 0};
  Draw({turned}, kDrawFlat);
  EXPECT_EQ(At(cx, cy).g, lit);
  // A light from the upper left lights the upper left corner more in
  // smooth mode than the lower right.
  settings_.light.position = {-100, -60, 100};
  Draw({wall}, kDrawSmooth);
  const auto [ax, ay] = PixelOf({-45, 0, 45});
  const auto [bx, by] = PixelOf({45, 0, -45});
  EXPECT_GT(At(ax, ay).g, At(bx, by).g);
}

TEST_F(RendererTest, SmoothLightBlendsAcrossGentleFoldsOnly) {
  // Two white faces meeting along the vertical line x = 0, the right one
  // folded toward the eye; parallel light from the eye's side.
  settings_.light.directional = true;
  settings_.light.direction = {0, 1, 0};
  settings_.light.ambient = 0;
  auto fold = [&](double degrees, std::int32_t mode) {
    const double a = degrees * Pi() / 180;
    const Face left = Quad({-60, 0, -40}, {60, 0, 0}, {0, 0, 80}, {1, 1, 1}, 0);
    const Face right = Quad({0, 0, -40}, {60 * std::cos(a), -60 * std::sin(a), 0}, {0, 0, 80}, {1, 1, 1}, 0);
    Draw({left, right}, mode);
    const auto [ex, ey] = PixelOf({0, 0, 0});
    return std::abs(At(ex - 2, ey).g - At(ex + 2, ey).g);
  };
  EXPECT_GT(fold(30, kDrawFlat), 25);     // 255 against 255 × cos 30°
  EXPECT_LT(fold(30, kDrawSmooth), 6);    // both sides take the mean normal
  EXPECT_GT(fold(80, kDrawSmooth), 100);  // past the crease angle: a sharp edge
}

// Mode 8 shows the face's normal, turned toward the eye, as red, green,
// blue = (x + 1, y + 1, z + 1) × 127.5, each component its own.
TEST_F(RendererTest, NormalModeShowsEachComponentOfTheNormal) {
  const auto expect_near = [](Color got, Color want) {
    EXPECT_LE(std::abs(got.r - want.r), 1) << int{got.r} << " for red " << int{want.r};
    EXPECT_LE(std::abs(got.g - want.g), 1) << int{got.g} << " for green " << int{want.g};
    EXPECT_LE(std::abs(got.b - want.b), 1) << int{got.b} << " for blue " << int{want.b};
  };
  // Normal (-0.6, -0.8, 0): tilted about the vertical.
  Draw({Quad({-40, 30, -50}, {80, -60, 0}, {0, 0, 100}, kRed)}, kDrawNormals);
  expect_near(At(kW / 2, kH / 2), Color{128, 26, 51});
  // Normal (0, -0.8, 0.6): tilted about the horizontal, drawn from its back
  // (the normal shown is the one facing the eye).
  Draw({Quad({-50, -30, -40}, {0, 60, 80}, {100, 0, 0}, kRed)}, kDrawNormals);
  expect_near(At(kW / 2, kH / 2), Color{204, 26, 128});
}

TEST_F(RendererTest, DepthBufferIsKeptBetweenDrawsUnlessCleared) {
  const Face near = Quad({-50, -100, -50}, {100, 0, 0}, {0, 0, 100}, kRed);
  const Face far = Quad({-80, 100, -80}, {160, 0, 0}, {0, 0, 160}, kBlue);
  const auto [cx, cy] = PixelOf({0, 0, 0});
  Draw({near});
  Draw({far}, kDrawUnlit, false);
  EXPECT_EQ(At(cx, cy), kRedPixel);
  Draw({far}, kDrawUnlit, true);
  EXPECT_EQ(At(cx, cy), kBluePixel);
  // A 2D depth rectangle nearer than the face hides it there.
  std::fill(bank_.get(), bank_.get() + graphics::VRAM_BANK_BYTES, 0);
  renderer_.Begin(bank_.get(), {0, 0, kW - 1, kH - 1}, view_.CameraFrame(), true);
  renderer_.SetDepthRect({cx - 5, cy - 5, cx + 5, cy + 5}, 100);
  settings_.mode = kDrawUnlit;
  renderer_.DrawFaces(std::vector<Face>{far}, 0, settings_, {});
  EXPECT_EQ(At(cx, cy), Color{});
  EXPECT_EQ(At(cx + 10, cy), kBluePixel);
  EXPECT_EQ(renderer_.FaceAt(cx, cy), std::nullopt);
}

TEST_F(RendererTest, UnknownShapesAndFlatFacesAreSkipped) {
  std::vector<Face> faces{
      Quad({0, 0, 0}, {10, 0, 0}, {0, 0, 10}, kRed, 100), Quad({0, 0, 0}, {10, 0, 0}, {20, 0, 0}, kRed, 0),
      Quad({NAN, 0, 0}, {10, 0, 0}, {0, 0, 10}, kRed, 0), Quad({1e300, 0, 0}, {1e300, 0, 0}, {0, 0, 1e300}, kRed, 0)};
  Draw(faces);
  EXPECT_EQ(renderer_.Stats().faces_skipped, 4);
  EXPECT_EQ(renderer_.Stats().pixels, 0);
  // Huge but finite faces are cut to the guard band and fill the screen.
  Draw({Quad({-1e12, 10, -1e12}, {2e12, 0, 0}, {0, 0, 2e12}, kRed)});
  EXPECT_EQ(renderer_.Stats().pixels, kW * kH);
}

TEST_F(RendererTest, ImagesAreMappedInPerspective) {
  // Left half red, right half blue, 2 x 1 pixels.
  const std::uint8_t texels[] = {0, 0, 255, 255, 0, 0};
  const TextureLookup lookup = [&](const Face&) { return std::optional<TextureView>(TextureView{texels, 6, 2, 1}); };
  // A floor running away from the eye: VH along x, VV along +y (depth).
  // The middle of VV in space is far above the middle on the screen.
  Face floor = Quad({-100, -300, -50}, {0, 600, 0}, {200, 0, 0}, {1, 1, 1});
  floor.image = 1;
  Draw({floor}, kDrawUnlit, true, {0, 0, kW - 1, kH - 1}, lookup);
  // s runs along VH (depth): the colour changes at the world midpoint.
  const auto [nx, ny] = PixelOf({0, -10, -50});
  const auto [fx, fy] = PixelOf({0, 10, -50});
  EXPECT_EQ(At(nx, ny), kRedPixel);
  EXPECT_EQ(At(fx, fy), kBluePixel);
  // Halfway up the floor on the screen is still well in front of the world
  // midpoint: a mapping straight across the screen would show blue there.
  const auto [ax, ay] = PixelOf({0, -290, -50});
  const auto [bx, by] = PixelOf({0, 290, -50});
  EXPECT_EQ(At((ax + bx) / 2, (ay + by) / 2), kRedPixel);
}

TEST_F(RendererTest, ImageOriginAndRepeatsMoveTheImage) {
  const std::uint8_t texels[] = {0, 0, 255, 255, 0, 0};  // red | blue
  const TextureLookup lookup = [&](const Face&) { return std::optional<TextureView>(TextureView{texels, 6, 2, 1}); };
  Face wall = Quad({-80, 0, -40}, {160, 0, 0}, {0, 0, 80}, {1, 1, 1});
  wall.image = 1;
  auto colour_at = [&](double x) {
    const auto [px, py] = PixelOf({x, 0, 0});
    return At(px, py);
  };
  settings_.mapping.zoom_u = 2;  // red, blue, red, blue across the wall
  Draw({wall}, kDrawUnlit, true, {0, 0, kW - 1, kH - 1}, lookup);
  EXPECT_EQ(colour_at(-70), kRedPixel);
  EXPECT_EQ(colour_at(-30), kBluePixel);
  EXPECT_EQ(colour_at(10), kRedPixel);
  EXPECT_EQ(colour_at(50), kBluePixel);
  settings_.mapping.zoom_u = 1;
  settings_.mapping.origin_u = 1;  // VB shows the second pixel: blue | red
  Draw({wall}, kDrawUnlit, true, {0, 0, kW - 1, kH - 1}, lookup);
  EXPECT_EQ(colour_at(-50), kBluePixel);
  EXPECT_EQ(colour_at(50), kRedPixel);
  // Without an image the face keeps its colour.
  const TextureLookup none = [](const Face&) { return std::optional<TextureView>(); };
  Draw({wall}, kDrawUnlit, true, {0, 0, kW - 1, kH - 1}, none);
  EXPECT_EQ(colour_at(0), (Color{255, 255, 255}));
}

}  // namespace
}  // namespace vx::geometry3d
