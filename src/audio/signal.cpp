#include "audio/signal.hpp"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/wave_stores.hpp"
#include "platform/shared_library.hpp"

namespace vx::audio {
namespace {

// FFTW is loaded with the first spectrum, so runs that take none never map it.
constexpr const char* kFftwLibrary = "libfftw3.so.3";

struct FftwApi {
  decltype(&::fftw_alloc_real) fftw_alloc_real = nullptr;
  decltype(&::fftw_alloc_complex) fftw_alloc_complex = nullptr;
  decltype(&::fftw_free) fftw_free = nullptr;
  decltype(&::fftw_plan_dft_r2c_1d) fftw_plan_dft_r2c_1d = nullptr;
  decltype(&::fftw_execute) fftw_execute = nullptr;
  decltype(&::fftw_destroy_plan) fftw_destroy_plan = nullptr;
};

bool BindFftw(FftwApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(kFftwLibrary);
  bool ok = library.Loaded();
#define VX_BIND(fn) ok = ok && library.Bind(#fn, &api.fn)
  VX_BIND(fftw_alloc_real);
  VX_BIND(fftw_alloc_complex);
  VX_BIND(fftw_free);
  VX_BIND(fftw_plan_dft_r2c_1d);
  VX_BIND(fftw_execute);
  VX_BIND(fftw_destroy_plan);
#undef VX_BIND
  if (!ok) error = "spectra are not available: " + library.Error();
  return ok;
}

// Its error is empty once every function is bound.
const platform::BoundApi<FftwApi>& Load() { return platform::BindOnce<FftwApi, BindFftw>(); }

// Only called once SpectrumError() has come back empty.
const FftwApi& Fftw() { return Load().api; }

}  // namespace

const std::string& SpectrumError() { return Load().error; }

Spectrum::Spectrum() = default;

Spectrum::~Spectrum() { Release(); }

void Spectrum::Release() {
  if (plan_) Fftw().fftw_destroy_plan(static_cast<fftw_plan>(plan_));
  if (in_) Fftw().fftw_free(in_);
  if (out_) Fftw().fftw_free(out_);
  plan_ = nullptr;
  in_ = nullptr;
  out_ = nullptr;
}

void Spectrum::Prepare(std::size_t n) {
  if (n == n_) return;
  Release();
  n_ = n;
  in_ = Fftw().fftw_alloc_real(n);
  auto* out = Fftw().fftw_alloc_complex(n / 2 + 1);
  out_ = out;
  plan_ = Fftw().fftw_plan_dft_r2c_1d(static_cast<int>(n), in_, out, FFTW_ESTIMATE);
  window_.resize(n);
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    window_[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
    sum += window_[i];
  }
  // A sine of amplitude A gives a peak of A * sum / 2.
  window_gain_ = sum > 0 ? 2.0 / (sum * 32768.0) : 1.0;
}

bool Spectrum::Magnitudes(std::span<const std::int16_t> frame, std::span<double> out) {
  const bool available = SpectrumError().empty();
  if (frame.size() < 2 || !available) {
    std::fill(out.begin(), out.end(), 0.0);
    return available;
  }
  Prepare(frame.size());
  for (std::size_t i = 0; i < n_; ++i) in_[i] = frame[i] * window_[i];
  Fftw().fftw_execute(static_cast<fftw_plan>(plan_));
  const auto* bins = static_cast<const fftw_complex*>(out_);
  const std::size_t count = std::min(out.size(), n_ / 2);
  for (std::size_t k = 0; k < count; ++k) {
    out[k] = std::hypot(bins[k][0], bins[k][1]) * window_gain_;
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(count), out.end(), 0.0);
  return true;
}

double LevelDb(double magnitude) {
  return magnitude > 0 ? 20.0 * std::log10(magnitude) : SPECTRUM_FLOOR_DB * 2;
}

std::uint8_t LevelByte(double magnitude) {
  const double db = LevelDb(magnitude);
  const double v = (db - SPECTRUM_FLOOR_DB) * 255.0 / -SPECTRUM_FLOOR_DB;
  return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

double PeakBin(std::span<const double> mags) {
  if (mags.size() < 2) return 0.0;
  std::size_t best = 1;
  for (std::size_t k = 2; k < mags.size(); ++k) {
    if (mags[k] > mags[best]) best = k;
  }
  if (best + 1 >= mags.size()) return static_cast<double>(best);
  const double a = mags[best - 1];
  const double b = mags[best];
  const double c = mags[best + 1];
  const double denominator = a - 2 * b + c;
  const double shift = denominator != 0 ? 0.5 * (a - c) / denominator : 0.0;
  return static_cast<double>(best) + std::clamp(shift, -0.5, 0.5);
}

void Biquad(std::span<std::int16_t> samples, BiquadKind kind, double cutoff_hz, double rate,
            double q) {
  const double w0 = 2.0 * std::numbers::pi * cutoff_hz / rate;
  const double alpha = std::sin(w0) / (2.0 * q);
  const double cosw = std::cos(w0);
  double b0, b1, b2;
  if (kind == BiquadKind::kLowPass) {
    b0 = (1 - cosw) / 2;
    b1 = 1 - cosw;
    b2 = b0;
  } else {
    b0 = (1 + cosw) / 2;
    b1 = -(1 + cosw);
    b2 = b0;
  }
  const double a0 = 1 + alpha;
  const double a1 = -2 * cosw / a0;
  const double a2 = (1 - alpha) / a0;
  b0 /= a0;
  b1 /= a0;
  b2 /= a0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (std::int16_t& s : samples) {
    const double x = s;
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    s = ClampSample(y);
  }
}

double Interpolate(std::span<const std::int16_t> in, double position) {
  if (in.empty()) return 0.0;
  const auto last = static_cast<std::int64_t>(in.size()) - 1;
  const double fl = std::floor(position);
  const auto i = static_cast<std::int64_t>(fl);
  const double t = position - fl;
  auto at = [&](std::int64_t k) { return static_cast<double>(in[static_cast<std::size_t>(std::clamp<std::int64_t>(k, 0, last))]); };
  const double p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
  return p1 + 0.5 * t * (p2 - p0 + t * (2 * p0 - 5 * p1 + 4 * p2 - p3 + t * (3 * (p1 - p2) + p3 - p0)));
}

}  // namespace vx::audio
