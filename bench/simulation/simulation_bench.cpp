// Wave simulation speed: one step of the full chain (2000 nodes) and of the
// full lattice (50 x 50 cells), with and without damping and sources, and a
// lattice step with its colour-map drawing; the goal is well under 1 ms a
// step, so that a 30 ms timer can run several steps a tick.
#include <benchmark/benchmark.h>

#include <cmath>

#include "graphics/canvas.hpp"
#include "graphics/vram.hpp"
#include "simulation/chain.hpp"
#include "simulation/lattice.hpp"
#include "simulation/simulation.hpp"

namespace {

using namespace vx::simulation;

void BM_ChainStep2000Nodes(benchmark::State& state) {
  Chain chain;
  chain.Init(CHAIN_NODES_MAX, 0.5, BOUNDARY_ABSORBING, BOUNDARY_FIXED);
  if (state.range(0) != 0) {
    chain.Set(ATTR_DAMPING, 0, 1999, 0.01);
    chain.Drive(0, Source::Sine(1.0, 0.02, 0.0));
  }
  for (std::int32_t i = 900; i < 1100; ++i) chain.Set(ATTR_DISPLACEMENT, i, i, std::sin(i * 0.1));
  for (auto _ : state) {
    chain.Step();
    benchmark::DoNotOptimize(chain.Displacements()[1000]);
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChainStep2000Nodes)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LatticeStep50x50(benchmark::State& state) {
  Lattice lattice;
  lattice.Init(LATTICE_SIDE_MAX, LATTICE_SIDE_MAX, 0.5, BOUNDARY_ABSORBING);
  if (state.range(0) != 0) lattice.Force(25, 25, Source::Sine(1.0, 0.05, 0.0));
  lattice.Set(ATTR_DISPLACEMENT, 20, 20, 22, 22, 1.0);
  for (auto _ : state) {
    lattice.Step();
    benchmark::DoNotOptimize(lattice.Displacement(25, 25));
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LatticeStep50x50)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LatticeDisplay50x50(benchmark::State& state) {
  Lattice lattice;
  lattice.Set(ATTR_DISPLACEMENT, 20, 20, 22, 22, 1.0);
  vx::graphics::Vram vram;
  vx::graphics::Canvas canvas = vx::graphics::Canvas::Current(vram);
  const LatticeView view{10, 10, static_cast<std::int32_t>(state.range(0)), MAP_COLOUR, 1.0};
  for (auto _ : state) {
    DrawLattice(canvas, lattice, view);
    benchmark::DoNotOptimize(canvas.Get(20, 20));
  }
}
BENCHMARK(BM_LatticeDisplay50x50)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace
