#pragma once
// The sound family's process-wide stores: the main wave and banks 0-7 of
// 16-bit samples, the real wave (an accumulator of doubles), the wave
// spectrum table, and the optional buffer pair of AudioCtrl. They are sized
// once and never reallocated, so nothing on the audio path allocates.
#include <cstdint>
#include <span>
#include <vector>

namespace vx::audio {

inline constexpr std::int32_t WAVE_SAMPLES = 524288;  // samples in each bank
inline constexpr std::int32_t BANK_COUNT = 8;          // banks 0-7 beside the main wave
inline constexpr std::int32_t SPECTRUM_ROWS = 170;     // time frames
inline constexpr std::int32_t SPECTRUM_COLUMNS = 3000; // frequency bins
inline constexpr std::int32_t SAMPLE_MAX = 32767;
inline constexpr std::int32_t SAMPLE_MIN = -32768;
// The sample rate taken while G_WAVE_RATE is 0 or less.
inline constexpr std::int32_t DEFAULT_RATE = 22050;

// Truncates toward zero and clamps into the 16-bit range; NaN gives 0.
std::int16_t ClampSample(double value);
std::int16_t ClampSample(std::int64_t value);

// Whether a bank argument names a store: any negative value is the main
// wave, 0-7 the banks.
inline bool ValidBank(std::int32_t bank) { return bank < BANK_COUNT; }

class WaveStores {
 public:
  WaveStores();

  // The main wave for a negative bank, else bank 0-7. The caller checks
  // ValidBank first.
  std::span<std::int16_t> Bank(std::int32_t bank);
  std::span<std::int16_t> Main() { return Bank(-1); }
  std::span<double> Real() { return real_; }

  // Spectrum cells with both indexes clamped into the table.
  std::uint8_t Spectrum(std::int32_t row, std::int32_t column) const;
  void SetSpectrum(std::int32_t row, std::int32_t column, std::uint8_t value);
  std::span<std::uint8_t> SpectrumRow(std::int32_t row);  // row clamped
  std::span<std::uint8_t> SpectrumTable() { return spectrum_; }

 private:
  std::vector<std::int16_t> samples_;  // main wave, then banks 0-7
  std::vector<double> real_;
  std::vector<std::uint8_t> spectrum_;
};

// The allocated stereo pair of AudioCtrl: N samples a side and a filled
// length L (0 <= L <= N).
struct BufferPair {
  std::vector<std::int16_t> left;
  std::vector<std::int16_t> right;
  std::int32_t filled = 0;

  bool Exists() const { return !left.empty(); }
  std::int32_t Size() const { return static_cast<std::int32_t>(left.size()); }
  // False (and no pair) when `samples` cannot be allocated.
  bool Allocate(std::int32_t samples);
  void Free();
};

}  // namespace vx::audio
