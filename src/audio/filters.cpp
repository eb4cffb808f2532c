#include "audio/filters.hpp"

#include <cmath>

#include "audio/wave_stores.hpp"

namespace vx::audio {

bool RcFilter(std::span<std::int16_t> samples, RcKind kind, std::int32_t tau_us,
              std::int32_t mix_percent, std::int32_t rate) {
  const bool silent = tau_us < 1;
  const double step = silent ? 0.0 : 1e6 / (static_cast<double>(tau_us) * rate);
  double y = 0.0;
  bool clipped = false;
  for (std::int16_t& s : samples) {
    const double x = s;
    std::int64_t out = 0;
    if (!silent) {
      y += (x - y) * step;
      out = ClampSample(kind == RcKind::kLowPass ? y : x - y);
    }
    if (mix_percent == 0) {
      s = static_cast<std::int16_t>(out);
      continue;
    }
    const std::int64_t v = static_cast<std::int64_t>(s) + out * mix_percent / 100;
    if (v > SAMPLE_MAX || v < SAMPLE_MIN) clipped = true;
    s = ClampSample(v);
  }
  return clipped;
}

}  // namespace vx::audio
