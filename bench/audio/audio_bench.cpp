// Sound speed: the refill of a 32,000-sample playback buffer (mono and
// stereo with volumes), a filter pass over a whole bank (the RC filter of
// AudioCtrl and the biquad of LPFltr), and the FFT spectrum of the whole
// main wave. bench/audio/audio_vs_sox.sh times the same work in sox.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "audio/audio_system.hpp"
#include "audio/filters.hpp"
#include "audio/signal.hpp"

namespace vx::audio {
namespace {

void FillWithMusic(std::span<std::int16_t> s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<std::int16_t>(9000 * std::sin(i * 0.031) + 5000 * std::sin(i * 0.47));
  }
}

void BM_RefillPlaybackBuffer(benchmark::State& state) {
  auto a = std::make_unique<AudioSystem>();
  FillWithMusic(a->stores.Main());
  FillWithMusic(a->stores.Bank(0));
  a->left = a->stores.Main();
  a->right = a->stores.Bank(0);
  a->stereo = state.range(0) != 0;
  a->volume_left = 50;
  a->end = WAVE_SAMPLES;
  for (auto _ : state) {
    a->position = 0;
    benchmark::DoNotOptimize(FillPlaybackBuffer(*a, 0));
  }
  state.SetItemsProcessed(state.iterations() * DEVICE_BUFFER_SAMPLES);
}
BENCHMARK(BM_RefillPlaybackBuffer)->Arg(0)->Arg(1);

void BM_RcLowPassWholeBank(benchmark::State& state) {
  std::vector<std::int16_t> source(WAVE_SAMPLES), work(WAVE_SAMPLES);
  FillWithMusic(source);
  for (auto _ : state) {
    work = source;
    benchmark::DoNotOptimize(RcFilter(work, RcKind::kLowPass, 160, 0, 44100));
  }
  state.SetItemsProcessed(state.iterations() * WAVE_SAMPLES);
}
BENCHMARK(BM_RcLowPassWholeBank)->Unit(benchmark::kMillisecond);

void BM_BiquadLowPassWholeBank(benchmark::State& state) {
  std::vector<std::int16_t> source(WAVE_SAMPLES), work(WAVE_SAMPLES);
  FillWithMusic(source);
  for (auto _ : state) {
    work = source;
    Biquad(work, BiquadKind::kLowPass, 1000.0, 44100.0, 0.7071);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * WAVE_SAMPLES);
}
BENCHMARK(BM_BiquadLowPassWholeBank)->Unit(benchmark::kMillisecond);

void BM_SpectrumOfTheMainWave(benchmark::State& state) {
  std::vector<std::int16_t> wave(WAVE_SAMPLES);
  FillWithMusic(wave);
  std::vector<double> mags(WAVE_SAMPLES / 2);
  Spectrum spectrum;
  for (auto _ : state) {
    spectrum.Magnitudes(wave, mags);
    benchmark::DoNotOptimize(PeakBin(mags));
  }
}
BENCHMARK(BM_SpectrumOfTheMainWave)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx::audio
