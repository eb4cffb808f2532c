// Face drawing speed: the 60,000 triangles of a ball filling a 1200 x 720
// view, drawn with the depth buffer (flat and smooth light), faces per
// second. When Mesa's off-screen library is there the same triangles, in
// the same projection, are drawn by its software rasteriser (llvmpipe, one
// thread: LP_NUM_THREADS=0) in the same run for comparison; it is given the
// colours already lit, so it does less work than ours.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

#include "geometry3d/face_tools.hpp"
#include "geometry3d/rasterizer.hpp"
#include "geometry3d/view.hpp"
#include "graphics/vram.hpp"

#ifdef VEXMORA_BENCH_OSMESA
#include <GL/osmesa.h>
#endif

namespace {

using vx::geometry3d::Face;
using vx::geometry3d::Vec3;

constexpr int kWidth = 1200;
constexpr int kHeight = 720;

struct Scene {
  vx::geometry3d::View view;
  std::vector<Face> faces;
  Scene() {
    vx::geometry3d::ScreenRect r{0, 0, kWidth - 1, kHeight - 1};
    view.SetScreen(r);
    view.SetCentre(kWidth / 2, kHeight / 2);
    view.SetEye({0, -600, 200}, {0, 600, -200}, 50);
    // 200 slices × 151 stacks: 2 · 200 · 150 = 60,000 triangles.
    faces = vx::geometry3d::BallFaces({0, 0, 0}, 150, 200, 151, false, {1.0, 0.8, 0.3});
  }
};

const Scene& TheScene() {
  static const Scene scene;
  return scene;
}

void DrawOurs(benchmark::State& state, std::int32_t mode) {
  const Scene& scene = TheScene();
  vx::graphics::BankMemory bank(static_cast<std::uint8_t*>(std::calloc(vx::graphics::VRAM_BANK_BYTES, 1)));
  vx::geometry3d::Renderer renderer;
  vx::geometry3d::DrawSettings settings;
  settings.mode = mode;
  settings.light.position = {-300, -400, 500};
  for (auto _ : state) {
    renderer.Begin(bank.get(), {0, 0, kWidth - 1, kHeight - 1}, scene.view.CameraFrame(), true);
    renderer.DrawFaces(scene.faces, 0, settings, {});
    benchmark::DoNotOptimize(renderer.Stats().pixels);
  }
  state.counters["faces/s"] =
      benchmark::Counter(static_cast<double>(scene.faces.size()) * state.iterations(), benchmark::Counter::kIsRate);
  std::size_t covered = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) covered += renderer.FaceAt(x, y) ? 1 : 0;
  }
  state.counters["covered"] = static_cast<double>(covered);
}

void BM_DrawBall60000Flat(benchmark::State& state) { DrawOurs(state, vx::geometry3d::kDrawFlat); }
BENCHMARK(BM_DrawBall60000Flat)->Unit(benchmark::kMillisecond);

void BM_DrawBall60000Smooth(benchmark::State& state) { DrawOurs(state, vx::geometry3d::kDrawSmooth); }
BENCHMARK(BM_DrawBall60000Smooth)->Unit(benchmark::kMillisecond);

#ifdef VEXMORA_BENCH_OSMESA

// The GL matrix that gives the same pixels as the view: clip coordinates
// affine in the world point, window x = surface x + 0.5, window y counted
// from the bottom.
std::array<double, 16> ClipMatrix(const vx::geometry3d::Camera& c, double near_w, double far_w) {
  auto clip = [&](Vec3 q) {
    const Vec3 rel = q - c.eye;
    const double w = vx::geometry3d::Dot(c.forward, rel);
    const double cx = (c.left + c.eye_x) * w + c.scale * vx::geometry3d::Dot(c.row_x, rel);
    const double cy = (c.bottom - c.eye_y) * w - c.scale * vx::geometry3d::Dot(c.row_y, rel);
    return std::array<double, 4>{2.0 * (cx + 0.5 * w) / kWidth - w, w - 2.0 * (cy + 0.5 * w) / kHeight,
                                 w * (far_w + near_w) / (far_w - near_w) - 2 * far_w * near_w / (far_w - near_w), w};
  };
  const std::array<double, 4> o = clip({0, 0, 0});
  std::array<double, 16> m{};
  for (int j = 0; j < 3; ++j) {
    Vec3 e{};
    e[j] = 1;
    const std::array<double, 4> v = clip(e);
    for (int i = 0; i < 4; ++i)
      m[static_cast<std::size_t>(j * 4 + i)] = v[static_cast<std::size_t>(i)] - o[static_cast<std::size_t>(i)];
  }
  for (int i = 0; i < 4; ++i) m[static_cast<std::size_t>(12 + i)] = o[static_cast<std::size_t>(i)];
  return m;
}

void BM_MesaLlvmpipeBall60000Flat(benchmark::State& state) {
  setenv("LP_NUM_THREADS", "0", 1);
  setenv("GALLIUM_DRIVER", "llvmpipe", 1);
  const Scene& scene = TheScene();
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
  if (context == nullptr) {
    state.SkipWithError("no OSMesa context");
    return;
  }
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(kWidth) * kHeight * 4);
  OSMesaMakeCurrent(context, frame.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
  std::vector<float> positions;
  std::vector<std::uint8_t> colours;
  vx::geometry3d::Light light;
  light.position = {-300, -400, 500};
  for (const Face& f : scene.faces) {
    const Vec3 n =
        vx::geometry3d::Cross(f.edge_h, f.edge_v) / vx::geometry3d::Length(vx::geometry3d::Cross(f.edge_h, f.edge_v));
    const Vec3 centre = vx::geometry3d::FaceCentre(f);
    const std::optional<Vec3> l = vx::geometry3d::Unit(light.position - centre, 1e-12);
    const double level = light.ambient + (1 - light.ambient) * std::max(0.0, l ? vx::geometry3d::Dot(n, *l) : 1.0);
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = vx::geometry3d::Corner(f, k);
      positions.insert(positions.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
      colours.insert(colours.end(), {static_cast<std::uint8_t>(f.rgb.x * level * 255),
                                     static_cast<std::uint8_t>(f.rgb.y * level * 255),
                                     static_cast<std::uint8_t>(f.rgb.z * level * 255), 255});
    }
  }
  const vx::geometry3d::Camera camera = TheScene().view.CameraFrame();
  const std::array<double, 16> m = ClipMatrix(camera, camera.scale * vx::geometry3d::kNearRatio, camera.scale * 100);
  glViewport(0, 0, kWidth, kHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(m.data());
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  glShadeModel(GL_FLAT);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, positions.data());
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(positions.size() / 3));
    glFinish();
  }
  std::size_t covered = 0;
  for (std::size_t i = 0; i < frame.size(); i += 4) covered += frame[i] != 0 || frame[i + 1] != 0 ? 1 : 0;
  state.counters["faces/s"] =
      benchmark::Counter(static_cast<double>(scene.faces.size()) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["covered"] = static_cast<double>(covered);
  OSMesaDestroyContext(context);
}
BENCHMARK(BM_MesaLlvmpipeBall60000Flat)->Unit(benchmark::kMillisecond);

#endif

}  // namespace
