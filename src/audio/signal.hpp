#pragma once
// Signal processing on the sample stores: FFT spectra (FFTW, loaded on
// first use), biquad filters, resampling and delay-line effects. None of
// these run on the device path.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vx::audio {

inline constexpr std::int32_t SPECTRUM_FRAME = 6000;  // samples per spectrum row: 3000 bins
inline constexpr double SPECTRUM_FLOOR_DB = -90.0;    // level shown as 0 in the table
inline constexpr std::int32_t DEFAULT_RATE = 22050;   // when G_WAVE_RATE is not set

// Why spectra cannot be taken (the FFT library is missing), or empty when
// they can. The library is loaded on the first call.
const std::string& SpectrumError();

// Magnitudes of the Hann-windowed real FFT of `frame` (size n), scaled so
// that a full-scale sine at a bin's centre gives 1.0. `out` gets n/2 values.
// Reuses its plan and buffers while n stays the same.
class Spectrum {
 public:
  Spectrum();
  ~Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;
  // False, with `out` all zeros, when SpectrumError() is not empty.
  bool Magnitudes(std::span<const std::int16_t> frame, std::span<double> out);

 private:
  void Prepare(std::size_t n);
  void Release();
  std::size_t n_ = 0;
  double* in_ = nullptr;
  void* out_ = nullptr;   // fftw_complex*
  void* plan_ = nullptr;  // fftw_plan
  std::vector<double> window_;
  double window_gain_ = 1.0;
};

// A spectrum magnitude as a table byte: -90 dBFS and below 0, 0 dBFS 255.
std::uint8_t LevelByte(double magnitude);
double LevelDb(double magnitude);

// The strongest bin of `mags` above bin 0, refined by a parabola through
// its neighbours: a fractional bin index.
double PeakBin(std::span<const double> mags);

// Second-order Butterworth-style (RBJ cookbook) filters in place, in
// double, results clamped.
enum class BiquadKind { kLowPass, kHighPass };
void Biquad(std::span<std::int16_t> samples, BiquadKind kind, double cutoff_hz, double rate,
            double q);

// Catmull-Rom interpolation of `in` at a fractional position (clamped ends).
double Interpolate(std::span<const std::int16_t> in, double position);

}  // namespace vx::audio
