#include "audio/signal.hpp"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
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

// FFTW's planner is not reentrant: plans are made and destroyed under this.
std::mutex& PlannerLock() {
  static std::mutex lock;
  return lock;
}

// A real transform of one size with its own buffers.
class FftPlan {
 public:
  explicit FftPlan(std::size_t n) : n_(n) {
    std::lock_guard<std::mutex> hold(PlannerLock());
    in_ = Fftw().fftw_alloc_real(n);
    out_ = Fftw().fftw_alloc_complex(n / 2 + 1);
    plan_ = Fftw().fftw_plan_dft_r2c_1d(static_cast<int>(n), in_, out_, FFTW_ESTIMATE);
  }
  ~FftPlan() {
    std::lock_guard<std::mutex> hold(PlannerLock());
    Fftw().fftw_destroy_plan(plan_);
    Fftw().fftw_free(in_);
    Fftw().fftw_free(out_);
  }
  FftPlan(const FftPlan&) = delete;
  FftPlan& operator=(const FftPlan&) = delete;

  std::size_t Size() const { return n_; }
  double* In() { return in_; }
  const fftw_complex* Out() const { return out_; }
  void Run() { Fftw().fftw_execute(plan_); }
  double Power(std::size_t k) const { return out_[k][0] * out_[k][0] + out_[k][1] * out_[k][1]; }
  double Magnitude(std::size_t k) const { return std::sqrt(Power(k)); }

 private:
  std::size_t n_;
  double* in_ = nullptr;
  fftw_complex* out_ = nullptr;
  fftw_plan plan_ = nullptr;
};

// The periodic Hann window of one length, and the factor that makes a
// full-scale sine at a bin's centre come out as 1.0.
struct HannWindow {
  explicit HannWindow(std::size_t n) : values(n) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      values[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
      sum += values[i];
    }
    // A sine of amplitude A gives a peak of A * sum / 2.
    gain = sum > 0 ? 2.0 / (sum * 32768.0) : 1.0;
  }
  std::size_t Size() const { return values.size(); }
  std::vector<double> values;
  double gain = 1.0;
};

// The last few objects of each size, the one used last first, so that a
// script taking spectra of a few sizes in turn plans each only once.
template <typename T>
class RecentBySize {
 public:
  T& Get(std::size_t n) {
    auto found = std::find_if(items_.begin(), items_.end(), [n](const auto& p) { return p->Size() == n; });
    if (found == items_.end()) {
      if (items_.size() >= FFT_PLANS_KEPT) items_.pop_back();
      items_.insert(items_.begin(), std::make_unique<T>(n));
    } else {
      std::rotate(items_.begin(), found, found + 1);
    }
    return *items_.front();
  }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

// Each thread keeps its own, so that no buffer is shared.
FftPlan& PlanOf(std::size_t n) {
  thread_local RecentBySize<FftPlan> plans;
  return plans.Get(n);
}

const HannWindow& WindowOf(std::size_t n) {
  thread_local RecentBySize<HannWindow> windows;
  return windows.Get(n);
}

// The Hann window's spectrum around its peak, 1.0 at the centre, at a
// distance `x` in bins of the window length (0.5 at one bin, 0 at two).
double HannKernel(double x) {
  x = std::abs(x);
  if (x < 1e-9) return 1.0;
  if (std::abs(x - 1.0) < 1e-9) return 0.5;
  const double px = std::numbers::pi * x;
  return std::sin(px) / (px * (1.0 - x * x));
}

}  // namespace

const std::string& SpectrumError() { return Load().error; }

std::size_t FastFftSize(std::size_t n) {
  for (std::size_t size = std::max<std::size_t>(n, 1);; ++size) {
    std::size_t rest = size;
    for (std::size_t factor : {2, 3, 5, 7}) {
      while (rest % factor == 0) rest /= factor;
    }
    if (rest == 1) return size;
  }
}

bool Magnitudes(std::span<const std::int16_t> frame, std::span<double> out) {
  const bool available = SpectrumError().empty();
  if (frame.size() < 2 || !available) {
    std::fill(out.begin(), out.end(), 0.0);
    return available;
  }
  const std::size_t n = frame.size();
  FftPlan& plan = PlanOf(n);
  const HannWindow& window = WindowOf(n);
  double* in = plan.In();
  for (std::size_t i = 0; i < n; ++i) in[i] = frame[i] * window.values[i];
  plan.Run();
  const std::size_t count = std::min(out.size(), n / 2);
  for (std::size_t k = 0; k < count; ++k) out[k] = plan.Magnitude(k) * window.gain;
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(count), out.end(), 0.0);
  return true;
}

double HannPeakOffset(double centre, double side, double h, double* gain) {
  // side / centre = K((1 - d) h) / K(d h) grows from K(h) at d = 0 to 1 at
  // d = 0.5; the offset d is found by halving that interval.
  double offset = 0.0;
  if (centre > 0.0) {
    const double ratio = side / centre;
    if (ratio >= 1.0) {
      offset = 0.5;
    } else if (ratio > HannKernel(h)) {
      double lo = 0.0, hi = 0.5;
      for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (HannKernel((1.0 - mid) * h) / HannKernel(mid * h) < ratio) {
          lo = mid;
        } else {
          hi = mid;
        }
      }
      offset = 0.5 * (lo + hi);
    }
  }
  *gain = HannKernel(offset * h);
  return offset;
}

bool StrongestComponent(std::span<const std::int16_t> samples, SpectralPeak* peak) {
  *peak = SpectralPeak{};
  const std::size_t n = samples.size();
  if (n < 4 || !SpectrumError().empty()) return false;
  const std::size_t size = FastFftSize(n);
  FftPlan& plan = PlanOf(size);
  const HannWindow& window = WindowOf(n);
  // The mean (a DC offset) comes out first: its window lobe would bury a
  // weaker tone near the bottom of the spectrum.
  double mean = 0.0;
  for (std::int16_t s : samples) mean += s;
  mean /= static_cast<double>(n);
  double* in = plan.In();
  for (std::size_t i = 0; i < n; ++i) in[i] = (samples[i] - mean) * window.values[i];
  std::fill(in + n, in + size, 0.0);
  plan.Run();
  // Transform bins k stand for k * n / size bins of the samples: from 1 up
  // to the last whole bin below half the samples.
  const double h = static_cast<double>(n) / static_cast<double>(size);
  const auto first = static_cast<std::size_t>(std::ceil(1.0 / h - 1e-9));
  const auto last = static_cast<std::size_t>(std::floor(static_cast<double>(n / 2 - 1) / h + 1e-9));
  std::size_t best = first;
  for (std::size_t k = first + 1; k <= last; ++k) {
    if (plan.Power(k) > plan.Power(best)) best = k;
  }
  const double centre = plan.Magnitude(best);
  double position = static_cast<double>(best);
  double gain = 1.0;
  if (best + 1 <= size / 2) {
    const double left = plan.Magnitude(best - 1);
    const double right = plan.Magnitude(best + 1);
    const double offset = HannPeakOffset(centre, std::max(left, right), h, &gain);
    position += right >= left ? offset : -offset;
  }
  peak->bin = position * h;
  peak->amplitude = centre * window.gain / gain;
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
  // y[n] = t[n] - a1 y[n-1] - a2 y[n-2] with t[n] = b0 x[n] + b1 x[n-1] +
  // b2 x[n-2]. Four outputs at a time come from the two before them through
  // the impulse response h of the recursive part, so that each step waits
  // for its predecessor once per four samples rather than once per sample:
  // y[k] = sum h[k-j] t[j] + h[k+1] y[-1] - a2 h[k] y[-2].
  const double h1 = -a1;
  const double h2 = -a1 * h1 - a2;
  const double h3 = -a1 * h2 - a2 * h1;
  const double h4 = -a1 * h3 - a2 * h2;
  const double g1 = -a2 * h1, g2 = -a2 * h2, g3 = -a2 * h3;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  std::size_t i = 0;
  const std::size_t blocks = samples.size() / 4 * 4;
  for (; i < blocks; i += 4) {
    const double x0 = samples[i], xa = samples[i + 1], xb = samples[i + 2], xc = samples[i + 3];
    const double t0 = b0 * x0 + b1 * x1 + b2 * x2;
    const double t1 = b0 * xa + b1 * x0 + b2 * x1;
    const double t2 = b0 * xb + b1 * xa + b2 * x0;
    const double t3 = b0 * xc + b1 * xb + b2 * xa;
    const double u1 = t1 + h1 * t0;
    const double u2 = t2 + h1 * t1 + h2 * t0;
    const double u3 = t3 + h1 * t2 + h2 * t1 + h3 * t0;
    const double ya = t0 + (h1 * y1 - a2 * y2);
    const double yb = u1 + (h2 * y1 + g1 * y2);
    const double yc = u2 + (h3 * y1 + g2 * y2);
    const double yd = u3 + (h4 * y1 + g3 * y2);
    samples[i] = ClampSample(ya);
    samples[i + 1] = ClampSample(yb);
    samples[i + 2] = ClampSample(yc);
    samples[i + 3] = ClampSample(yd);
    x2 = xb;
    x1 = xc;
    y2 = yc;
    y1 = yd;
  }
  for (; i < samples.size(); ++i) {
    const double x = samples[i];
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    samples[i] = ClampSample(y);
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

// --- resampling -----------------------------------------------------------------

namespace {

constexpr int kSincZeros = 16;        // zero crossings of the kernel each side
constexpr int kSincSteps = 512;       // table entries per zero crossing
constexpr double kSincCutoff = 0.94;  // of the lower Nyquist frequency: room for the transition

// A Blackman-windowed sinc from 0 to kSincZeros zero crossings, sampled
// finely enough for linear interpolation between the entries.
const std::vector<double>& SincTable() {
  static const std::vector<double> table = [] {
    std::vector<double> t(kSincZeros * kSincSteps + 2, 0.0);
    for (std::size_t i = 0; i < static_cast<std::size_t>(kSincZeros * kSincSteps); ++i) {
      const double u = static_cast<double>(i) / kSincSteps;
      const double sinc = i == 0 ? 1.0 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
      const double r = u / kSincZeros;
      t[i] = sinc * (0.42 + 0.5 * std::cos(std::numbers::pi * r) + 0.08 * std::cos(2 * std::numbers::pi * r));
    }
    return t;
  }();
  return table;
}

double SincKernel(const std::vector<double>& table, double u) {
  const double f = std::abs(u) * kSincSteps;
  const auto i = static_cast<std::size_t>(f);
  if (i >= static_cast<std::size_t>(kSincZeros * kSincSteps)) return 0.0;
  return table[i] + (table[i + 1] - table[i]) * (f - static_cast<double>(i));
}

}  // namespace

void Resample(std::span<const double> in, double step, std::span<double> out) {
  if (in.empty()) {
    std::fill(out.begin(), out.end(), 0.0);
    return;
  }
  const std::vector<double>& table = SincTable();
  const double cutoff = kSincCutoff * std::min(1.0, 1.0 / step);
  const double reach = kSincZeros / cutoff;  // input samples each side
  const auto last = static_cast<std::int64_t>(in.size()) - 1;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) * step;
    const auto first_tap = static_cast<std::int64_t>(std::ceil(t - reach));
    const auto last_tap = static_cast<std::int64_t>(std::floor(t + reach));
    double sum = 0.0, weights = 0.0;
    for (std::int64_t k = first_tap; k <= last_tap; ++k) {
      const double w = SincKernel(table, (t - static_cast<double>(k)) * cutoff);
      sum += w * in[static_cast<std::size_t>(std::clamp<std::int64_t>(k, 0, last))];
      weights += w;
    }
    // Dividing by the weights makes the gain at DC exactly 1 at every phase.
    out[i] = weights != 0.0 ? sum / weights : 0.0;
  }
}

// --- time stretching ------------------------------------------------------------

namespace {

constexpr double kSegmentHopSeconds = 0.020;  // half a segment
constexpr double kSearchSeconds = 0.012;      // how far a segment may move either way
constexpr std::int64_t kCoarseStride = 4;     // candidates the first search pass tries
constexpr std::int64_t kFineReach = 3;        // the second pass around the first's best

// How well the segment at `candidate` continues `target` (a cross
// correlation over target's length, every `stride`-th sample).
double Match(std::span<const double> in, std::int64_t candidate, std::span<const double> target,
             std::size_t stride) {
  double sum = 0.0;
  const auto size = static_cast<std::int64_t>(in.size());
  for (std::size_t j = 0; j < target.size(); j += stride) {
    const std::int64_t k = candidate + static_cast<std::int64_t>(j);  // candidates start at 0 or later
    if (k < size) sum += in[static_cast<std::size_t>(k)] * target[j];
  }
  return sum;
}

}  // namespace

void TimeStretch(std::span<const double> in, double rate, std::span<double> out) {
  const std::size_t length = out.size();
  if (length == 0) return;
  const auto hop = static_cast<std::size_t>(std::max(1.0, std::round(kSegmentHopSeconds * rate)));
  const std::size_t segment = 2 * hop;
  const auto tolerance = static_cast<std::int64_t>(std::max(1.0, std::round(kSearchSeconds * rate)));
  const auto input = static_cast<std::int64_t>(in.size());
  const double speed = static_cast<double>(in.size()) / static_cast<double>(length);
  // sin^2 windows at half-segment hops add up to 1; the first half-segment,
  // covered by one window only, is divided by its weight.
  std::vector<double> window(segment);
  for (std::size_t j = 0; j < segment; ++j) {
    const double s = std::sin(std::numbers::pi * (static_cast<double>(j) + 0.5) / static_cast<double>(segment));
    window[j] = s * s;
  }
  std::vector<double> sum(length, 0.0), weight(length, 0.0);
  std::vector<double> target(hop);
  // Segments start at 0 or later, so only the end needs a check.
  auto at = [&](std::int64_t k) { return k < input ? in[static_cast<std::size_t>(k)] : 0.0; };
  // A segment may run past the end of the input by half its length; what
  // lies past the end adds neither sound nor weight, so the last samples
  // come whole from the segments that still have input there.
  const std::int64_t last_start = std::max<std::int64_t>(0, input - static_cast<std::int64_t>(hop));
  std::int64_t position = 0;
  for (std::size_t k = 0; k * hop < length; ++k) {
    if (k > 0) {
      // The segment goes where it best continues the one before it.
      for (std::size_t j = 0; j < hop; ++j) target[j] = at(position + static_cast<std::int64_t>(hop + j));
      const auto nominal = static_cast<std::int64_t>(std::llround(static_cast<double>(k * hop) * speed));
      const std::int64_t lo = std::clamp<std::int64_t>(nominal - tolerance, 0, last_start);
      const std::int64_t hi = std::clamp<std::int64_t>(nominal + tolerance, 0, last_start);
      std::int64_t best = lo;
      double best_match = -1e300;
      for (std::int64_t c = lo; c <= hi; c += kCoarseStride) {
        const double m = Match(in, c, target, 2);
        if (m > best_match) {
          best_match = m;
          best = c;
        }
      }
      const std::int64_t coarse = best;
      best_match = -1e300;
      for (std::int64_t c = std::max(lo, coarse - kFineReach); c <= std::min(hi, coarse + kFineReach); ++c) {
        const double m = Match(in, c, target, 1);
        if (m > best_match) {
          best_match = m;
          best = c;
        }
      }
      position = best;
    }
    for (std::size_t j = 0; j < segment && k * hop + j < length; ++j) {
      const std::int64_t from = position + static_cast<std::int64_t>(j);
      if (from >= input) break;
      sum[k * hop + j] += window[j] * in[static_cast<std::size_t>(from)];
      weight[k * hop + j] += window[j];
    }
  }
  for (std::size_t i = 0; i < length; ++i) out[i] = weight[i] > 0.0 ? sum[i] / weight[i] : 0.0;
}

void ShiftPitch(std::span<std::int16_t> samples, double ratio, double rate) {
  const std::size_t n = samples.size();
  if (n == 0 || !(ratio > 0.0) || ratio == 1.0) return;
  const std::vector<double> x(samples.begin(), samples.end());
  std::vector<double> y(n);
  if (ratio > 1.0) {
    // Higher: read faster (shorter), then stretch back to the length.
    std::vector<double> z(static_cast<std::size_t>(static_cast<double>(n - 1) / ratio) + 1);
    Resample(x, ratio, z);
    TimeStretch(z, rate, y);
  } else {
    // Lower: squeeze to the shorter length, then read it slower.
    std::vector<double> z(std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(static_cast<double>(n) * ratio))));
    TimeStretch(x, rate, z);
    Resample(z, ratio, y);
  }
  for (std::size_t i = 0; i < n; ++i) samples[i] = ClampSample(y[i]);
}

}  // namespace vx::audio
