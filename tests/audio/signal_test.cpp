// The signal processing under the sound APIs, against references computed
// here: the spectrum's sizes and peak reading between bins, the biquad
// against the plain recurrence, the resampler and the time stretch on
// tones whose frequencies fall between bins and samples, and the clamp.
#include "audio/signal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/wave_stores.hpp"

namespace vx::test {
namespace {

using audio::ClampSample;

std::vector<std::int16_t> Tone(double cycles_per_sample, std::size_t n, double amplitude, double phase = 0.3) {
  std::vector<std::int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    v[i] = ClampSample(amplitude * std::sin(2 * std::numbers::pi * cycles_per_sample * static_cast<double>(i) + phase));
  }
  return v;
}

std::vector<double> ToneD(double cycles_per_sample, std::size_t n, double amplitude, double phase = 0.3) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    v[i] = amplitude * std::sin(2 * std::numbers::pi * cycles_per_sample * static_cast<double>(i) + phase);
  }
  return v;
}

// The frequency (cycles a sample) of a tone from its zero crossings,
// interpolated between samples, over [from, to).
double CrossingFrequency(std::span<const double> s, std::size_t from, std::size_t to) {
  double first = -1, last = -1;
  int count = 0;
  for (std::size_t i = from + 1; i < to; ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
      if (first < 0) first = at;
      last = at;
      ++count;
    }
  }
  return count >= 2 ? (count - 1) / (last - first) : 0.0;
}

double Rms(std::span<const double> s) {
  double sum = 0;
  for (double v : s) sum += v * v;
  return std::sqrt(sum / static_cast<double>(s.size()));
}

TEST(SignalTest, ClampTruncatesTowardZeroAndClamps) {
  EXPECT_EQ(ClampSample(1.9), 1);
  EXPECT_EQ(ClampSample(-1.9), -1);
  EXPECT_EQ(ClampSample(32766.99), 32766);
  EXPECT_EQ(ClampSample(32767.0), 32767);
  EXPECT_EQ(ClampSample(1e9), 32767);
  EXPECT_EQ(ClampSample(-32767.99), -32767);
  EXPECT_EQ(ClampSample(-32768.0), -32768);
  EXPECT_EQ(ClampSample(-1e9), -32768);
  EXPECT_EQ(ClampSample(std::nan("")), 0);
  EXPECT_EQ(ClampSample(std::int64_t{40000}), 32767);
  EXPECT_EQ(ClampSample(std::int64_t{-40000}), -32768);
  EXPECT_EQ(ClampSample(std::int64_t{-123}), -123);
}

TEST(SignalTest, FastSizesAreSmoothAndNoSmallerThanAsked) {
  EXPECT_EQ(audio::FastFftSize(0), 1u);
  EXPECT_EQ(audio::FastFftSize(1), 1u);
  EXPECT_EQ(audio::FastFftSize(11), 12u);
  EXPECT_EQ(audio::FastFftSize(13), 14u);
  EXPECT_EQ(audio::FastFftSize(121), 125u);
  EXPECT_EQ(audio::FastFftSize(1001), 1008u);
  EXPECT_EQ(audio::FastFftSize(6000), 6000u);
  EXPECT_EQ(audio::FastFftSize(7919), 7938u);
  EXPECT_EQ(audio::FastFftSize(524287), 524288u);
}

TEST(SignalTest, LevelsInDecibelsAndTableBytes) {
  EXPECT_DOUBLE_EQ(audio::LevelDb(1.0), 0.0);
  EXPECT_NEAR(audio::LevelDb(0.5), -6.0206, 1e-4);
  EXPECT_EQ(audio::LevelDb(0.0), -180.0);
  EXPECT_EQ(audio::LevelByte(1.0), 255);
  EXPECT_EQ(audio::LevelByte(2.0), 255);
  EXPECT_EQ(audio::LevelByte(0.5), 237);             // (90 - 6.02) * 255 / 90
  EXPECT_EQ(audio::LevelByte(std::pow(10.0, -4.5)), 0);  // -90 dBFS
  EXPECT_EQ(audio::LevelByte(std::pow(10.0, -4.0)), 28);  // -80 dBFS
  EXPECT_EQ(audio::LevelByte(0.0), 0);
}

TEST(SignalTest, HannPeakOffsetInvertsTheWindowShape) {
  // Without padding the neighbour of a tone d bins off the centre stands
  // at (1 + d) / (2 - d) of it.
  double gain = 0;
  for (double d : {0.0, 0.1, 0.25, 0.4, 0.5}) {
    EXPECT_NEAR(audio::HannPeakOffset(1.0, (1 + d) / (2 - d), 1.0, &gain), d, 1e-9) << d;
    const double expected_gain = d == 0 ? 1.0 : std::sin(std::numbers::pi * d) / (std::numbers::pi * d * (1 - d * d));
    EXPECT_NEAR(gain, expected_gain, 1e-9) << d;
  }
  // Ratios outside the window's range stop at its ends.
  EXPECT_EQ(audio::HannPeakOffset(1.0, 0.2, 1.0, &gain), 0.0);
  EXPECT_EQ(gain, 1.0);
  EXPECT_EQ(audio::HannPeakOffset(1.0, 1.5, 1.0, &gain), 0.5);
  EXPECT_EQ(audio::HannPeakOffset(0.0, 0.0, 1.0, &gain), 0.0);
  // Padded twice over the neighbour is half a window bin away.
  const double h = 0.5;
  const double d = 0.3;
  auto kernel = [](double x) {
    return std::sin(std::numbers::pi * x) / (std::numbers::pi * x * (1 - x * x));
  };
  EXPECT_NEAR(audio::HannPeakOffset(kernel(d * h), kernel((1 - d) * h), h, &gain), d, 1e-9);
  EXPECT_NEAR(gain, kernel(d * h), 1e-9);
}

TEST(SignalTest, StrongestComponentBetweenBinsAndOnThem) {
  for (std::size_t n : {std::size_t{4096}, std::size_t{6000}, std::size_t{7919}}) {
    for (double bin : {100.0, 100.13, 257.5, 811.77, 1500.9}) {
      const auto tone = Tone(bin / static_cast<double>(n), n, 12000);
      audio::SpectralPeak peak;
      ASSERT_TRUE(audio::StrongestComponent(tone, &peak));
      EXPECT_NEAR(peak.bin, bin, 2e-4) << n << " " << bin;
      EXPECT_NEAR(peak.amplitude, 12000.0 / 32768.0, 2e-4) << n << " " << bin;
    }
  }
  // A strong component below bin 1 (a DC offset) is not taken for the peak.
  auto offset = Tone(300.25 / 8000, 8000, 3000);
  for (auto& s : offset) s = static_cast<std::int16_t>(s + 20000);
  audio::SpectralPeak peak;
  ASSERT_TRUE(audio::StrongestComponent(offset, &peak));
  EXPECT_NEAR(peak.bin, 300.25, 1e-3);
  // Over a short range the whole mean must come out: a DC residue of a few
  // hundredths of the offset would outweigh a weak tone in bin 1.
  auto short_offset = Tone(5.3 / 64, 64, 200);
  for (auto& s : short_offset) s = static_cast<std::int16_t>(s + 20000);
  ASSERT_TRUE(audio::StrongestComponent(short_offset, &peak));
  EXPECT_NEAR(peak.bin, 5.3, 0.05);
  // Near half the length: the last whole bin below it is still searched.
  const auto high = Tone(3998.6 / 8000, 8000, 12000);
  ASSERT_TRUE(audio::StrongestComponent(high, &peak));
  EXPECT_NEAR(peak.bin, 3998.6, 1e-2);
  // Too short for a spectrum.
  EXPECT_FALSE(audio::StrongestComponent(std::vector<std::int16_t>(3, 1), &peak));
  EXPECT_EQ(peak.bin, 0.0);
  EXPECT_EQ(peak.amplitude, 0.0);
}

TEST(SignalTest, MagnitudesOfARowAndTheirScale) {
  const auto tone = Tone(750.0 / 6000, 6000, 32768.0 / 4);
  std::vector<double> mags(3000, -1);
  ASSERT_TRUE(audio::Magnitudes(tone, mags));
  EXPECT_NEAR(mags[750], 0.25, 1e-4);
  EXPECT_NEAR(mags[749], 0.125, 1e-4);  // the Hann window's neighbours: half
  EXPECT_NEAR(mags[751], 0.125, 1e-4);
  EXPECT_LT(mags[748], 1e-4);
  EXPECT_LT(mags[10], 1e-4);
  // A longer output than the spectrum gets zeros past it.
  std::vector<double> longer(20, -1);
  ASSERT_TRUE(audio::Magnitudes(std::span<const std::int16_t>(tone).first(16), longer));
  EXPECT_EQ(longer[8], 0.0);
  EXPECT_EQ(longer[19], 0.0);
  std::vector<double> none(4, -1);
  EXPECT_TRUE(audio::Magnitudes(std::span<const std::int16_t>(tone).first(1), none));
  EXPECT_EQ(none[0], 0.0);
}

// The biquad in its plain form, one sample at a time.
std::vector<std::int16_t> ReferenceBiquad(std::vector<std::int16_t> s, bool low, double f, double rate, double q) {
  const double w0 = 2 * std::numbers::pi * f / rate;
  const double alpha = std::sin(w0) / (2 * q);
  const double c = std::cos(w0);
  const double a0 = 1 + alpha;
  const double b0 = (low ? (1 - c) / 2 : (1 + c) / 2) / a0;
  const double b1 = (low ? 1 - c : -(1 + c)) / a0;
  const double a1 = -2 * c / a0;
  const double a2 = (1 - alpha) / a0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (auto& v : s) {
    const double x = v;
    const double y = b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    v = ClampSample(y);
  }
  return s;
}

TEST(SignalTest, BiquadFollowsTheRecurrence) {
  // Noise-like input of a length that leaves a remainder after the blocks
  // of four; the block form differs from the plain one only in rounding.
  std::vector<std::int16_t> input(10007);
  std::uint32_t seed = 12345;
  for (auto& v : input) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<std::int16_t>(static_cast<std::int32_t>(seed >> 16) - 32768);
  }
  for (bool low : {true, false}) {
    for (double f : {50.0, 1000.0, 7000.0}) {
      for (double q : {0.5, 0.7071, 4.0}) {
        std::vector<std::int16_t> ours = input;
        audio::Biquad(ours, low ? audio::BiquadKind::kLowPass : audio::BiquadKind::kHighPass, f, 22050, q);
        const auto reference = ReferenceBiquad(input, low, f, 22050, q);
        int off = 0;
        for (std::size_t i = 0; i < input.size(); ++i) {
          ASSERT_LE(std::abs(ours[i] - reference[i]), 1) << low << " " << f << " " << q << " at " << i;
          off += ours[i] != reference[i];
        }
        EXPECT_LE(off, 3) << low << " " << f << " " << q;
      }
    }
  }
  // Short ranges (the remainder alone) and the clamp.
  for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{6}, std::size_t{7}}) {
    std::vector<std::int16_t> ours(n, 32767);
    audio::Biquad(ours, audio::BiquadKind::kHighPass, 100, 8000, 0.7071);
    EXPECT_EQ(ours, ReferenceBiquad(std::vector<std::int16_t>(n, 32767), false, 100, 8000, 0.7071)) << n;
  }
}

TEST(SignalTest, ResamplingKeepsLevelsAndCutsWhatWouldAlias) {
  // Constant in, constant out: unity gain at every phase, ends included.
  std::vector<double> flat(400, 1000.0), out(700);
  audio::Resample(flat, 0.57, out);
  for (double v : out) ASSERT_NEAR(v, 1000.0, 1e-9);
  // Slower reading (upsampling): the tone at its new pitch and level.
  const auto tone = ToneD(0.05, 4000, 10000, 0.0);
  std::vector<double> up(7000);
  audio::Resample(tone, 0.5, up);
  for (std::size_t i = 500; i < 7000 - 500; ++i) {
    ASSERT_NEAR(up[i], 10000 * std::sin(2 * std::numbers::pi * 0.025 * static_cast<double>(i)), 5.0) << i;
  }
  // Faster reading: a tone that fits stays, one that would fold is cut.
  const auto low = ToneD(0.1, 8000, 10000);
  const auto high = ToneD(0.4, 8000, 10000);
  std::vector<double> half(4000);
  audio::Resample(low, 2.0, half);
  EXPECT_NEAR(Rms(std::span<const double>(half).subspan(200, 3600)), 10000 / std::sqrt(2.0), 20);
  EXPECT_NEAR(CrossingFrequency(half, 200, 3800), 0.2, 1e-5);
  audio::Resample(high, 2.0, half);
  EXPECT_LT(Rms(std::span<const double>(half).subspan(200, 3600)), 10);
  // Nothing to read gives silence.
  std::vector<double> from_nothing(5, 3.0);
  audio::Resample({}, 1.0, from_nothing);
  EXPECT_EQ(from_nothing, std::vector<double>(5, 0.0));
}

TEST(SignalTest, TimeStretchKeepsThePitchAndTheLevel) {
  const double rate = 8000;
  const auto tone = ToneD(441.3 / rate, 16000, 9000);
  for (std::size_t length : {std::size_t{9000}, std::size_t{16000}, std::size_t{27000}}) {
    std::vector<double> out(length, -99999);
    audio::TimeStretch(tone, rate, out);
    // The first half segment is the input itself.
    for (std::size_t i = 0; i < 160; ++i) ASSERT_NEAR(out[i], tone[i], 1e-6) << length << " at " << i;
    const std::span<const double> middle = std::span<const double>(out).subspan(length / 4, length / 2);
    EXPECT_NEAR(CrossingFrequency(out, length / 4, 3 * length / 4) * rate, 441.3, 0.3) << length;
    EXPECT_NEAR(Rms(middle), 9000 / std::sqrt(2.0), 9000 * 0.03) << length;
    // No sample is left out at the end.
    EXPECT_NEAR(Rms(std::span<const double>(out).last(400)), 9000 / std::sqrt(2.0), 9000 * 0.06) << length;
  }
  // Shorter than a segment, or nothing: no reading outside the input.
  std::vector<double> tiny_out(50);
  audio::TimeStretch(std::span<const double>(tone).first(30), rate, tiny_out);
  EXPECT_NEAR(tiny_out[10], tone[10], 1e-6);
  audio::TimeStretch({}, rate, tiny_out);
  EXPECT_EQ(tiny_out[10], 0.0);
}

TEST(SignalTest, ShiftPitchBothWaysAndAtTheEdges) {
  const double rate = 16000;
  for (double ratio : {1.5, 0.75, 2.0, 0.5}) {
    auto tone = Tone(500.0 / rate, 32000, 12000);
    audio::ShiftPitch(tone, ratio, rate);
    std::vector<double> out(tone.begin(), tone.end());
    EXPECT_NEAR(CrossingFrequency(out, 4000, 28000) * rate / (500 * ratio), 1.0, 0.003) << ratio;
    EXPECT_NEAR(Rms(std::span<const double>(out).subspan(4000, 24000)), 12000 / std::sqrt(2.0), 12000 * 0.03) << ratio;
  }
  // A ratio of 1 (or no samples, or no ratio) leaves the samples alone.
  auto same = Tone(0.01, 100, 1000);
  const auto before = same;
  audio::ShiftPitch(same, 1.0, rate);
  EXPECT_EQ(same, before);
  audio::ShiftPitch(same, 0.0, rate);
  audio::ShiftPitch(same, std::nan(""), rate);
  EXPECT_EQ(same, before);
  std::vector<std::int16_t> nothing;
  audio::ShiftPitch(nothing, 2.0, rate);
  std::vector<std::int16_t> one = {500};
  audio::ShiftPitch(one, 2.0, rate);
  EXPECT_EQ(one[0], 500);
  audio::ShiftPitch(one, 0.5, rate);
  EXPECT_EQ(one[0], 500);
}

TEST(SignalTest, CatmullRomInterpolation) {
  const std::vector<std::int16_t> s = {0, 100, 400, 900, 1600};
  EXPECT_DOUBLE_EQ(audio::Interpolate(s, 2.0), 400.0);
  EXPECT_DOUBLE_EQ(audio::Interpolate(s, 1.5), 225.0);  // exact on a parabola
  EXPECT_DOUBLE_EQ(audio::Interpolate(s, -3.0), 0.0);    // clamped ends
  EXPECT_DOUBLE_EQ(audio::Interpolate(s, 9.0), 1600.0);
  EXPECT_DOUBLE_EQ(audio::Interpolate({}, 1.0), 0.0);
}

}  // namespace
}  // namespace vx::test
