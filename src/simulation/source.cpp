#include "simulation/source.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vx::simulation {

Source Source::Sine(double amplitude, double frequency, double phase) {
  Source s;
  s.kind_ = SOURCE_SINE;
  s.amplitude_ = amplitude;
  s.frequency_ = frequency;
  s.phase_ = phase;
  return s;
}

Source Source::Recorded(double amplitude, std::span<const std::int16_t> samples, double rate) {
  Source s;
  s.kind_ = SOURCE_RECORDED;
  s.amplitude_ = amplitude;
  s.frequency_ = rate;
  const std::size_t count = std::min<std::size_t>(samples.size(), SOURCE_SAMPLES_MAX);
  s.samples_.assign(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count));
  return s;
}

double Source::At(double t) const {
  switch (kind_) {
    case SOURCE_SINE:
      return amplitude_ * std::sin(2.0 * std::numbers::pi * frequency_ * t + phase_);
    case SOURCE_RECORDED: {
      const double position = t * frequency_;
      // Also false for NaN: a broken rate is silence, not an index.
      if (!(position >= 0.0) || samples_.empty()) return 0.0;
      const double last = static_cast<double>(samples_.size() - 1);
      if (position > last) return 0.0;
      const std::size_t i = static_cast<std::size_t>(position);
      const double frac = position - static_cast<double>(i);
      const double a = samples_[i];
      const double b = i + 1 < samples_.size() ? samples_[i + 1] : 0.0;
      return amplitude_ * (a + (b - a) * frac) / 32768.0;
    }
    case SOURCE_OFF:
      break;
  }
  return 0.0;
}

}  // namespace vx::simulation
