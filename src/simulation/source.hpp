#pragma once
// What drives a simulation from outside: a sine, or a recorded wave copied
// out of a sample store. Both are functions of simulation time.
#include <cstdint>
#include <span>
#include <vector>

namespace vx::simulation {

enum SourceKind : std::int32_t {
  SOURCE_OFF = 0,
  SOURCE_SINE = 1,      // amplitude x sin(2 pi x frequency x t + phase)
  SOURCE_RECORDED = 2,  // amplitude x sample / 32768, read at `rate` samples per unit time
};

// Samples a recorded source may hold (one whole sample store).
inline constexpr std::int32_t SOURCE_SAMPLES_MAX = 524288;

class Source {
 public:
  Source() = default;
  static Source Sine(double amplitude, double frequency, double phase);
  // A copy of `samples` (at most SOURCE_SAMPLES_MAX), read from sample 0 at
  // simulation time 0, `rate` samples per unit time, linearly
  // interpolated; silent after the last sample.
  static Source Recorded(double amplitude, std::span<const std::int16_t> samples, double rate);

  SourceKind Kind() const { return kind_; }
  double At(double t) const;

 private:
  SourceKind kind_ = SOURCE_OFF;
  double amplitude_ = 0.0;
  double frequency_ = 0.0;  // sine: cycles per unit time; recorded: samples per unit time
  double phase_ = 0.0;
  std::vector<std::int16_t> samples_;
};

// A source attached to one node or cell; its time counts from `since`, the
// simulation time when it was attached.
struct AttachedSource {
  std::int32_t index = 0;
  Source source;
  double since = 0.0;

  double At(double time) const { return source.At(time - since); }
};

}  // namespace vx::simulation
