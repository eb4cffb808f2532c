#pragma once
// Signal processing on the sample stores: FFT spectra (FFTW, loaded on
// first use), biquad filters, resampling, time stretching and pitch
// shifting, and delay-line effects. None of these run on the device path.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vx::audio {

inline constexpr std::int32_t SPECTRUM_FRAME = 6000;  // samples per spectrum row: 3000 bins
inline constexpr double SPECTRUM_FLOOR_DB = -90.0;    // level shown as 0 in the table
// The number of FFT sizes whose plans, buffers and windows are kept.
inline constexpr std::size_t FFT_PLANS_KEPT = 8;

// Why spectra cannot be taken (the FFT library is missing), or empty when
// they can. The library is loaded on the first call.
const std::string& SpectrumError();

// The smallest size of the form 2^a 3^b 5^c 7^d not below `n`: one that
// FFTW transforms fast.
std::size_t FastFftSize(std::size_t n);

// Magnitudes of the Hann-windowed real FFT of `frame` (size n), scaled so
// that a full-scale sine at a bin's centre gives 1.0. `out` gets n/2
// values. False, with `out` all zeros, when SpectrumError() is not empty.
// The plan, buffers and window of each size are kept for the next call.
bool Magnitudes(std::span<const std::int16_t> frame, std::span<double> out);

// The strongest component of `samples` without their mean, under a Hann
// window over all of them, the transform zero-padded to FastFftSize: its
// frequency in bins of
// samples.size() (fractional, 1 bin = rate / samples.size()) and its
// amplitude (1.0 = full scale), both corrected for where the component
// falls between bins. Bins below 1 (the window's DC lobe) are not searched.
struct SpectralPeak {
  double bin = 0.0;
  double amplitude = 0.0;
};
// False, with a zero peak, when spectra cannot be taken or there are fewer
// than 4 samples.
bool StrongestComponent(std::span<const std::int16_t> samples, SpectralPeak* peak);

// The fractional position of the peak of a Hann-windowed sinusoid from the
// magnitudes at its strongest bin (`centre`) and the larger neighbour
// (`side`, right when `right`): the offset in transform bins, 0 to 0.5
// toward the neighbour. `h` is the window length over the transform length
// (1 without zero padding). `gain` gets what the centre magnitude must be
// divided by to give the component's amplitude.
double HannPeakOffset(double centre, double side, double h, double* gain);

// A spectrum magnitude as a table byte: -90 dBFS and below 0, 0 dBFS 255.
std::uint8_t LevelByte(double magnitude);
double LevelDb(double magnitude);

// Second-order Butterworth-style (RBJ cookbook) filters in place, in
// double, results truncated and clamped.
enum class BiquadKind { kLowPass, kHighPass };
void Biquad(std::span<std::int16_t> samples, BiquadKind kind, double cutoff_hz, double rate,
            double q);

// Catmull-Rom interpolation of `in` at a fractional position (clamped ends).
double Interpolate(std::span<const std::int16_t> in, double position);

// Band-limited resampling: out[i] = in at position i * step, through a
// windowed-sinc kernel that cuts off below the lower of the two Nyquist
// frequencies (so that reading faster than 1 does not alias). Positions
// outside `in` take its end samples.
void Resample(std::span<const double> in, double step, std::span<double> out);

// Time stretching that keeps the pitch (WSOLA: windowed segments of about
// 40 ms, each placed where it best continues the one before, within about
// 12 ms): `in` played over out.size() samples.
void TimeStretch(std::span<const double> in, double rate, std::span<double> out);

// Shifts the pitch by `ratio` (2 = an octave up) keeping the length: a
// band-limited resampling by the ratio and a time stretch back to the
// length, whichever first keeps the intermediate signal shorter.
void ShiftPitch(std::span<std::int16_t> samples, double ratio, double rate);

}  // namespace vx::audio
