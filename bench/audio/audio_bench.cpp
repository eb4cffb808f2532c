// Sound speed: the refill of a 32,000-sample playback buffer (mono and
// stereo with volumes), a filter pass over a whole bank (the RC filter of
// AudioCtrl and the biquad of LPFltr), the strongest component of the whole
// main wave (SpectAnalyze, on a fast and on a prime length), a spectrogram
// of 170 rows (MkWaveSPC) and a pitch shift (FreqUp).
// bench/audio/audio_vs_sox.sh times the same work in sox on the same data:
// with VEXMORA_BENCH_WAV naming a WAV file, its samples are the bank here.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "audio/audio_system.hpp"
#include "audio/filters.hpp"
#include "audio/signal.hpp"
#include "audio/wav_file.hpp"

namespace vx::audio {
namespace {

void FillWithMusic(std::span<std::int16_t> s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<std::int16_t>(9000 * std::sin(i * 0.031) + 5000 * std::sin(i * 0.47));
  }
}

// A whole bank: the file of VEXMORA_BENCH_WAV when given, else two sines.
const std::vector<std::int16_t>& BenchWave() {
  static const std::vector<std::int16_t> wave = [] {
    std::vector<std::int16_t> w(WAVE_SAMPLES);
    FillWithMusic(w);
    if (const char* path = std::getenv("VEXMORA_BENCH_WAV")) {
      if (std::FILE* f = std::fopen(path, "rb")) {
        FileSource source(f);
        const LoadResult r = LoadWave(source, w, 0, 0);
        std::fclose(f);
        if (!r.error.empty()) std::fprintf(stderr, "%s: %s\n", path, r.error.c_str());
        w.resize(static_cast<std::size_t>(r.count));
      }
    }
    return w;
  }();
  return wave;
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
  const std::vector<std::int16_t>& source = BenchWave();
  std::vector<std::int16_t> work;
  for (auto _ : state) {
    work = source;
    benchmark::DoNotOptimize(RcFilter(work, RcKind::kLowPass, 160, 0, 44100));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(BM_RcLowPassWholeBank)->Unit(benchmark::kMillisecond);

// LPFltr 1000 Hz at 44.1 kHz, as sox lowpass 1000.
void BM_BiquadLowPassWholeBank(benchmark::State& state) {
  const std::vector<std::int16_t>& source = BenchWave();
  std::vector<std::int16_t> work;
  for (auto _ : state) {
    work = source;
    Biquad(work, BiquadKind::kLowPass, 1000.0, 44100.0, 0.7071);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(BM_BiquadLowPassWholeBank)->Unit(benchmark::kMillisecond);

// SpectAnalyze over the bank (524,288 samples) and over one sample fewer,
// a prime length that the transform pads to a fast size.
void BM_StrongestComponent(benchmark::State& state) {
  const std::vector<std::int16_t>& wave = BenchWave();
  const std::span<const std::int16_t> range(wave.data(), std::min<std::size_t>(wave.size(), static_cast<std::size_t>(state.range(0))));
  SpectralPeak peak;
  for (auto _ : state) {
    StrongestComponent(range, &peak);
    benchmark::DoNotOptimize(peak.bin);
  }
}
BENCHMARK(BM_StrongestComponent)->Arg(524288)->Arg(524287)->Unit(benchmark::kMillisecond);

// MkWaveSPC: 170 rows of 6,000-sample frames spread over the bank.
void BM_Spectrogram(benchmark::State& state) {
  const std::vector<std::int16_t>& wave = BenchWave();
  if (wave.size() < static_cast<std::size_t>(SPECTRUM_FRAME)) {
    state.SkipWithError("the wave is shorter than one frame");
    return;
  }
  const std::size_t step = (wave.size() - SPECTRUM_FRAME) / (SPECTRUM_ROWS - 1);
  std::vector<double> mags(SPECTRUM_FRAME / 2);
  std::vector<std::uint8_t> table(static_cast<std::size_t>(SPECTRUM_ROWS) * SPECTRUM_COLUMNS);
  for (auto _ : state) {
    for (std::size_t r = 0; r < SPECTRUM_ROWS; ++r) {
      Magnitudes(std::span<const std::int16_t>(wave).subspan(r * step, SPECTRUM_FRAME), mags);
      for (std::size_t c = 0; c < mags.size(); ++c) table[r * SPECTRUM_COLUMNS + c] = LevelByte(mags[c]);
    }
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_Spectrogram)->Unit(benchmark::kMillisecond);

// FreqUp +7 semitones over the bank at 44.1 kHz.
void BM_ShiftPitch(benchmark::State& state) {
  const std::vector<std::int16_t>& source = BenchWave();
  std::vector<std::int16_t> work;
  for (auto _ : state) {
    work = source;
    ShiftPitch(work, std::pow(2.0, 7.0 / 12.0), 44100.0);
    benchmark::DoNotOptimize(work.data());
  }
}
BENCHMARK(BM_ShiftPitch)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx::audio
