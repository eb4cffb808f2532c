// 3D view speed: projection of 50,000 wire points, and the wireframe's
// segments projected and clipped (points and segments per second).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "geometry3d/view.hpp"
#include "geometry3d/wire_model.hpp"

namespace {

using vx::geometry3d::Vec3;
using vx::geometry3d::View;

std::vector<Vec3> CloudAroundCentre(const View& view, int n) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> offset(-150, 150);
  const Vec3 centre = view.eye() + view.vector();
  std::vector<Vec3> points(static_cast<std::size_t>(n));
  for (Vec3& p : points) p = centre + Vec3{offset(random), offset(random), offset(random)};
  return points;
}

void BM_Project50000Points(benchmark::State& state) {
  const View view;
  const std::vector<Vec3> points = CloudAroundCentre(view, vx::geometry3d::kWirePoints);
  for (auto _ : state) {
    double sum = 0;
    for (const Vec3& p : points) sum += view.Project(p).at.x;
    benchmark::DoNotOptimize(sum);
  }
  state.counters["points/s"] = benchmark::Counter(static_cast<double>(points.size()) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Project50000Points)->Unit(benchmark::kMillisecond);

void BM_ProjectSegments(benchmark::State& state) {
  const View view;
  const std::vector<Vec3> points = CloudAroundCentre(view, vx::geometry3d::kWirePoints);
  for (auto _ : state) {
    int shown = 0;
    for (std::size_t i = 1; i < points.size(); ++i) shown += view.ProjectSegment(points[i - 1], points[i]) ? 1 : 0;
    benchmark::DoNotOptimize(shown);
  }
  state.counters["segments/s"] = benchmark::Counter(static_cast<double>(points.size() - 1) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProjectSegments)->Unit(benchmark::kMillisecond);

}  // namespace
